#include "protocol/DeviceServing.h"

#include "protocol/FunctionTable.h"
#include "protocol/functions/Diagnostics.h"

namespace protocol {

std::optional<Bytes> ServeAsDevice(PduView request, IDataModel& model, std::uint8_t unit,
                                   bool broadcast) {
    CDeviceDiagnostics& diagnostics = model.Diagnostics();
    diagnostics.MessageHeard(true, broadcast);
    if (request.empty()) {
        diagnostics.Answered(0, std::nullopt, broadcast);
        return std::nullopt;
    }
    // A restart's answer goes out before the restart, which then clears what it would have
    // counted and logged: nothing of its exchange is left after it.
    const bool restart = IsRestartCommunications(request);
    if (diagnostics.ListenOnly()) {
        if (restart) {
            ServeRequest(request, model, unit);
        } else {
            diagnostics.Answered(request[0], std::nullopt, broadcast);
        }
        return std::nullopt;
    }
    std::optional<Bytes> answer = ServeRequest(request, model, unit);
    if (!restart) {
        diagnostics.Answered(request[0], answer, broadcast);
    }
    if (broadcast) {
        return std::nullopt;
    }
    return answer;
}

}  // namespace protocol
