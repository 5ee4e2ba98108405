#include "app/VornakApp.h"

#include <QCoreApplication>

#include "app/AboutDlg.h"
#include "app/MainFrame.h"
#include "framework/CommandIds.h"
#include "framework/CommandRouter.h"
#include "framework/MessageBox.h"
#include "framework/ModalRun.h"
#include "framework/QtTranslation.h"
#include "framework/Resources.h"
#include "framework/TabStops.h"
#include "lines/PortMapFile.h"
#include "lines/PortResolver.h"
#include "scan/VornakView.h"

CVornakApp::CVornakApp() : m_pRouter(std::make_unique<CCommandRouter>()) {
    AddCommandHandler(ID_APP_ABOUT, [this] { OnAppAbout(); });
}

CVornakApp::~CVornakApp() {
    if (m_pView)
        m_pView->OnDestroy();
    InstallPortResolver({});
}

bool CVornakApp::InitInstance() {
    // Settings live under Quorvix/Vornak; there is no recent-file list.
    QCoreApplication::setOrganizationName(QStringLiteral("Quorvix"));
    QCoreApplication::setApplicationName(LoadStringResource(IDS_APP_TITLE));
    // The platform's own standard texts, in the program's language.
    InstallQtKoreanTranslation();
    // "Port Map" in the profile: COM1 to COM16 as devices, read anew at each open so an edit of
    // the file takes effect without a restart.
    InstallPortResolver(PortMapAnswer);
    // COM numbers the map leaves free go to the devices present now, in a stable order.
    RescanSerialDevices();
    m_pRouter->SetTarget(CCommandRouter::Slot::Application, this);
    if (!OnFileNew())
        return false;
    // The form takes the focus as it is shown, at its first tab stop.
    if (QWidget* first = FirstTabStop(m_pView))
        first->setFocus(Qt::OtherFocusReason);
    m_pMainWnd->show();
    m_pMainWnd->repaint();
    m_pMainWnd->setWindowTitle(QString::fromUtf8(kCaption));
    m_pRouter->StartIdleUpdates();
    return true;
}

// The document template's new-document step: document, frame, view, first update.
bool CVornakApp::OnFileNew() {
    if (!m_doc.OnNewDocument())
        return false;
    m_pMainWnd = std::make_unique<CMainFrame>(m_pRouter.get());
    if (m_bFailFrame || !m_pMainWnd->OnCreate()) {
        m_pMainWnd.reset();
        AfxMessageBox(QString::fromUtf8("빈 문서 작성 실패."), MessageIcon::Information);
        return false;
    }
    m_pMainWnd->setWindowTitle(LoadStringResource(IDS_APP_TITLE) + QStringLiteral(" - ") +
                               QString::fromUtf8(CVornakDoc::UntitledName()));
    m_pView = new CVornakView;
    CMainFrame* frame = m_pMainWnd.get();
    m_pView->SetStatusPaneSink([frame](unsigned id, const QString& text, bool lit) {
        frame->SetStatusPane(id, text, lit);
    });
    m_pMainWnd->SetView(m_pView);
    m_pRouter->SetTarget(CCommandRouter::Slot::Frame, frame);
    m_pRouter->SetTarget(CCommandRouter::Slot::View, m_pView);
    m_pMainWnd->SetCloseHandler([this] {
        m_pRouter->StopIdleUpdates();
        if (m_pView)
            m_pView->OnDestroy();
    });
    m_pView->OnInitialUpdate();
    return true;
}

void CVornakApp::OnAppAbout() {
    CAboutDlg dlg(m_pMainWnd.get());
    DoModal(dlg);
}
