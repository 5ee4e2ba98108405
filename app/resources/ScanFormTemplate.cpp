#include "app/resources/ControlIds.h"
#include "app/resources/TemplateControl.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"

namespace CS = ControlStyle;
using K = ControlKind;

namespace {

constexpr std::uint32_t kEdit = CS::kBorder | CS::kTabStop | CS::kAutoHScroll;

}  // namespace

const DialogTemplate& ScanFormTemplate() {
    static const DialogTemplate t{
        IDD_SCAN_FORM,
        QString(),
        291,
        270,
        QString::fromUtf8(kTemplateFontFace),
        kTemplatePointSize,
        {
            Control(IDC_STATIC, K::Label, "Slave ID", 5, 5, 27, 12, 0),
            Control(IDC_SLAVE_ID, K::Edit, "", 35, 5, 24, 12, kEdit | CS::kNumber, {}, 3),
            Control(IDC_STATIC, K::Label, "Function Code", 69, 5, 48, 12, 0),
            Control(IDC_FUNCTION, K::DropDownList, "", 119, 5, 116, 50,
                    CS::kDropDownList | CS::kVScroll | CS::kTabStop,
                    {QStringLiteral("Read Holding Registers (0x03)"),
                     QStringLiteral("Read Input Registers [0x04]")}),
            Control(IDC_STATIC, K::Label, "Address", 5, 33, 28, 9, 0),
            Control(IDC_STATIC, K::Label, "(Hex)", 69, 26, 21, 12, 0),
            Control(IDC_ADDR_HEX, K::Edit, "", 35, 23, 33, 14, kEdit),
            Control(IDC_STATIC, K::Label, "(Dec)", 69, 41, 19, 11, 0),
            Control(IDC_ADDR_DEC, K::Edit, "", 35, 39, 33, 14, kEdit),
            Control(IDC_STATIC, K::Label, "Quantity", 100, 32, 27, 14, 0),
            Control(IDC_QUANTITY, K::Edit, "", 127, 33, 40, 14, kEdit),
            Control(IDC_TEST_MODE, K::CheckBox, "TK3300_da_Test", 171, 34, 69, 10, CS::kTabStop),
            Control(IDC_STATIC, K::Label, "INC Value", 249, 7, 35, 8, 0),
            Control(IDC_STATIC, K::Label, "ch1", 241, 21, 12, 8, 0),
            Control(IDC_INC_CH1, K::Edit, "", 256, 17, 20, 15, kEdit),
            Control(IDC_STATIC, K::Label, "ch2", 241, 38, 12, 8, 0),
            Control(IDC_INC_CH2, K::Edit, "", 256, 36, 20, 15, kEdit),
            Control(IDC_STATUS_LINE, K::StaticFrame, "", 5, 55, 279, 14,
                    CS::kBorder | CS::kCenterImage),
            Control(IDC_RESPONSE_LIST, K::ListReport, "", 5, 73, 279, 190,
                    CS::kReport | CS::kSingleSel | CS::kShowSelAlways | CS::kNoLabelWrap |
                        CS::kNoSortHeader | CS::kBorder | CS::kTabStop),
        },
    };
    return t;
}
