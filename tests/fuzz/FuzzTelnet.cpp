// What a Telnet server sends, cut anywhere: the same data and events as in one piece; and any
// data, escaped and cut anywhere, decodes to itself with no events.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "lines/TelnetCodec.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Decode(const Bytes& wire, std::size_t cut, Bytes& data, std::vector<telnet::Event>& events) {
    telnet::CDecoder decoder;
    for (std::size_t at = 0; at < wire.size(); at += cut) {
        decoder.Feed(wire.data() + at, std::min(cut, wire.size() - at), data, events);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t cut = input[0] % 16 + 1;
    const Bytes raw(input + 1, input + size);
    Bytes whole;
    Bytes pieces;
    std::vector<telnet::Event> wholeEvents;
    std::vector<telnet::Event> pieceEvents;
    Decode(raw, raw.size() + 1, whole, wholeEvents);
    Decode(raw, cut, pieces, pieceEvents);
    if (whole != pieces || wholeEvents.size() != pieceEvents.size() || whole.size() > raw.size()) {
        std::abort();
    }
    Bytes wire;
    telnet::AppendEscaped(wire, raw.data(), raw.size());
    Bytes back;
    std::vector<telnet::Event> none;
    Decode(wire, cut, back, none);
    if (back != raw || !none.empty()) {
        std::abort();
    }
    return 0;
}
