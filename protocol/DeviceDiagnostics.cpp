#include "protocol/DeviceDiagnostics.h"

// PLACEHOLDER: to be written.
namespace protocol {

void CDeviceDiagnostics::CheckError() {}
void CDeviceDiagnostics::CharacterOverrun() {}
void CDeviceDiagnostics::MessageHeard(bool, bool) {}
void CDeviceDiagnostics::Answered(std::uint8_t, const std::optional<Bytes>&) {}
void CDeviceDiagnostics::SetListenOnly(bool on) {
    m_bListenOnly = on;
}
void CDeviceDiagnostics::RestartCommunications(bool) {}
void CDeviceDiagnostics::ClearCounters() {}
void CDeviceDiagnostics::ClearOverrun() {}
void CDeviceDiagnostics::Log(std::uint8_t) {}

}  // namespace protocol
