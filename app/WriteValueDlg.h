#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class CDataExchange;
class QLineEdit;
class QPushButton;

// Dialog 133: names the write function, shows the address and the current value of one
// register and hands back the value to write. The caller fills m_bCoil, m_wAddress and
// m_wValue, runs it and, when the result is IDOK, reads m_wValue; IDCANCEL leaves it alone.
class CWriteValueDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWriteValueDlg(QWidget* parent = nullptr);
    const char* GetRuntimeClassName() const { return "CWriteValueDlg"; }

    // Opening: the texts from the fields into the edits, the focus on "확인". Runs at the first
    // show of each run (exec(), open() or show()).
    void OnInitDialog();
    // "확인": takes the typed value over and ends the run with IDOK; a blank value is refused
    // with a message and the dialog stays open.
    void OnOK();
    // Escape, "취소" and the title bar end the run with IDCANCEL.
    void reject() override;
    // Ends the run; the next exec() or show() opens afresh from the fields.
    void done(int result) override;

    std::uint8_t m_bCoil = 0;
    std::uint16_t m_wAddress = 0;
    std::uint16_t m_wValue = 0;

    QString m_strFunction;
    QString m_strAddress;
    QString m_strValue;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DoDataExchange(CDataExchange& dx);
    bool UpdateData(bool saveAndValidate);

    QLineEdit* m_editValue = nullptr;     // 1026
    QLineEdit* m_editAddress = nullptr;   // 1025
    QLineEdit* m_editFunction = nullptr;  // 1024
    QPushButton* m_btnOk = nullptr;
    bool m_bInitialised = false;
};
