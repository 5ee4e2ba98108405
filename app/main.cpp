#include <QApplication>
#include <cstdio>
#include <memory>

#include "app/CloseOnSignal.h"
#include "app/FirstPaintProbe.h"
#include "app/MainFrame.h"
#include "app/StartupSnapshot.h"
#include "app/VornakApp.h"
#include "app/resources/ResourceInit.h"
#include "platform/StandardDescriptors.h"

int main(int argc, char** argv) {
    // First: no file or line opened later may take the number of a closed standard descriptor.
    if (!EnsureStandardDescriptors())
        return 1;
    QApplication application(argc, argv);
    // Start-up time on request, for measuring it on a real display.
    std::unique_ptr<CFirstPaintProbe> probe;
    if (qEnvironmentVariableIsSet("VORNAK_FIRST_PAINT_REPORT")) {
        probe = std::make_unique<CFirstPaintProbe>([](double sinceStart, double sinceApp) {
            std::fprintf(stderr,
                         "vornak: first paint %.0f ms after start, %.1f ms after the "
                         "application object\n",
                         sinceStart, sinceApp);
        });
    }
    InitVornakResources();
    CVornakApp theApp;
    if (!theApp.InitInstance())
        return 1;
    // Logout, a closed terminal or Ctrl+C close the window as the user would, saving the settings.
    const CCloseOnSignal closeOnSignal(theApp.MainFrame());
    if (qEnvironmentVariableIsSet(kStartupSnapshotVariable)) {
        ArmStartupSnapshot(theApp.MainFrame(), qEnvironmentVariable(kStartupSnapshotVariable),
                           [](bool saved) {
                               if (!saved)
                                   qWarning("vornak: the start-up snapshot was not written");
                               QCoreApplication::exit(saved ? 0 : 1);
                           });
    }
    return application.exec();
}
