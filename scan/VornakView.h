#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "framework/CmdTarget.h"
#include "modbus/LocalModbus.h"
#include "platform/Event.h"
#include "scan/BackgroundCall.h"
#include "scan/CallGate.h"
#include "scan/Settings.h"
#include "scan/TestRamp.h"

class COXHotComboBox;
class COXStatic;
class CProfileStore;
class CResponseListCtrl;
class QCheckBox;
class QComboBox;
class QLineEdit;

// The scan form: the polled request's edits, the value list and the status line. It owns the
// settings records, the master, the scan thread with its event, and handles the settings,
// start and stop commands.
class CVornakView : public QWidget, public CCmdTarget {
    Q_OBJECT
public:
    using StatusPaneSink = std::function<void(unsigned paneId, const QString& text, bool lit)>;
    using MasterFactory = std::function<std::unique_ptr<CLocalModbus>()>;

    explicit CVornakView(QWidget* parent = nullptr);
    ~CVornakView() override;

    const char* GetRuntimeClassName() const { return "CVornakView"; }

    // Where the status panes live (the frame's SetStatusPane).
    void SetStatusPaneSink(StatusPaneSink sink) { m_statusPanes = std::move(sink); }
    // How the master is made; the default makes a CLocalModbus on a POSIX port.
    void SetMasterFactory(MasterFactory factory) { m_masterFactory = std::move(factory); }

    void OnInitialUpdate();
    // Saves the settings and releases the scan objects; runs once, when the window closes.
    void OnDestroy();

    void OnScanStart();
    void OnScanStop();
    void OnCommSettings();
    void OnDblclkList(int item);

    // The settings command's work after the dialog was confirmed with `newEnv`.
    void ApplyMainEnv(const MainEnv& newEnv);

    void UpdateStatusPanes();
    void SetStatusText(const QString& message);

    // State, for the frame's update handlers and for tests.
    bool IsScanning() const { return m_bScanning != 0; }
    int ScanCount() const { return m_nScanCount; }
    int ErrorCount() const { return m_nErrorCount; }
    bool HasScanThread() const { return m_hScanThread != nullptr; }
    const MainEnv& Env() const { return m_env; }
    const ModbusEnv& RequestEnv() const { return m_modbusEnv; }
    CLocalModbus* Master() const { return m_pModbus.get(); }
    CResponseListCtrl* List() const { return m_pList; }
    // The test ramp is one for the whole process; it survives stop and start.
    static CTestRamp& ProcessTestRamp();
    COXStatic* StatusLine() const { return m_pStatus; }

    // Runs a write-value dialog for the double-click; tests replace it to answer without a
    // modal loop. Returns whether it was confirmed, with the value to write.
    using WriteValuePrompt =
        std::function<bool(std::uint8_t kind, std::uint16_t address, std::uint16_t& value)>;
    void SetWriteValuePrompt(WriteValuePrompt prompt) { m_writeValuePrompt = std::move(prompt); }
    // Runs the settings dialog over a copy of MainEnv; true when confirmed.
    using SettingsPrompt = std::function<bool(MainEnv& env)>;
    void SetSettingsPrompt(SettingsPrompt prompt) { m_settingsPrompt = std::move(prompt); }

private:
    void CreateControls();
    void UpdateControls();
    bool OpenPort();
    // Opens the line off this thread, which goes on painting meanwhile; false also when the
    // window closed during the open.
    bool OpenLine(std::uint8_t port, std::uint32_t baudRate, std::uint8_t parity);
    void ReportOpenFailure();

    // Scan thread.
    bool StartScanThread();
    void KillScanThread();
    void ReleaseScanObjects();
    void ScanThreadProc();
    void ScanOnce();
    // What a cycle takes from the form: the function entry (the rest only for 0 and 1), the
    // request, the reference base of its lines, and the test box with its increments.
    struct CycleInput {
        int nEntry = -1;
        ModbusEnv request;
        int nLineBase = kReferenceBaseHolding;
        bool bChecked = false;
        QString strIncrement1;
        QString strIncrement2;
    };
    struct CycleOutcome {
        std::uint16_t wCode = 0;
        bool bRead = false;  // a read whose values go to the list, not a test-mode write
    };
    CycleInput TakeCycleInput();
    // The request of the cycle; nullopt when none went out (paused or stopped).
    std::optional<CycleOutcome> RunCycleRequest(const CycleInput& in, WordArray& values);
    void SetScanning(bool scanning);
    void PauseScanThread();
    void ResumeScanThread();
    void LetScanThreadSettle();
    bool WaitWhilePaused();
    // Takes the line for a request of the scan thread; false when the thread was paused or
    // stopped meanwhile, so no request goes out after a stop.
    bool BeginThreadRequest();

    // Controls (owned by the widget tree).
    QLineEdit* m_editAddrDec = nullptr;       // 1018
    QCheckBox* m_chkTestMode = nullptr;       // 1028
    QLineEdit* m_editIncCh2 = nullptr;        // 1030
    QLineEdit* m_editIncCh1 = nullptr;        // 1029
    COXHotComboBox* m_cboFunction = nullptr;  // 1015
    CResponseListCtrl* m_pList = nullptr;     // 1020
    COXStatic* m_pStatus = nullptr;           // 1022
    QLineEdit* m_editQuantity = nullptr;      // 1017
    QLineEdit* m_editAddrHex = nullptr;       // 1016
    QLineEdit* m_editSlaveId = nullptr;       // 1013

    QString m_strSlaveId;
    QString m_strAddrHex;
    QString m_strQuantity;
    QString m_strAddrDec;

    MainEnv m_env;
    ModbusEnv m_modbusEnv;

    std::uint8_t m_byWriteKind = 0;
    std::uint16_t m_wWriteAddr = 0;
    std::uint16_t m_wWriteValue = 0;

    std::atomic<int> m_nScanCount{0};
    std::atomic<int> m_nErrorCount{0};
    std::atomic<int> m_bScanning{0};

    std::unique_ptr<CLocalModbus> m_pModbus;

    std::atomic<int> m_bStopThread{0};
    std::unique_ptr<std::thread> m_hScanThread;
    std::unique_ptr<CEvent> m_pScanEvent;

    // The thread parks here between a stop and the next start.
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseCv;
    std::atomic<bool> m_bPaused{true};
    // The scan period as the thread reads it before each wait.
    std::atomic<std::uint32_t> m_dwScanTime{1000};
    CCallGate m_gate;
    CBackgroundCall m_open;

    StatusPaneSink m_statusPanes;
    MasterFactory m_masterFactory;
    WriteValuePrompt m_writeValuePrompt;
    SettingsPrompt m_settingsPrompt;
    bool m_bInitialised = false;
    bool m_bDestroyed = false;
    QString m_strSettingsUnread;  // why the settings file could not be read at start
};
