#include "app/resources/Templates.h"
#include "framework/CommandIds.h"

const DialogTemplate* FindDialogTemplate(unsigned id) {
    switch (id) {
        case IDD_ABOUTBOX:
            return &AboutTemplate();
        case IDD_SCAN_FORM:
            return &ScanFormTemplate();
        case IDD_COMM_SETTINGS:
            return &CommSettingsTemplate();
        case IDD_WRITE_VALUE:
            return &WriteValueTemplate();
        default:
            return nullptr;
    }
}
