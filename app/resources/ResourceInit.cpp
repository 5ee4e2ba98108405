#include "app/resources/ResourceInit.h"

#include <QtGlobal>

#include "app/resources/StringTable.h"
#include "framework/StringTable.h"

// Q_INIT_RESOURCE must name the .qrc file's function from the global namespace.
static void InitCompiledResources() {
    Q_INIT_RESOURCE(vornak);
}

void InitVornakResources() {
    static const bool once = [] {
        InitCompiledResources();
        return true;
    }();
    (void)once;
    InstallStringTable(VornakStringTable());
}
