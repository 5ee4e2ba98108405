#include "scan/VornakView.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QLineEdit>

#include "app/WriteValueDlg.h"
#include "app/resources/ControlIds.h"
#include "app/resources/Templates.h"
#include "controls/OXHotComboBox.h"
#include "controls/OXStatic.h"
#include "framework/CmdUI.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/MessageBox.h"
#include "framework/ModalRun.h"
#include "framework/NumberText.h"
#include "framework/ProfileStore.h"
#include "framework/TemplateBuilder.h"
#include "lines/LineAddress.h"
#include "lines/PortResolver.h"
#include "scan/EditRefresh.h"
#include "scan/ResponseLines.h"
#include "scan/ResponseListCtrl.h"
#include "scan/SettingsStore.h"

namespace {

const char kOpenPortFailed[] = "통신 포트를 여는데 실패했읍니다.";
const char kMasterCreateFailed[] = "Modbus 관련 객체를 생성하는데 실패했읍니다.";
// COM1 to COM16, the numbers the port map knows.
constexpr int kComPorts = 16;
constexpr COLORREF kStatusBackground = RGB(255, 255, 255);
constexpr COLORREF kStatusText = RGB(0, 0, 255);

// Shows the wait cursor until the handler returns; Restore() takes it off early for a box.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { Restore(); }
    void Restore() {
        if (m_bShown)
            QApplication::restoreOverrideCursor();
        m_bShown = false;
    }

private:
    bool m_bShown = true;
};

}  // namespace

CVornakView::CVornakView(QWidget* parent)
    : QWidget(parent), m_pScanEvent(std::make_unique<CEvent>(false)) {
    CreateControls();
    AddCommandHandler(ID_COMM_SETTINGS, [this] { OnCommSettings(); });
    AddCommandHandler(ID_SCAN_START, [this] { OnScanStart(); });
    AddCommandHandler(ID_SCAN_STOP, [this] { OnScanStop(); });
    AddUpdateHandler(ID_SCAN_START, [this](CCmdUI& ui) { ui.Enable(m_bScanning == 0); });
    AddUpdateHandler(ID_SCAN_STOP, [this](CCmdUI& ui) { ui.Enable(m_bScanning != 0); });
    m_masterFactory = [] { return std::make_unique<CLocalModbus>(); };
}

CVornakView::~CVornakView() {
    OnDestroy();
}

void CVornakView::CreateControls() {
    const DialogTemplate& form = ScanFormTemplate();
    CreateTemplateControls(form, this, [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
        if (c.id == IDC_STATUS_LINE)
            return new COXStatic(parent);
        if (c.id == IDC_RESPONSE_LIST)
            return new CResponseListCtrl(parent);
        if (c.id == IDC_FUNCTION)
            return new COXHotComboBox(parent);
        return nullptr;
    });
    setFixedSize(TemplateClientSize(form));
    m_editAddrDec = FindControl<QLineEdit>(this, IDC_ADDR_DEC);
    m_chkTestMode = FindControl<QCheckBox>(this, IDC_TEST_MODE);
    m_editIncCh2 = FindControl<QLineEdit>(this, IDC_INC_CH2);
    m_editIncCh1 = FindControl<QLineEdit>(this, IDC_INC_CH1);
    m_cboFunction = FindControl<COXHotComboBox>(this, IDC_FUNCTION);
    m_pList = FindControl<CResponseListCtrl>(this, IDC_RESPONSE_LIST);
    m_pStatus = FindControl<COXStatic>(this, IDC_STATUS_LINE);
    m_editQuantity = FindControl<QLineEdit>(this, IDC_QUANTITY);
    m_editAddrHex = FindControl<QLineEdit>(this, IDC_ADDR_HEX);
    m_editSlaveId = FindControl<QLineEdit>(this, IDC_SLAVE_ID);
    m_pStatus->Attach();
    m_cboFunction->Attach();
    connect(m_pList, &CResponseListCtrl::listDoubleClicked, this,
            [this](int item) { OnDblclkList(item); });
}

void CVornakView::OnInitialUpdate() {
    if (m_bInitialised)
        return;
    m_bInitialised = true;
    {
        CProfileStore store;
        LoadSettings(store, m_env, m_modbusEnv);
        if (!store.Readable())
            m_strSettingsUnread = store.ErrorText();
    }
    m_dwScanTime = m_env.dwScanTime;
    UpdateControls();
    UpdateStatusPanes();
    if (!m_pModbus)
        m_pModbus = m_masterFactory ? m_masterFactory() : nullptr;
    if (!m_pModbus) {
        AfxMessageBox(QString::fromUtf8(kMasterCreateFailed), MessageIcon::Information);
        return;
    }
    m_pModbus->SetTimeout(m_env.dwTimeout);
    m_pModbus->SetCharInterval(m_env.dwSilentTime);
    m_pModbus->SetMode(m_env.byTransMode);
}

void CVornakView::UpdateControls() {
    const bool hasEntry = m_modbusEnv.byReadFunc < m_cboFunction->count();
    m_cboFunction->setCurrentIndex(hasEntry ? m_modbusEnv.byReadFunc : -1);
    const InitialEdits initial = InitialEditTexts(m_modbusEnv, m_cboFunction->currentIndex());
    m_modbusEnv = initial.env;
    m_strSlaveId = initial.edits.strSlaveId;
    m_strAddrHex = initial.edits.strAddrHex;
    m_strAddrDec = initial.edits.strAddrDec;
    m_strQuantity = initial.edits.strQuantity;
    m_editIncCh1->setText(QStringLiteral("1"));
    m_editIncCh2->setText(QStringLiteral("1"));
    m_pStatus->SetBackgroundColor(kStatusBackground, true);
    m_pStatus->SetTextColor(kStatusText, true);
    SetStatusText(QString());
    m_pList->SetupColumns();
    m_editSlaveId->setText(m_strSlaveId);
    m_editAddrHex->setText(m_strAddrHex);
    m_editQuantity->setText(m_strQuantity);
    m_editAddrDec->setText(m_strAddrDec);
}

namespace {

// On a Modbus TCP, UDP or TLS line the frames carry the MBAP header whatever the RTU/ASCII choice
// says, so the pane names the line's framing; the map is read anew, as an open reads it.
QString ModePaneText(const MainEnv& env) {
    const int number = PortNumber(env);
    std::string error;
    const std::optional<LineAddress> address =
        number <= kComPorts ? ParseLineAddress(ResolvePort(number).path, error) : std::nullopt;
    if (address && address->kind == LineKind::Tcp)
        return QStringLiteral("Mode : TCP");
    if (address && address->kind == LineKind::Udp)
        return QStringLiteral("Mode : UDP");
    if (address && address->kind == LineKind::Tls)
        return QStringLiteral("Mode : TLS");
    return env.byTransMode == 0 ? QStringLiteral("Mode : RTU") : QStringLiteral("Mode : ASCII");
}

}  // namespace

void CVornakView::UpdateStatusPanes() {
    if (!m_statusPanes)
        return;
    m_statusPanes(ID_INDICATOR_PORT, QStringLiteral("COM%1").arg(PortNumber(m_env)), false);
    if (m_env.byBaudRate < std::size(kBaudRates)) {
        m_statusPanes(ID_INDICATOR_BAUD, QStringLiteral("BPS : %1").arg(BaudRate(m_env)), false);
    }
    m_statusPanes(ID_INDICATOR_MODE, ModePaneText(m_env), false);
    m_statusPanes(
        ID_INDICATOR_SCAN_TIME,
        QStringLiteral("Scan Time : %1ms").arg(static_cast<std::int32_t>(m_env.dwScanTime)), false);
}

void CVornakView::SetStatusText(const QString& message) {
    m_pStatus->SetWindowText(
        QString::fromUtf8("Scan 횟수: %1 ,  에러 응답 횟수: %2 , 응답 메시지: %3")
            .arg(m_nScanCount.load())
            .arg(m_nErrorCount.load())
            .arg(message));
}

bool CVornakView::OpenPort() {
    m_pModbus->SetDataBits(DataBits(m_env));
    m_pModbus->SetFlowControl(m_env.byFlowControl);
    m_pModbus->SetStopBits(StopBitsCode(m_env));
    return OpenLine(MasterPort(m_env), BaudRate(m_env), ParityCode(m_env));
}

bool CVornakView::OpenLine(std::uint8_t port, std::uint32_t baudRate, std::uint8_t parity) {
    CLocalModbus* master = m_pModbus.get();
    const bool opened = m_open.Run(
        [master, port, baudRate, parity] { return master->Open(port, baudRate, parity); });
    return opened && !m_bDestroyed;
}

void CVornakView::ReportOpenFailure() {
    if (m_bDestroyed)
        return;  // the window closed during the open
    const int error = m_pModbus ? m_pModbus->GetLastPortError() : 0;
    QString device = m_pModbus ? QString::fromStdString(m_pModbus->GetPortDevice()) : QString();
    const QString reason =
        m_pModbus ? QString::fromStdString(m_pModbus->GetPortErrorText()) : QString();
    QString detail;
    // A number refused opens no device at all; the resolver says why.
    const int number = PortNumber(m_env);
    const PortDevice resolved =
        device.isEmpty() && number <= kComPorts ? ResolvePort(number) : PortDevice{};
    if (resolved.source == PortSource::Refused) {
        detail = QStringLiteral("COM%1: ").arg(number) + QString::fromStdString(resolved.refusal);
    } else if (!reason.isEmpty()) {
        detail = device.isEmpty() ? reason : device + QStringLiteral(": ") + reason;
    } else if (error != 0) {
        detail = OsErrorDetail(error, device);
    } else {
        detail = QStringLiteral("COM%1").arg(PortNumber(m_env));
        if (!device.isEmpty())
            detail += QStringLiteral(": ") + device;
    }
    AfxMessageBox(QString::fromUtf8(kOpenPortFailed), MessageIcon::Information, detail, this);
}

void CVornakView::OnDblclkList(int item) {
    if (!m_pModbus || m_pList->Count() == 0 || item < 0 || item >= m_pList->Count())
        return;
    CWaitCursor wait;
    if (!m_pModbus->IsPortOpen()) {
        if (!OpenPort()) {
            wait.Restore();
            ReportOpenFailure();
            return;
        }
        UpdateStatusPanes();  // the open read the port map anew
    }
    m_byWriteKind = 0;
    m_modbusEnv.wReadAddr =
        static_cast<std::uint16_t>(ParseAddressText(m_editAddrHex->text().toUpper()));
    m_wWriteAddr = static_cast<std::uint16_t>(m_modbusEnv.wReadAddr + item);
    m_wWriteValue = ReadValueFromLine(m_pList->ItemText(item));

    std::uint16_t value = m_wWriteValue;
    bool confirmed = false;
    if (m_writeValuePrompt) {
        confirmed = m_writeValuePrompt(m_byWriteKind, m_wWriteAddr, value);
    } else {
        wait.Restore();
        CWriteValueDlg dlg(this);
        dlg.m_bCoil = m_byWriteKind;
        dlg.m_wAddress = m_wWriteAddr;
        dlg.m_wValue = m_wWriteValue;
        confirmed = DoModal(dlg) == IDOK;
        value = dlg.m_wValue;
    }
    if (!confirmed)
        return;
    CWaitCursor writing;
    m_wWriteValue = value;
    m_modbusEnv.bySlaveId =
        static_cast<std::uint8_t>(ParseUnsignedDecimal(m_editSlaveId->text(), 255));
    const std::uint16_t code =
        m_pModbus->PresetSingleRegister(m_modbusEnv.bySlaveId, m_wWriteAddr, m_wWriteValue);
    if (code != 0) {
        writing.Restore();
        AfxMessageBox(QString::fromStdString(m_pModbus->GetErrorText(code)),
                      MessageIcon::Information, QString(), this);
    }
}

void CVornakView::OnDestroy() {
    // A close that comes during an open ends it first; the master outlives it.
    m_open.CutShort([this] {
        if (m_pModbus)
            m_pModbus->AbortExchanges();
    });
    if (m_bDestroyed || !m_bInitialised) {
        if (!m_bDestroyed)
            ReleaseScanObjects();
        m_bDestroyed = true;
        return;
    }
    m_bDestroyed = true;
    CProfileStore store;
    if (!m_strSettingsUnread.isEmpty()) {
        // The values came from defaults; writing them would replace what the user's file holds.
        AfxMessageBox(
            QString::fromUtf8("설정을 저장하지 못했습니다."), MessageIcon::Exclamation,
            store.FileName() +
                QStringLiteral(": could not be read at start, so it is left as it was: ") +
                m_strSettingsUnread,
            this);
    } else if (!SaveSettings(store, m_env, m_modbusEnv)) {
        const QString reason = store.ErrorText();
        AfxMessageBox(
            QString::fromUtf8("설정을 저장하지 못했습니다."), MessageIcon::Exclamation,
            reason.isEmpty() ? store.FileName() : store.FileName() + QStringLiteral(": ") + reason,
            this);
    }
    ReleaseScanObjects();
}

void CVornakView::ReleaseScanObjects() {
    KillScanThread();
    m_pModbus.reset();
    m_pScanEvent.reset();
}
