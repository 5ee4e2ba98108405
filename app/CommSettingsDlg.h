#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class CDataExchange;
class QCheckBox;
class COXHotComboBox;
class QLineEdit;
class QRadioButton;

// Dialog 130: the serial line and the Modbus timing. Works on the caller's copy in its
// fields: the caller fills all ten, runs it and, when the result is IDOK, reads them back.
// Out-of-range values are corrected silently when it opens; nothing is stored or opened here.
class CCommSettingsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCommSettingsDlg(QWidget* parent = nullptr);
    const char* GetRuntimeClassName() const { return "CCommSettingsDlg"; }

    // Opening: corrections, selections, check boxes, mode and texts; the focus on the port
    // list. Runs at the first show of each run (exec(), open() or show()).
    void OnInitDialog();
    // "확인": ends the run with IDOK when the texts fit their edits, raising them to their
    // minimums on the way; an overlong text is reported and the dialog stays open.
    void OnOK();
    // Escape, "취소" and the title bar end the run with IDCANCEL.
    void reject() override;
    // Ends the run; the next exec() or show() opens afresh from the fields.
    void done(int result) override;
    // The mode buttons: the character interval is editable in ASCII only.
    void OnModeRtu();
    void OnModeAscii();

    // The edits' character caps.
    static constexpr int kTimeoutChars = 4;
    static constexpr int kCharIntervalChars = 3;
    static constexpr int kScanTimeChars = 4;

    std::uint8_t m_nPortIndex = 0;      // 0..15 = COM1..COM16
    std::uint8_t m_nBaudIndex = 0;      // 0..7 = 1200..115200
    std::uint8_t m_nStopBitsIndex = 0;  // 0 = "1", 1 = "2"
    std::uint8_t m_nParityIndex = 0;    // 0 = "No", 1 = "Even", 2 = "Odd"
    std::uint8_t m_nDataBitsIndex = 0;  // 0 = "7", 1 = "8"
    std::uint8_t m_nFlowControl = 0;    // bit 0 DTR/DSR, bit 1 RTS/CTS, bit 2 XON/XOFF
    std::uint8_t m_nMode = 0;           // 0 = RTU, 1 = ASCII
    std::uint32_t m_nTimeout = 0;       // ms
    std::uint32_t m_nCharInterval = 0;  // ms
    std::uint32_t m_nScanTime = 0;      // ms

    QString m_strTimeout;
    QString m_strCharInterval;
    QString m_strScanTime;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DoDataExchange(CDataExchange& dx);
    bool UpdateData(bool saveAndValidate);
    void RefreshPortTooltips();

    COXHotComboBox* m_cboDataSize = nullptr;  // 1004
    COXHotComboBox* m_cboParity = nullptr;    // 1002
    COXHotComboBox* m_cboStopBits = nullptr;  // 1003
    COXHotComboBox* m_cboBaudRate = nullptr;  // 1001
    COXHotComboBox* m_cboPort = nullptr;      // 1000
    QLineEdit* m_editCharInterval = nullptr;  // 1007
    QLineEdit* m_editScanTime = nullptr;      // 1023
    QLineEdit* m_editTimeout = nullptr;       // 1005
    QCheckBox* m_chkXonXoff = nullptr;        // 1012
    QCheckBox* m_chkRtsCts = nullptr;         // 1011
    QCheckBox* m_chkDtrDsr = nullptr;         // 1010
    QRadioButton* m_radioRtu = nullptr;       // 1008
    QRadioButton* m_radioAscii = nullptr;     // 1009
    bool m_bInitialised = false;
};
