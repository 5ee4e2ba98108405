#include "tests/protocol/Examples.h"

std::vector<WorkedExample> FileAndQueueExamples() {
    return {};
}
