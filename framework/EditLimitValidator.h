#pragma once

#include <QValidator>

// Keyboard rules of an edit: an optional character cap and an optional digits-only rule.
// A cap here, unlike QLineEdit::maxLength, never cuts a text that the program sets: an edit
// can be opened with a longer text, and only what the user types is held to the cap. Data
// exchange then reports the overlong text when the dialog is confirmed.
class CEditLimitValidator : public QValidator {
    Q_OBJECT
public:
    explicit CEditLimitValidator(QObject* parent = nullptr);

    void SetLimit(int maxChars);  // 0 or less: no cap
    int Limit() const { return m_nLimit; }
    void SetDigitsOnly(bool on);
    bool DigitsOnly() const { return m_bDigitsOnly; }

    State validate(QString& input, int& pos) const override;

private:
    int m_nLimit = 0;
    bool m_bDigitsOnly = false;
};

class QLineEdit;
// The edit's validator, created on first use, so the template and data exchange share one.
CEditLimitValidator* EditLimitValidatorOf(QLineEdit* edit);
