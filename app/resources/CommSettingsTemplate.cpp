#include "app/resources/ControlIds.h"
#include "app/resources/TemplateControl.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"

namespace CS = ControlStyle;
using K = ControlKind;

namespace {

constexpr std::uint32_t kList = CS::kDropDownList | CS::kVScroll | CS::kTabStop;
constexpr std::uint32_t kNumberEdit = CS::kBorder | CS::kAutoHScroll | CS::kNumber | CS::kTabStop;
constexpr std::uint32_t kLabel = CS::kCenterImage;

QStringList Ports() {
    QStringList ports;
    for (int n = 1; n <= 16; ++n) {
        ports << QStringLiteral("COM%1").arg(n);
    }
    return ports;
}

}  // namespace

const DialogTemplate& CommSettingsTemplate() {
    static const DialogTemplate t{
        IDD_COMM_SETTINGS,
        QString::fromUtf8("통신 설정 환경"),
        289,
        133,
        QString::fromUtf8(kTemplateFontFace),
        kTemplatePointSize,
        {
            Control(IDC_PORT, K::DropDownList, "", 58, 19, 48, 52, kList, Ports()),
            Control(IDC_BAUD_RATE, K::DropDownList, "", 144, 19, 48, 50, kList,
                    {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}),
            Control(IDC_STOP_BITS, K::DropDownList, "", 229, 19, 48, 51, kList, {"1", "2"}),
            Control(IDC_PARITY, K::DropDownList, "", 58, 35, 48, 50, kList, {"No", "Even", "Odd"}),
            Control(IDC_DATA_SIZE, K::DropDownList, "", 144, 35, 48, 51, kList, {"7", "8"}),
            Control(IDC_DTR_DSR, K::CheckBox, "DTR/DSR", 58, 51, 46, 10, CS::kTabStop),
            Control(IDC_RTS_CTS, K::CheckBox, "RTS/CTS", 110, 51, 46, 10, CS::kTabStop),
            Control(IDC_XON_XOFF, K::CheckBox, "XON/XOFF", 161, 51, 51, 10, CS::kTabStop),
            Control(IDC_MODE_RTU, K::RadioButton, "RTU", 19, 91, 29, 10, CS::kGroup),
            Control(IDC_MODE_ASCII, K::RadioButton, "ASCII", 49, 91, 30, 10, 0),
            Control(IDC_TIMEOUT, K::Edit, "", 134, 76, 40, 14, kNumberEdit | CS::kGroup),
            Control(IDC_CHAR_INTERVAL, K::Edit, "", 236, 76, 40, 14, kNumberEdit),
            Control(IDC_SCAN_TIME, K::Edit, "", 236, 91, 40, 14, kNumberEdit),
            // Push buttons are tab stops, as every push button of the resource script is.
            Control(IDOK, K::PushButton, "확인", 181, 112, 50, 14,
                    CS::kDefPushButton | CS::kTabStop),
            Control(IDCANCEL, K::PushButton, "취소", 232, 112, 50, 14, CS::kTabStop),
            Control(IDC_STATIC, K::Label, "통신 포트", 13, 19, 31, 12, kLabel),
            Control(IDC_STATIC, K::Label, "통신 속도", 111, 19, 31, 12, kLabel),
            Control(IDC_STATIC, K::Label, "Parity Check", 13, 35, 42, 12, kLabel),
            Control(IDC_STATIC, K::Label, "Stop Bits", 197, 19, 30, 12, kLabel),
            Control(IDC_STATIC, K::Label, "Data Size", 111, 35, 32, 12, kLabel),
            Control(IDC_STATIC, K::GroupBox, "시리얼 통신 환경", 7, 7, 275, 58, 0),
            Control(IDC_STATIC, K::GroupBox, "Modbus 관련 설정", 7, 68, 275, 43, 0),
            Control(IDC_STATIC, K::Label, "Time-out(ms)", 88, 76, 44, 14, kLabel),
            Control(IDC_STATIC, K::Label, "Char Interval(ms)", 177, 76, 59, 14, kLabel),
            Control(IDC_STATIC, K::GroupBox, "전송 모드", 13, 79, 69, 28, 0),
            Control(IDC_STATIC, K::Label, "Flow Control ", 13, 50, 44, 12, kLabel),
            Control(IDC_STATIC, K::Label, "Scan Time(ms)", 185, 91, 50, 14, kLabel),
        },
    };
    return t;
}
