#include "tests/protocol/Examples.h"

std::vector<WorkedExample> DiagnosticExamples() {
    return {};
}
