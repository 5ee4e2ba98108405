#include "framework/EditLimitValidator.h"

#include <QLineEdit>

CEditLimitValidator::CEditLimitValidator(QObject* parent) : QValidator(parent) {}

void CEditLimitValidator::SetLimit(int maxChars) {
    m_nLimit = maxChars > 0 ? maxChars : 0;
    emit changed();
}

void CEditLimitValidator::SetDigitsOnly(bool on) {
    m_bDigitsOnly = on;
    emit changed();
}

QValidator::State CEditLimitValidator::validate(QString& input, int& /*pos*/) const {
    if (m_bDigitsOnly) {
        for (const QChar ch : input) {
            if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) {
                return Invalid;
            }
        }
    }
    if (m_nLimit > 0 && input.size() > m_nLimit) {
        return Invalid;
    }
    return Acceptable;
}

CEditLimitValidator* EditLimitValidatorOf(QLineEdit* edit) {
    if (edit == nullptr) {
        return nullptr;
    }
    if (auto* v = qobject_cast<CEditLimitValidator*>(const_cast<QValidator*>(edit->validator()))) {
        return v;
    }
    auto* v = new CEditLimitValidator(edit);
    edit->setValidator(v);
    return v;
}
