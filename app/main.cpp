#include <QApplication>

#include "app/MainFrame.h"
#include "app/StartupSnapshot.h"
#include "app/VornakApp.h"
#include "app/resources/ResourceInit.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    InitVornakResources();
    CVornakApp theApp;
    if (!theApp.InitInstance())
        return 1;
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
