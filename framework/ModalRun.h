#pragma once

class QDialog;

// Runs a dialog modally and, when it closes, gives the keyboard focus back to the window
// that had it before, to the control that had it (or the window's first tab stop when that
// control is gone), as the platform does; without a window manager nobody else would.
// Returns the dialog's result.
int DoModal(QDialog& dialog);
