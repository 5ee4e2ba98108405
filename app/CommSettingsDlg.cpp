#include "app/CommSettingsDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "app/EnterSwallower.h"
#include "app/PortTooltip.h"
#include "app/resources/ControlIds.h"
#include "app/resources/Templates.h"
#include "controls/OXHotComboBox.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/DataExchange.h"
#include "framework/TemplateBuilder.h"
#include "lines/SerialPort.h"

namespace {

constexpr std::uint8_t kModeAscii = 1;

constexpr std::uint8_t kLastPort = 15;
constexpr std::uint8_t kLastBaud = 7;
constexpr std::uint8_t kLastStopBits = 1;
constexpr std::uint8_t kLastParity = 2;
constexpr std::uint8_t kLastDataBits = 1;
constexpr std::uint32_t kMaxTimeout = 10000;
constexpr std::uint32_t kMaxCharInterval = 1000;
constexpr std::uint32_t kMaxScanTime = 10000;

constexpr std::uint32_t kMinTimeout = 100;
constexpr std::uint32_t kMinScanTime = 10;
constexpr std::uint32_t kMinAsciiInterval = 50;

// The class of every control the template names; the drop-down lists are decided here only,
// so a list with another look can take their place without touching the dialog's logic.
QWidget* MakeSettingsControl(const ControlTemplate& c, QWidget* parent) {
    if (c.kind == ControlKind::DropDownList) {
        return new COXHotComboBox(parent);
    }
    return nullptr;
}

// The decimal number of a text's leading digits; 0 without any, saturating at 32 bits.
std::uint32_t LeadingNumber(const QString& text) {
    std::uint64_t value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            break;
        }
        value = std::min<std::uint64_t>(value * 10 + (c.unicode() - u'0'), 0xFFFFFFFFu);
    }
    return static_cast<std::uint32_t>(value);
}

void RaiseTo(QString& text, std::uint32_t minimum) {
    if (LeadingNumber(text) < minimum) {
        text = QString::number(minimum);
    }
}

std::uint8_t SelectedIndex(const QComboBox* list) {
    return static_cast<std::uint8_t>(std::max(0, list->currentIndex()));
}

std::uint8_t Corrected(std::uint8_t value, std::uint8_t last, std::uint8_t fallback) {
    return value > last ? fallback : value;
}

std::uint32_t Corrected(std::uint32_t value, std::uint32_t max, std::uint32_t fallback) {
    return value > max ? fallback : value;
}

}  // namespace

CCommSettingsDlg::CCommSettingsDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    ApplyDialogTemplate(CommSettingsTemplate(), this, MakeSettingsControl);
    m_editCharInterval = FindControl<QLineEdit>(this, IDC_CHAR_INTERVAL);
    m_editScanTime = FindControl<QLineEdit>(this, IDC_SCAN_TIME);
    m_editTimeout = FindControl<QLineEdit>(this, IDC_TIMEOUT);
    m_chkXonXoff = FindControl<QCheckBox>(this, IDC_XON_XOFF);
    m_chkRtsCts = FindControl<QCheckBox>(this, IDC_RTS_CTS);
    m_chkDtrDsr = FindControl<QCheckBox>(this, IDC_DTR_DSR);
    m_radioRtu = FindControl<QRadioButton>(this, IDC_MODE_RTU);
    m_radioAscii = FindControl<QRadioButton>(this, IDC_MODE_ASCII);

    connect(m_radioRtu, &QRadioButton::clicked, this, &CCommSettingsDlg::OnModeRtu);
    connect(m_radioAscii, &QRadioButton::clicked, this, &CCommSettingsDlg::OnModeAscii);
    if (auto* ok = FindControl<QPushButton>(this, IDOK)) {
        // Only a click or the space bar confirms: a focused button must not turn default.
        ok->setAutoDefault(false);
        connect(ok, &QPushButton::clicked, this, &CCommSettingsDlg::OnOK);
    }
    if (auto* cancel = FindControl<QPushButton>(this, IDCANCEL)) {
        cancel->setAutoDefault(false);
        connect(cancel, &QPushButton::clicked, this, &CCommSettingsDlg::reject);
    }
    CEnterSwallower::Install(this);
}

void CCommSettingsDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        OnInitDialog();
    }
    QDialog::showEvent(event);
}

void CCommSettingsDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_DATA_SIZE, m_cboDataSize);
    DDX_Control(dx, IDC_PARITY, m_cboParity);
    DDX_Control(dx, IDC_STOP_BITS, m_cboStopBits);
    DDX_Control(dx, IDC_BAUD_RATE, m_cboBaudRate);
    DDX_Control(dx, IDC_PORT, m_cboPort);
    ExchangeText(dx, m_editTimeout, m_strTimeout, kTimeoutChars);
    ExchangeText(dx, m_editCharInterval, m_strCharInterval, kCharIntervalChars);
    ExchangeText(dx, m_editScanTime, m_strScanTime, kScanTimeChars);
}

bool CCommSettingsDlg::UpdateData(bool saveAndValidate) {
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CCommSettingsDlg::RefreshPortTooltips() {
    for (int i = 0; i < m_cboPort->count(); ++i) {
        m_cboPort->setItemData(i, PortTooltip(i + 1), Qt::ToolTipRole);
    }
}

void CCommSettingsDlg::OnInitDialog() {
    m_bInitialised = true;
    // The framework's part: the (still empty) texts go out and the edits get their caps.
    UpdateData(false);
    // Whether a device is there is worth telling as of the moment the dialog opens.
    RefreshPortTooltips();

    m_nPortIndex = Corrected(m_nPortIndex, kLastPort, 0);
    m_cboPort->setCurrentIndex(m_nPortIndex);
    m_nBaudIndex = Corrected(m_nBaudIndex, kLastBaud, kLastBaud);
    m_cboBaudRate->setCurrentIndex(m_nBaudIndex);
    m_nStopBitsIndex = Corrected(m_nStopBitsIndex, kLastStopBits, 0);
    m_cboStopBits->setCurrentIndex(m_nStopBitsIndex);
    m_nParityIndex = Corrected(m_nParityIndex, kLastParity, 0);
    m_cboParity->setCurrentIndex(m_nParityIndex);
    m_nDataBitsIndex = Corrected(m_nDataBitsIndex, kLastDataBits, 1);
    m_cboDataSize->setCurrentIndex(m_nDataBitsIndex);

    m_nFlowControl &= kFlowDtrDsr | kFlowRtsCts | kFlowXonXoff;
    m_chkDtrDsr->setChecked(m_nFlowControl & kFlowDtrDsr);
    m_chkRtsCts->setChecked(m_nFlowControl & kFlowRtsCts);
    m_chkXonXoff->setChecked(m_nFlowControl & kFlowXonXoff);

    // Any mode but ASCII opens as RTU; the field itself only changes on OK.
    const bool ascii = m_nMode == kModeAscii;
    (ascii ? m_radioAscii : m_radioRtu)->setChecked(true);
    m_editCharInterval->setReadOnly(!ascii);

    m_nTimeout = Corrected(m_nTimeout, kMaxTimeout, 1000);
    m_strTimeout = QString::number(m_nTimeout);
    m_nCharInterval = Corrected(m_nCharInterval, kMaxCharInterval, 100);
    m_strCharInterval = QString::number(m_nCharInterval);
    m_nScanTime = Corrected(m_nScanTime, kMaxScanTime, 1000);
    m_strScanTime = QString::number(m_nScanTime);
    UpdateData(false);

    m_cboPort->setFocus(Qt::OtherFocusReason);
}

void CCommSettingsDlg::OnModeRtu() {
    m_editCharInterval->setReadOnly(m_radioRtu->isChecked());
}

void CCommSettingsDlg::OnModeAscii() {
    m_editCharInterval->setReadOnly(!m_radioAscii->isChecked());
}

void CCommSettingsDlg::OnOK() {
    if (!UpdateData(true)) {
        return;
    }
    const bool rtu = m_radioRtu->isChecked();
    // The raised minimums reach the fields only; the edits keep what the user typed.
    RaiseTo(m_strTimeout, kMinTimeout);
    RaiseTo(m_strScanTime, kMinScanTime);
    if (!rtu) {
        RaiseTo(m_strCharInterval, kMinAsciiInterval);
    }

    m_nPortIndex = SelectedIndex(m_cboPort);
    m_nBaudIndex = SelectedIndex(m_cboBaudRate);
    m_nStopBitsIndex = SelectedIndex(m_cboStopBits);
    m_nParityIndex = SelectedIndex(m_cboParity);
    m_nDataBitsIndex = SelectedIndex(m_cboDataSize);
    m_nFlowControl = (m_chkDtrDsr->isChecked() ? kFlowDtrDsr : 0) |
                     (m_chkRtsCts->isChecked() ? kFlowRtsCts : 0) |
                     (m_chkXonXoff->isChecked() ? kFlowXonXoff : 0);
    if (rtu) {
        m_nMode = 0;  // the character interval keeps its opening value
    } else {
        m_nMode = kModeAscii;
        m_nCharInterval = LeadingNumber(m_strCharInterval);
    }
    m_nTimeout = LeadingNumber(m_strTimeout);
    m_nScanTime = LeadingNumber(m_strScanTime);

    // The framework's own OK: one more exchange, then the end of the run.
    if (UpdateData(true)) {
        done(IDOK);
    }
}

void CCommSettingsDlg::reject() {
    done(IDCANCEL);
}

void CCommSettingsDlg::done(int result) {
    m_bInitialised = false;
    QDialog::done(result);
}
