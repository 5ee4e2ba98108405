#pragma once

#include <cstdint>

#include "protocol/DataModel.h"

namespace slave {

// A data model whose values move with the time: the device brings it to the moment of each
// request before serving it, so a master polling it sees values change.
class ISimulatedModel : public protocol::IDataModel {
public:
    // Milliseconds since the simulator started; never goes back.
    virtual void SetElapsed(std::uint64_t elapsedMs) = 0;
};

}  // namespace slave
