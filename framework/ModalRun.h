#pragma once

class QDialog;

// Runs a dialog modally and, when it closes, gives the keyboard focus back to the window
// that had it before, as the platform does; without a window manager nobody else would.
// Returns the dialog's result.
int DoModal(QDialog& dialog);
