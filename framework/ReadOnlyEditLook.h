#pragma once

class QLineEdit;

// Keeps an edit looking as the platform shows a read-only edit: on the button face, with the
// text in its usual colour, for as long as it is read-only; editable again, it gets its own
// background back. It follows every later change of the read-only state.
void InstallReadOnlyEditLook(QLineEdit* edit);
