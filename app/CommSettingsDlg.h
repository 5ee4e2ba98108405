#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

// Dialog 130: the serial line and the Modbus timing. Works on the caller's copy in its
// fields; out-of-range values are corrected silently when it opens.
class CCommSettingsDlg : public QDialog {
    Q_OBJECT
public:
    explicit CCommSettingsDlg(QWidget* parent = nullptr);
    const char* GetRuntimeClassName() const { return "CCommSettingsDlg"; }

    void OnInitDialog();
    // Confirms when the texts pass their limits; keeps the dialog open otherwise.
    void OnOK();
    void OnModeRtu();
    void OnModeAscii();

    static constexpr int kTimeoutChars = 4;
    static constexpr int kCharIntervalChars = 3;
    static constexpr int kScanTimeChars = 4;

    std::uint8_t m_nPortIndex = 0;
    std::uint8_t m_nBaudIndex = 0;
    std::uint8_t m_nStopBitsIndex = 0;
    std::uint8_t m_nParityIndex = 0;
    std::uint8_t m_nDataBitsIndex = 0;
    std::uint8_t m_nFlowControl = 0;
    std::uint8_t m_nMode = 0;
    std::uint32_t m_nTimeout = 0;
    std::uint32_t m_nCharInterval = 0;
    std::uint32_t m_nScanTime = 0;

    QString m_strTimeout;
    QString m_strCharInterval;
    QString m_strScanTime;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool DoDataExchange(bool save);

    QComboBox* m_cboDataSize;       // 1004
    QComboBox* m_cboParity;         // 1002
    QComboBox* m_cboStopBits;       // 1003
    QComboBox* m_cboBaudRate;       // 1001
    QComboBox* m_cboPort;           // 1000
    QLineEdit* m_editCharInterval;  // 1007
    QLineEdit* m_editScanTime;      // 1023
    QLineEdit* m_editTimeout;       // 1005
    QCheckBox* m_chkXonXoff;        // 1012
    QCheckBox* m_chkRtsCts;         // 1011
    QCheckBox* m_chkDtrDsr;         // 1010
    QRadioButton* m_radioRtu;       // 1008
    QRadioButton* m_radioAscii;     // 1009
    bool m_bInitialised = false;
};
