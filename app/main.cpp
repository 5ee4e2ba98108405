#include <QApplication>

#include "app/VornakApp.h"
#include "app/resources/ResourceInit.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    InitVornakResources();
    CVornakApp theApp;
    if (!theApp.InitInstance())
        return 1;
    return application.exec();
}
