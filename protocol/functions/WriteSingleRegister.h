#pragma once

#include "protocol/FunctionTable.h"

namespace protocol {

// PLACEHOLDER: to be written.
extern const FunctionEntry kWriteSingleRegisterFunction;

}  // namespace protocol
