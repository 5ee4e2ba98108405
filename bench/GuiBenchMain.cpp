// The GUI benchmarks need one QApplication; they run on the offscreen platform unless
// QT_QPA_PLATFORM names another (xcb under Xvfb, for instance).
#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/resources/ResourceInit.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    InitVornakResources();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
