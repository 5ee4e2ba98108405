#include "app/AboutDlg.h"

#include <QPushButton>

#include "app/resources/Templates.h"
#include "framework/CommandIds.h"
#include "framework/ControlLookup.h"
#include "framework/TemplateBuilder.h"

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    ApplyDialogTemplate(AboutTemplate(), this);
    if (auto* ok = FindControl<QPushButton>(this, IDOK)) {
        connect(ok, &QPushButton::clicked, this, [this] { done(IDOK); });
        ok->setFocus(Qt::OtherFocusReason);
    }
}

void CAboutDlg::reject() {
    done(IDCANCEL);
}
