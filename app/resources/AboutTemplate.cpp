#include "app/resources/TemplateControl.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"

namespace CS = ControlStyle;
using K = ControlKind;

const DialogTemplate& AboutTemplate() {
    static const DialogTemplate t{
        IDD_ABOUTBOX,
        QString::fromUtf8("Vornak 정보"),
        199,
        55,
        QString::fromUtf8(kTemplateFontFace),
        kTemplatePointSize,
        {
            Control(IDC_STATIC, K::Icon, "", 11, 17, 20, 20, 0, {}, 0, IDR_MAINFRAME),
            Control(IDC_STATIC, K::Label, "Vornak 버전 1.1", 40, 10, 66, 8, CS::kNoPrefix),
            Control(IDOK, K::PushButton, "확인", 142, 7, 50, 14,
                    CS::kDefPushButton | CS::kGroup | CS::kTabStop),
        },
    };
    return t;
}
