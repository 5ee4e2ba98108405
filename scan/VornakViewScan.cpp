// The scan thread of the view: start, stop, the polling loop and one cycle.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <chrono>
#include <thread>

#include "controls/OXHotComboBox.h"
#include "controls/OXStatic.h"
#include "framework/CommandIds.h"
#include "framework/MessageBox.h"
#include "scan/EditRefresh.h"
#include "scan/ResponseLines.h"
#include "scan/ResponseListCtrl.h"
#include "scan/VornakView.h"

namespace {

const char kThreadCreateFailed[] = "Data Scan Thread 생성에 실패했읍니다.";
constexpr auto kLockSettle = std::chrono::milliseconds(10);
constexpr auto kThreadSettle = std::chrono::milliseconds(200);

}  // namespace

CTestRamp& CVornakView::ProcessTestRamp() {
    static CTestRamp ramp;
    return ramp;
}

void CVornakView::SetScanning(bool scanning) {
    m_bScanning = scanning ? 1 : 0;
    if (m_statusPanes)
        m_statusPanes(ID_INDICATOR_LAMP, QString(), scanning);
}

void CVornakView::OnScanStart() {
    if (!m_pModbus)
        return;
    if (!m_pModbus->IsPortOpen()) {
        if (!OpenPort()) {
            ReportOpenFailure();
            return;
        }
        UpdateStatusPanes();  // the open read the port map anew
    }
    m_nScanCount = 0;
    m_nErrorCount = 0;
    SetStatusText(QString());
    SetScanning(true);
    if (m_hScanThread) {
        ResumeScanThread();
        LetScanThreadSettle();
        return;
    }
    if (StartScanThread()) {
        ResumeScanThread();
    } else {
        SetScanning(false);
        AfxMessageBox(QString::fromUtf8(kThreadCreateFailed), MessageIcon::Information, QString(),
                      this);
    }
}

void CVornakView::OnScanStop() {
    if (!m_pModbus || !m_hScanThread)
        return;
    SetScanning(false);
    PauseScanThread();
}

// Waits for an exchange in progress to end, then parks the thread at its next step; it is
// never frozen from outside, so it cannot stop while holding the line lock or inside a call
// to the user interface. The line lock is taken here, on the thread that asks for the pause,
// as a holder of it may be that thread itself.
void CVornakView::PauseScanThread() {
    m_bPaused = true;
    m_pModbus->Lock();
    std::this_thread::sleep_for(kLockSettle);
    m_pModbus->Unlock();
    LetScanThreadSettle();
}

// The window goes on painting meanwhile, as during an open.
void CVornakView::LetScanThreadSettle() {
    m_open.Run([] {
        std::this_thread::sleep_for(kThreadSettle);
        return true;
    });
}

void CVornakView::ResumeScanThread() {
    {
        std::lock_guard<std::mutex> lock(m_pauseMutex);
        m_bPaused = false;
    }
    m_pauseCv.notify_all();
}

bool CVornakView::StartScanThread() {
    if (m_hScanThread)
        return true;
    m_bPaused = true;  // created suspended: it runs at the first resume
    m_bStopThread = 0;
    try {
        m_hScanThread = std::make_unique<std::thread>([this] { ScanThreadProc(); });
    } catch (const std::system_error&) {
        m_hScanThread.reset();
        return false;
    }
    return true;
}

void CVornakView::KillScanThread() {
    if (!m_hScanThread)
        return;
    m_bStopThread = 1;
    // Release everything the thread may be waiting on: the user interface, the line, the
    // scan period and the pause.
    m_gate.Close();
    if (m_pModbus)
        m_pModbus->AbortExchanges();
    if (m_pScanEvent)
        m_pScanEvent->SetEvent();
    { std::lock_guard<std::mutex> lock(m_pauseMutex); }
    m_pauseCv.notify_all();
    m_hScanThread->join();
    m_hScanThread.reset();
}

bool CVornakView::WaitWhilePaused() {
    std::unique_lock<std::mutex> lock(m_pauseMutex);
    m_pauseCv.wait(lock, [this] { return !m_bPaused || m_bStopThread; });
    return !m_bStopThread;
}

void CVornakView::ScanThreadProc() {
    while (!m_bStopThread) {
        if (m_bPaused) {
            if (!WaitWhilePaused())
                break;
            continue;  // a resumed thread waits a whole scan period first
        }
        m_pScanEvent->Wait(m_dwScanTime);
        if (m_bStopThread)
            break;
        if (m_bPaused)
            continue;
        ScanOnce();
    }
}

bool CVornakView::BeginThreadRequest() {
    m_pModbus->Lock();
    if (m_bPaused || m_bStopThread) {
        m_pModbus->Unlock();
        return false;
    }
    return true;
}

// A cycle hands over to the user-interface thread twice: once to take the request from the
// form, once to show the outcome. Each hand-over wakes both threads, so the form's reads and
// writes are gathered into these two.
void CVornakView::ScanOnce() {
    CycleInput in;
    if (!m_gate.Call([&] { in = TakeCycleInput(); }))
        return;
    if (in.nEntry != 0 && in.nEntry != 1)
        return;
    ++m_nScanCount;
    WordArray values;
    const std::optional<CycleOutcome> outcome = RunCycleRequest(in, values);
    if (!outcome) {
        // A stop came before the request went out: that cycle did not happen.
        --m_nScanCount;
        return;
    }
    if (outcome->wCode != 0)
        ++m_nErrorCount;
    const QString text = QString::fromStdString(m_pModbus->GetErrorText(outcome->wCode));
    bool checkedAfter = false;
    // The status line repaints at once, and with it the lines just rebuilt.
    m_gate.Call([&] {
        if (outcome->bRead) {
            RebuildResponseList(*m_pList, in.request.wReadAddr, in.nLineBase, values,
                                in.request.wReadQuan);
            checkedAfter = m_chkTestMode->isChecked();
        } else {
            FinishResponseListUpdate(*m_pList);
        }
        SetStatusText(text);
    });
    if (outcome->bRead)
        ProcessTestRamp().AfterRead(checkedAfter);
}

// On the user-interface thread, which also owns the record, so a list write between two
// cycles always sees a whole one.
CVornakView::CycleInput CVornakView::TakeCycleInput() {
    CycleInput in;
    in.nEntry = m_cboFunction->currentIndex();
    if (in.nEntry != 0 && in.nEntry != 1)
        return in;
    m_modbusEnv.byReadFunc = static_cast<std::uint8_t>(in.nEntry);
    EditRefreshInput refresh;
    refresh.edits = {m_editSlaveId->text(), m_editAddrHex->text(), m_editQuantity->text(),
                     m_editAddrDec->text()};
    refresh.bHexModified = m_editAddrHex->isModified();
    refresh.bDecModified = m_editAddrDec->isModified();
    refresh.nFunctionEntry = in.nEntry;
    refresh.env = m_modbusEnv;
    const EditRefreshResult out = RefreshModbusEnv(refresh);
    m_modbusEnv = out.env;
    m_strSlaveId = out.edits.strSlaveId;
    m_strAddrHex = out.edits.strAddrHex;
    m_strQuantity = out.edits.strQuantity;
    m_strAddrDec = out.edits.strAddrDec;
    if (out.selectEntry)
        m_cboFunction->setCurrentIndex(*out.selectEntry);
    m_editSlaveId->setText(m_strSlaveId);
    m_editAddrHex->setText(m_strAddrHex);
    m_editQuantity->setText(m_strQuantity);
    m_editAddrDec->setText(m_strAddrDec);
    in.request = m_modbusEnv;
    in.request.byReadFunc = static_cast<std::uint8_t>(out.nSendEntry);
    in.nLineBase = out.nLineBase;
    in.bChecked = m_chkTestMode->isChecked();
    in.strIncrement1 = m_editIncCh1->text().left(4);
    in.strIncrement2 = m_editIncCh2->text().left(4);
    return in;
}

std::optional<CVornakView::CycleOutcome> CVornakView::RunCycleRequest(const CycleInput& in,
                                                                      WordArray& values) {
    CTestRamp& ramp = ProcessTestRamp();
    const CTestRamp::Step step = ramp.Next(in.bChecked, in.strIncrement1, in.strIncrement2);
    if (step.action != CTestRamp::Action::Read) {
        if (!BeginThreadRequest())
            return std::nullopt;
        ramp.Commit(step);
        const std::uint16_t code =
            m_pModbus->PresetSingleRegister(in.request.bySlaveId, step.wRegister, step.wValue);
        m_pModbus->Unlock();
        return CycleOutcome{code, false};
    }

    values.assign(in.request.wReadQuan, 0);
    if (!BeginThreadRequest())
        return std::nullopt;
    ramp.Commit(step);
    const ModbusEnv& r = in.request;
    const std::uint16_t code =
        r.byReadFunc == 0
            ? m_pModbus->ReadHoldingRegisters(r.bySlaveId, r.wReadAddr, r.wReadQuan, values)
            : m_pModbus->ReadInputRegisters(r.bySlaveId, r.wReadAddr, r.wReadQuan, values);
    m_pModbus->Unlock();
    return CycleOutcome{code, true};
}
