#pragma once

#include <QDialog>

// The about box 100: icon, "Vornak 버전 1.1" and "확인". No data, no exchange.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    const char* GetRuntimeClassName() const { return "CAboutDlg"; }
};
