#include <string>

#include "tests/protocol/Examples.h"

namespace {

using protocol::Bytes;
using protocol::CDeviceDiagnostics;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The counters the event examples show: 264 events, 289 messages on the bus.
CDeviceDiagnostics::State EventState() {
    CDeviceDiagnostics::State state;
    state.eventCount = 264;
    state.counters.busMessages = 289;
    return state;
}

}  // namespace

std::vector<WorkedExample> DiagnosticExamples() {
    return {
        {"read exception status",
         {0x07},
         {0x07, 0x6D},
         [](CExampleModel& m) { m.exceptionStatus = 0x6D; }},
        {"diagnostics, return query data",
         {0x08, 0x00, 0x00, 0xA5, 0x37},
         {0x08, 0x00, 0x00, 0xA5, 0x37},
         [](CExampleModel&) {}},
        {"get comm event counter, busy",
         {0x0B},
         {0x0B, 0xFF, 0xFF, 0x01, 0x08},
         [](CExampleModel& m) {
             auto state = EventState();
             state.busy = true;
             m.diagnostics.Restore(state);
         }},
        {"get comm event log",
         {0x0C},
         {0x0C, 0x08, 0x00, 0x00, 0x01, 0x08, 0x01, 0x21, 0x20, 0x00},
         [](CExampleModel& m) {
             auto state = EventState();
             state.events = {0x20, 0x00};
             m.diagnostics.Restore(state);
         }},
        // The application protocol gives this answer's layout only, the data being each
        // device's own: here the server id is the address asked (1) and the run indicator on.
        {"report server id",
         {0x11},
         Join({{0x11, 0x07, 0x01, 0xFF}, Text("PLC-9")}),
         [](CExampleModel& m) { m.identity.serverData = "PLC-9"; }},
        {"read device identification, basic, in one answer",
         {0x2B, 0x0E, 0x01, 0x00},
         Join({{0x2B, 0x0E, 0x01, 0x01, 0x00, 0x00, 0x03},
               {0x00, 0x16},
               Text("Company identification"),
               {0x01, 0x0F},
               Text("Product code XX"),
               {0x02, 0x05},
               Text("V2.11")}),
         [](CExampleModel& m) {
             m.identity.objects = {
                 {0, "Company identification"}, {1, "Product code XX"}, {2, "V2.11"}};
             m.identity.individualAccess = false;
         }},
    };
}
