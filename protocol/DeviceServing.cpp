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
    if (diagnostics.ListenOnly()) {
        if (IsRestartCommunications(request)) {
            ServeRequest(request, model, unit);
        }
        diagnostics.Answered(request[0], std::nullopt, broadcast);
        return std::nullopt;
    }
    std::optional<Bytes> answer = ServeRequest(request, model, unit);
    diagnostics.Answered(request[0], answer, broadcast);
    if (broadcast) {
        return std::nullopt;
    }
    return answer;
}

}  // namespace protocol
