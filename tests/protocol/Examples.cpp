#include "tests/protocol/Examples.h"

#include <algorithm>

std::vector<WorkedExample> AllWorkedExamples() {
    std::vector<WorkedExample> all;
    for (auto group : {BitAndRegisterExamples, DiagnosticExamples, FileAndQueueExamples}) {
        auto examples = group();
        all.insert(all.end(), examples.begin(), examples.end());
    }
    std::stable_sort(all.begin(), all.end(), [](const WorkedExample& a, const WorkedExample& b) {
        return a.request[0] < b.request[0];
    });
    return all;
}
