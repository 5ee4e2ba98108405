#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

class QLineEdit;

// Dialog 133: shows the function, the address and the current value of one register and
// hands back the value to write. The caller fills the fields, runs it and, after IDOK, reads
// m_wValue.
class CWriteValueDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWriteValueDlg(QWidget* parent = nullptr);
    const char* GetRuntimeClassName() const { return "CWriteValueDlg"; }

    // Opening: the texts from the fields into the edits. exec() and show() run it once.
    void OnInitDialog();
    // OK: takes the value over; an empty one is refused with a message and keeps the dialog.
    void OnOK();

    std::uint8_t m_bCoil = 0;
    std::uint16_t m_wAddress = 0;
    std::uint16_t m_wValue = 0;

    QString m_strFunction;
    QString m_strAddress;
    QString m_strValue;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void DoDataExchange(bool save);

    QLineEdit* m_editValue;     // 1026
    QLineEdit* m_editAddress;   // 1025
    QLineEdit* m_editFunction;  // 1024
    bool m_bInitialised = false;
};
