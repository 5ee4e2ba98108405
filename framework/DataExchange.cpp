#include "framework/DataExchange.h"

#include <QLineEdit>
#include <QWidget>

#include "framework/ControlLookup.h"
#include "framework/EditLimitValidator.h"
#include "framework/MessageBox.h"

CDataExchange::CDataExchange(QWidget* dialog, bool saveAndValidate)
    : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dialog) {}

void CDataExchange::Fail(QWidget* control) {
    m_bFailed = true;
    if (control == nullptr) {
        return;
    }
    control->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->selectAll();
    }
}

QString TooLongMessage(int maxChars) {
    return QStringLiteral("%1 이하의 문자를 입력하십시오.").arg(maxChars);
}

bool DDX_Text(CDataExchange& dx, QLineEdit* edit, QString& value) {
    if (dx.Failed()) {
        return false;
    }
    if (edit == nullptr) {
        // A dialog whose control is missing cannot be confirmed.
        dx.Fail(nullptr);
        return false;
    }
    if (dx.m_bSaveAndValidate) {
        value = edit->text();
    } else {
        edit->setText(value);
    }
    return true;
}

bool DDX_Text(CDataExchange& dx, int controlId, QString& value) {
    return DDX_Text(dx, FindControl<QLineEdit>(dx.m_pDlgWnd, controlId), value);
}

bool DDV_MaxChars(CDataExchange& dx, QLineEdit* edit, const QString& value, int maxChars) {
    if (dx.Failed()) {
        return false;
    }
    if (maxChars <= 0) {
        return true;
    }
    if (!dx.m_bSaveAndValidate) {
        if (edit != nullptr) {
            EditLimitValidatorOf(edit)->SetLimit(maxChars);
        }
        return true;
    }
    if (value.size() > maxChars) {
        AfxMessageBox(TooLongMessage(maxChars), MessageIcon::Exclamation, QString(), dx.m_pDlgWnd);
        dx.Fail(edit);
        return false;
    }
    return true;
}

bool ExchangeText(CDataExchange& dx, QLineEdit* edit, QString& value, int maxChars) {
    return DDX_Text(dx, edit, value) && DDV_MaxChars(dx, edit, value, maxChars);
}

bool ExchangeText(CDataExchange& dx, int controlId, QString& value, int maxChars) {
    return ExchangeText(dx, FindControl<QLineEdit>(dx.m_pDlgWnd, controlId), value, maxChars);
}
