#pragma once

#include <QDialog>

// The about box 100: the application icon, "Vornak 버전 1.1" and "확인". No data, no exchange.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    const char* GetRuntimeClassName() const { return "CAboutDlg"; }

    // Closing by Escape or the title bar ends the run with IDCANCEL, as "확인" ends it with IDOK.
    void reject() override;
};
