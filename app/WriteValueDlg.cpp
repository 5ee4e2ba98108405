#include "app/WriteValueDlg.h"

#include <QLineEdit>
#include <QPushButton>

#include "app/EnterSwallower.h"
#include "app/resources/ControlIds.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/DataExchange.h"
#include "framework/MessageBox.h"
#include "framework/NumberText.h"
#include "framework/TemplateBuilder.h"

CWriteValueDlg::CWriteValueDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    ApplyDialogTemplate(WriteValueTemplate(), this);
    m_editValue = FindControl<QLineEdit>(this, IDC_WRITE_VALUE);
    m_editAddress = FindControl<QLineEdit>(this, IDC_WRITE_ADDRESS);
    m_editFunction = FindControl<QLineEdit>(this, IDC_WRITE_FUNCTION);
    m_btnOk = FindControl<QPushButton>(this, IDOK);
    if (m_btnOk != nullptr) {
        // Only a click or the space bar confirms: a focused button must not turn default.
        m_btnOk->setAutoDefault(false);
        connect(m_btnOk, &QPushButton::clicked, this, &CWriteValueDlg::OnOK);
    }
    if (auto* cancel = FindControl<QPushButton>(this, IDCANCEL)) {
        cancel->setAutoDefault(false);
        connect(cancel, &QPushButton::clicked, this, &CWriteValueDlg::reject);
    }
    CEnterSwallower::Install(this);
}

void CWriteValueDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CWriteValueDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Text(dx, m_editFunction, m_strFunction);
    DDX_Text(dx, m_editAddress, m_strAddress);
    DDX_Text(dx, m_editValue, m_strValue);
}

bool CWriteValueDlg::UpdateData(bool saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CWriteValueDlg::OnInitDialog() {
    m_bInitialised = true;
    m_strFunction =
        m_bCoil ? QStringLiteral("Preset Single Coil") : QStringLiteral("Preset Single Register");
    m_strAddress = FormatHex04Lower(m_wAddress);
    m_strValue = FormatHexShort(m_wValue);
    UpdateData(false);
    if (m_btnOk != nullptr) {
        m_btnOk->setFocus(Qt::OtherFocusReason);
    }
}

void CWriteValueDlg::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    m_strValue = m_strValue.trimmed();
    if (m_strValue.isEmpty()) {
        AfxMessageBox(QStringLiteral("쓰고자하는 데이타를 입력하십시요."), MessageIcon::Stop,
                      QString(), this);
        return;
    }
    m_wValue = ParseWriteValue(m_strValue, nullptr);
    // The framework's own OK: one more exchange, then the end of the run.
    if (UpdateData(true)) {
        done(IDOK);
    }
}

void CWriteValueDlg::reject() {
    done(IDCANCEL);
}

void CWriteValueDlg::done(int result) {
    m_bInitialised = false;
    QDialog::done(result);
}
