#pragma once

#include <memory>

#include "framework/CmdTarget.h"
#include "scan/VornakDoc.h"

class CCommandRouter;
class CMainFrame;
class CVornakView;

// The application object: settings key, the one document with its frame and view, the about
// command. One instance lives for the whole process.
class CVornakApp : public CCmdTarget {
public:
    static constexpr const char* kCaption = "Modbus Master Scan Program - Quorvix";

    CVornakApp();
    ~CVornakApp() override;

    const char* GetRuntimeClassName() const { return "CVornakApp"; }

    // Start-up; false ends the program before any window shows.
    bool InitInstance();
    void OnAppAbout();

    CMainFrame* MainFrame() const { return m_pMainWnd.get(); }
    CVornakView* View() const { return m_pView; }
    CCommandRouter* Router() const { return m_pRouter.get(); }

    // Start-up stops here when set, as if the frame could not be created (for tests).
    void FailFrameCreationForTest() { m_bFailFrame = true; }

private:
    bool OnFileNew();

    std::unique_ptr<CCommandRouter> m_pRouter;
    CVornakDoc m_doc;
    std::unique_ptr<CMainFrame> m_pMainWnd;
    CVornakView* m_pView = nullptr;  // owned by the frame
    bool m_bFailFrame = false;
};
