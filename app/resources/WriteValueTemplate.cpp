#include "app/resources/ControlIds.h"
#include "app/resources/TemplateControl.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"

namespace CS = ControlStyle;
using K = ControlKind;

namespace {

constexpr std::uint32_t kEdit = CS::kBorder | CS::kAutoHScroll | CS::kTabStop;

}  // namespace

const DialogTemplate& WriteValueTemplate() {
    static const DialogTemplate t{
        IDD_WRITE_VALUE,
        QString::fromUtf8("데이타 쓰기"),
        234,
        59,
        QString::fromUtf8(kTemplateFontFace),
        kTemplatePointSize,
        {
            Control(IDOK, K::PushButton, "확인", 177, 7, 50, 14, CS::kDefPushButton | CS::kTabStop),
            Control(IDCANCEL, K::PushButton, "취소", 177, 24, 50, 14, CS::kTabStop),
            Control(IDC_STATIC, K::Label, "Function Code", 7, 7, 48, 14, 0),
            Control(IDC_STATIC, K::Label, "Address", 27, 22, 28, 14, 0),
            Control(IDC_STATIC, K::Label, "Value", 35, 37, 19, 14, 0),
            Control(IDC_WRITE_FUNCTION, K::Edit, "", 59, 7, 116, 14, kEdit | CS::kReadOnly),
            Control(IDC_WRITE_ADDRESS, K::Edit, "", 59, 22, 67, 14, kEdit | CS::kReadOnly),
            Control(IDC_WRITE_VALUE, K::Edit, "", 59, 37, 67, 14, kEdit),
        },
    };
    return t;
}
