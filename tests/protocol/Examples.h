#pragma once

#include <vector>

#include "protocol/Pdu.h"
#include "tests/protocol/ExampleModel.h"

// The application protocol's own worked examples, one row per function: the request and the
// answer PDUs byte for byte, and what the device held for that answer. The master's, the
// simulator's and the monitor's tests all read this one table.
struct WorkedExample {
    const char* name;
    protocol::Bytes request;
    protocol::Bytes answer;
    // Puts what the answer reads into a model (and what the write needs to find there).
    void (*seed)(CExampleModel& model);
};

// Each group in its own file; All() in the order of the function codes.
std::vector<WorkedExample> BitAndRegisterExamples();
std::vector<WorkedExample> DiagnosticExamples();
std::vector<WorkedExample> FileAndQueueExamples();
std::vector<WorkedExample> AllWorkedExamples();
