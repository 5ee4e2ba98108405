#include "app/CommSettingsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/EnterSwallower.h"
#include "app/PortTooltip.h"
#include "app/resources/ControlIds.h"
#include "app/resources/Templates.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/DataExchange.h"
#include "framework/NumberText.h"
#include "framework/TemplateBuilder.h"

namespace {

constexpr std::uint8_t kFlowDtrDsr = 0x01;
constexpr std::uint8_t kFlowRtsCts = 0x02;
constexpr std::uint8_t kFlowXonXoff = 0x04;
constexpr std::uint32_t kMinTimeout = 100;
constexpr std::uint32_t kMinScanTime = 10;
constexpr std::uint32_t kMinAsciiInterval = 50;

// A text's number from its leading digits; an empty text is 0.
std::uint32_t LeadingNumber(const QString& text) {
    return StringToUnsigned32(text, 10);
}

void RaiseTo(QString& text, std::uint32_t minimum) {
    if (LeadingNumber(text) < minimum)
        text = QString::number(minimum);
}

std::uint8_t SelectedIndex(const QComboBox* list) {
    return static_cast<std::uint8_t>(std::max(0, list->currentIndex()));
}

}  // namespace

CCommSettingsDlg::CCommSettingsDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    ApplyDialogTemplate(CommSettingsTemplate(), this);
    m_editCharInterval = FindControl<QLineEdit>(this, IDC_CHAR_INTERVAL);
    m_editScanTime = FindControl<QLineEdit>(this, IDC_SCAN_TIME);
    m_editTimeout = FindControl<QLineEdit>(this, IDC_TIMEOUT);
    m_chkXonXoff = FindControl<QCheckBox>(this, IDC_XON_XOFF);
    m_chkRtsCts = FindControl<QCheckBox>(this, IDC_RTS_CTS);
    m_chkDtrDsr = FindControl<QCheckBox>(this, IDC_DTR_DSR);
    m_cboDataSize = FindControl<QComboBox>(this, IDC_DATA_SIZE);
    m_cboParity = FindControl<QComboBox>(this, IDC_PARITY);
    m_cboStopBits = FindControl<QComboBox>(this, IDC_STOP_BITS);
    m_cboBaudRate = FindControl<QComboBox>(this, IDC_BAUD_RATE);
    m_cboPort = FindControl<QComboBox>(this, IDC_PORT);
    m_radioRtu = FindControl<QRadioButton>(this, IDC_MODE_RTU);
    m_radioAscii = FindControl<QRadioButton>(this, IDC_MODE_ASCII);

    for (int i = 0; i < m_cboPort->count(); ++i) {
        m_cboPort->setItemData(i, PortTooltip(i + 1), Qt::ToolTipRole);
    }
    connect(m_radioRtu, &QRadioButton::clicked, this, &CCommSettingsDlg::OnModeRtu);
    connect(m_radioAscii, &QRadioButton::clicked, this, &CCommSettingsDlg::OnModeAscii);
    if (auto* ok = FindControl<QPushButton>(this, IDOK)) {
        ok->setAutoDefault(false);
        connect(ok, &QPushButton::clicked, this, &CCommSettingsDlg::OnOK);
    }
    if (auto* cancel = FindControl<QPushButton>(this, IDCANCEL)) {
        cancel->setAutoDefault(false);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    CEnterSwallower::Install(this);
}

void CCommSettingsDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised)
        OnInitDialog();
    QDialog::showEvent(event);
}

bool CCommSettingsDlg::DoDataExchange(bool save) {
    CDataExchange dx(this, save);
    ExchangeText(dx, m_editTimeout, m_strTimeout, kTimeoutChars);
    ExchangeText(dx, m_editCharInterval, m_strCharInterval, kCharIntervalChars);
    ExchangeText(dx, m_editScanTime, m_strScanTime, kScanTimeChars);
    return !dx.Failed();
}

void CCommSettingsDlg::OnInitDialog() {
    m_bInitialised = true;
    if (m_nPortIndex > 15)
        m_nPortIndex = 0;
    m_cboPort->setCurrentIndex(m_nPortIndex);
    if (m_nBaudIndex > 7)
        m_nBaudIndex = 7;
    m_cboBaudRate->setCurrentIndex(m_nBaudIndex);
    if (m_nStopBitsIndex > 1)
        m_nStopBitsIndex = 0;
    m_cboStopBits->setCurrentIndex(m_nStopBitsIndex);
    if (m_nParityIndex > 2)
        m_nParityIndex = 0;
    m_cboParity->setCurrentIndex(m_nParityIndex);
    if (m_nDataBitsIndex > 1)
        m_nDataBitsIndex = 1;
    m_cboDataSize->setCurrentIndex(m_nDataBitsIndex);

    m_nFlowControl &= kFlowDtrDsr | kFlowRtsCts | kFlowXonXoff;
    m_chkDtrDsr->setChecked(m_nFlowControl & kFlowDtrDsr);
    m_chkRtsCts->setChecked(m_nFlowControl & kFlowRtsCts);
    m_chkXonXoff->setChecked(m_nFlowControl & kFlowXonXoff);

    const bool ascii = m_nMode == 1;
    (ascii ? m_radioAscii : m_radioRtu)->setChecked(true);
    m_editCharInterval->setReadOnly(!ascii);

    if (m_nTimeout > 10000)
        m_nTimeout = 1000;
    m_strTimeout = QString::number(m_nTimeout);
    if (m_nCharInterval > 1000)
        m_nCharInterval = 100;
    m_strCharInterval = QString::number(m_nCharInterval);
    if (m_nScanTime > 10000)
        m_nScanTime = 1000;
    m_strScanTime = QString::number(m_nScanTime);
    DoDataExchange(false);
    m_cboPort->setFocus(Qt::OtherFocusReason);
}

void CCommSettingsDlg::OnModeRtu() {
    m_editCharInterval->setReadOnly(m_radioRtu->isChecked());
}

void CCommSettingsDlg::OnModeAscii() {
    m_editCharInterval->setReadOnly(!m_radioAscii->isChecked());
}

void CCommSettingsDlg::OnOK() {
    if (!DoDataExchange(true))
        return;
    const bool rtu = m_radioRtu->isChecked();
    RaiseTo(m_strTimeout, kMinTimeout);
    RaiseTo(m_strScanTime, kMinScanTime);
    if (!rtu)
        RaiseTo(m_strCharInterval, kMinAsciiInterval);

    m_nPortIndex = SelectedIndex(m_cboPort);
    m_nBaudIndex = SelectedIndex(m_cboBaudRate);
    m_nStopBitsIndex = SelectedIndex(m_cboStopBits);
    m_nParityIndex = SelectedIndex(m_cboParity);
    m_nDataBitsIndex = SelectedIndex(m_cboDataSize);
    m_nFlowControl = (m_chkDtrDsr->isChecked() ? kFlowDtrDsr : 0) |
                     (m_chkRtsCts->isChecked() ? kFlowRtsCts : 0) |
                     (m_chkXonXoff->isChecked() ? kFlowXonXoff : 0);
    if (rtu) {
        m_nMode = 0;
    } else {
        m_nMode = 1;
        m_nCharInterval = LeadingNumber(m_strCharInterval);
    }
    m_nTimeout = LeadingNumber(m_strTimeout);
    m_nScanTime = LeadingNumber(m_strScanTime);
    accept();
}
