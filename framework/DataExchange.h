#pragma once

#include <QString>

#include "framework/ControlLookup.h"

class QLineEdit;
class QWidget;

// One exchange between a dialog's controls and its members: towards the controls when a
// dialog opens, back from them (with validation) when it is confirmed. The first failure
// ends the exchange: later calls do nothing and report false.
class CDataExchange {
public:
    CDataExchange(QWidget* dialog, bool saveAndValidate);

    const bool m_bSaveAndValidate;
    QWidget* const m_pDlgWnd;

    bool Failed() const { return m_bFailed; }
    // Marks the exchange failed and puts the focus, with all its text selected, on `control`.
    void Fail(QWidget* control);

private:
    bool m_bFailed = false;
};

// The text of an edit and a member. Towards the edit the text is set as it is, also when it
// is longer than the edit's cap.
bool DDX_Text(CDataExchange& dx, QLineEdit* edit, QString& value);
bool DDX_Text(CDataExchange& dx, int controlId, QString& value);

// A character cap. Towards the edit it caps what the keyboard may enter; back from it, a text
// longer than `maxChars` fails the exchange with the message "%1 이하의 문자를 입력하십시오."
// (%1 = `maxChars`) and the exclamation icon, and the edit gets the focus and selection.
bool DDV_MaxChars(CDataExchange& dx, QLineEdit* edit, const QString& value, int maxChars);

// DDX_Text followed by DDV_MaxChars (no cap when `maxChars` is 0 or less).
bool ExchangeText(CDataExchange& dx, QLineEdit* edit, QString& value, int maxChars = 0);
bool ExchangeText(CDataExchange& dx, int controlId, QString& value, int maxChars = 0);

// The message shown for a text longer than `maxChars`.
QString TooLongMessage(int maxChars);

// Binds the control object made for `controlId` to its window, once: the first exchange finds
// it and runs its attach step; later ones leave it as it is.
template <class T>
bool DDX_Control(CDataExchange& dx, int controlId, T*& control) {
    if (control == nullptr) {
        control = FindControl<T>(dx.m_pDlgWnd, controlId);
    }
    if (control == nullptr) {
        return false;
    }
    if (!control->IsAttached()) {
        control->Attach();
    }
    return true;
}
