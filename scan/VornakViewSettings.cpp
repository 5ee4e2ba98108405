// The settings command of the view: the dialog over a copy of MainEnv, then the line.
#include <QApplication>

#include "app/CommSettingsDlg.h"
#include "framework/CommandIds.h"
#include "framework/MessageBox.h"
#include "framework/ModalRun.h"
#include "scan/VornakView.h"

namespace {

bool RunCommSettingsDialog(QWidget* parent, MainEnv& env) {
    CCommSettingsDlg dlg(parent);
    dlg.m_nPortIndex = env.byPort;
    dlg.m_nBaudIndex = env.byBaudRate;
    dlg.m_nStopBitsIndex = env.byStopBits;
    dlg.m_nParityIndex = env.byParity;
    dlg.m_nDataBitsIndex = env.byDataSize;
    dlg.m_nFlowControl = env.byFlowControl;
    dlg.m_nMode = env.byTransMode;
    dlg.m_nTimeout = env.dwTimeout;
    dlg.m_nCharInterval = env.dwSilentTime;
    dlg.m_nScanTime = env.dwScanTime;
    if (DoModal(dlg) != IDOK)
        return false;
    env.byPort = dlg.m_nPortIndex;
    env.byBaudRate = dlg.m_nBaudIndex;
    env.byStopBits = dlg.m_nStopBitsIndex;
    env.byParity = dlg.m_nParityIndex;
    env.byDataSize = dlg.m_nDataBitsIndex;
    env.byFlowControl = dlg.m_nFlowControl;
    env.byTransMode = dlg.m_nMode;
    env.dwTimeout = dlg.m_nTimeout;
    env.dwSilentTime = dlg.m_nCharInterval;
    env.dwScanTime = dlg.m_nScanTime;
    return true;
}

}  // namespace

void CVornakView::OnCommSettings() {
    MainEnv edited = m_env;
    const bool confirmed =
        m_settingsPrompt ? m_settingsPrompt(edited) : RunCommSettingsDialog(this, edited);
    if (confirmed)
        ApplyMainEnv(edited);
}

void CVornakView::ApplyMainEnv(const MainEnv& dialogEnv) {
    const std::uint32_t previousInterval = m_env.dwSilentTime;
    m_env = dialogEnv;
    // The character interval is the dialog's only in ASCII; RTU keeps the one it had.
    if (m_env.byTransMode != 1)
        m_env.dwSilentTime = previousInterval;
    m_dwScanTime = m_env.dwScanTime;

    // Repaint what the dialog covered before the port work starts.
    if (QWidget* top = window())
        top->repaint();
    if (!m_pModbus) {
        UpdateStatusPanes();
        return;
    }

    const bool ascii = m_env.byTransMode == 1;
    auto handOver = [&] {
        m_pModbus->SetDataBits(DataBits(m_env));
        m_pModbus->SetFlowControl(m_env.byFlowControl);
        m_pModbus->SetStopBits(StopBitsCode(m_env));
        m_pModbus->SetParity(ParityCode(m_env));
        m_pModbus->SetTimeout(m_env.dwTimeout);
        if (ascii)
            m_pModbus->SetCharInterval(m_env.dwSilentTime);
        m_pModbus->SetMode(m_env.byTransMode);
    };

    if (!m_pModbus->IsPortOpen()) {
        m_pModbus->SetPort(MasterPort(m_env));
        m_pModbus->SetBaudRate(BaudRate(m_env));
        handOver();
        UpdateStatusPanes();
        return;
    }

    if (m_bScanning && m_hScanThread)
        PauseScanThread();
    if (m_bDestroyed)
        return;  // the window closed while the thread was being paused
    handOver();
    UpdateStatusPanes();
    if (!OpenLine(MasterPort(m_env), BaudRate(m_env), ParityCode(m_env))) {
        if (m_bDestroyed)
            return;
        SetScanning(false);
        ReportOpenFailure();
        return;  // the thread stays paused; the start command opens the port again
    }
    if (m_bScanning && m_hScanThread) {
        ResumeScanThread();
        LetScanThreadSettle();
    }
}
