#pragma once

#include "framework/DialogTemplate.h"

// The dialog templates and the scan form, with their controls in tab order.
const DialogTemplate& AboutTemplate();         // 100
const DialogTemplate& ScanFormTemplate();      // 101
const DialogTemplate& CommSettingsTemplate();  // 130
const DialogTemplate& WriteValueTemplate();    // 133

// The template with that resource id, or nullptr.
const DialogTemplate* FindDialogTemplate(unsigned id);
