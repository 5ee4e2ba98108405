#pragma once

#include "protocol/FunctionTable.h"

namespace protocol {

// PLACEHOLDER: to be written.
extern const FunctionEntry kDiagnosticsFunction;

}  // namespace protocol
