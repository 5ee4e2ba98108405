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
    if (auto* ok = FindControl<QPushButton>(this, IDOK)) {
        ok->setAutoDefault(false);
        connect(ok, &QPushButton::clicked, this, &CWriteValueDlg::OnOK);
    }
    if (auto* cancel = FindControl<QPushButton>(this, IDCANCEL)) {
        cancel->setAutoDefault(false);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    CEnterSwallower::Install(this);
}

void CWriteValueDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised)
        OnInitDialog();
    QDialog::showEvent(event);
}

void CWriteValueDlg::DoDataExchange(bool save) {
    CDataExchange dx(this, save);
    DDX_Text(dx, m_editFunction, m_strFunction);
    DDX_Text(dx, m_editAddress, m_strAddress);
    DDX_Text(dx, m_editValue, m_strValue);
}

void CWriteValueDlg::OnInitDialog() {
    m_bInitialised = true;
    m_strFunction =
        m_bCoil ? QStringLiteral("Preset Single Coil") : QStringLiteral("Preset Single Register");
    m_strAddress = FormatHex04Lower(m_wAddress);
    m_strValue = FormatHexShort(m_wValue);
    DoDataExchange(false);
    if (auto* ok = FindControl<QPushButton>(this, IDOK))
        ok->setFocus(Qt::OtherFocusReason);
}

void CWriteValueDlg::OnOK() {
    DoDataExchange(true);
    m_strValue = m_strValue.trimmed();
    bool blank = false;
    const std::uint16_t value = ParseWriteValue(m_strValue, &blank);
    if (blank) {
        AfxMessageBox(QString::fromUtf8("쓰고자하는 데이타를 입력하십시요."), MessageIcon::Stop,
                      QString(), this);
        return;
    }
    m_wValue = value;
    accept();
}
