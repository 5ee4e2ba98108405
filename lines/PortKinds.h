#pragma once

#include <memory>

#include "LineAddress.h"
#include "SerialPort.h"

// The port that carries a line of this kind, not yet open; nullptr when this build has none.
std::unique_ptr<CSerialPort> MakeKindPort(LineKind kind);
