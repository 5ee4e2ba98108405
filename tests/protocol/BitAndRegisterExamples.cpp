#include "tests/protocol/Examples.h"

namespace {

// Bits from the packed bytes of an answer, from address on, as many as count.
void SeedBits(std::map<std::uint16_t, std::uint8_t>& table, std::uint16_t address,
              const protocol::Bytes& packed, std::size_t count) {
    for (std::size_t j = 0; j < count; ++j) {
        table[static_cast<std::uint16_t>(address + j)] = (packed[j / 8] >> (j % 8)) & 1;
    }
}

void Span(std::map<std::uint16_t, std::uint8_t>& table, std::uint16_t address, int count) {
    for (int i = 0; i < count; ++i) {
        table[static_cast<std::uint16_t>(address + i)] = 0;
    }
}

}  // namespace

std::vector<WorkedExample> BitAndRegisterExamples() {
    return {
        {"read coils 20-38",
         {0x01, 0x00, 0x13, 0x00, 0x13},
         {0x01, 0x03, 0xCD, 0x6B, 0x05},
         [](CExampleModel& m) {
             SeedBits(m.coils, 19, {0xCD, 0x6B, 0x05}, 19);
         }},
        {"read discrete inputs 197-218",
         {0x02, 0x00, 0xC4, 0x00, 0x16},
         {0x02, 0x03, 0xAC, 0xDB, 0x35},
         [](CExampleModel& m) {
             SeedBits(m.discreteInputs, 196, {0xAC, 0xDB, 0x35}, 22);
         }},
        {"read holding registers 108-110",
         {0x03, 0x00, 0x6B, 0x00, 0x03},
         {0x03, 0x06, 0x02, 0x2B, 0x00, 0x00, 0x00, 0x64},
         [](CExampleModel& m) {
             m.holding[107] = 0x022B;
             m.holding[108] = 0x0000;
             m.holding[109] = 0x0064;
         }},
        {"read input register 9",
         {0x04, 0x00, 0x08, 0x00, 0x01},
         {0x04, 0x02, 0x00, 0x0A},
         [](CExampleModel& m) { m.input[8] = 0x000A; }},
        {"write coil 173 on",
         {0x05, 0x00, 0xAC, 0xFF, 0x00},
         {0x05, 0x00, 0xAC, 0xFF, 0x00},
         [](CExampleModel& m) { Span(m.coils, 172, 1); }},
        {"write register 2",
         {0x06, 0x00, 0x01, 0x00, 0x03},
         {0x06, 0x00, 0x01, 0x00, 0x03},
         [](CExampleModel& m) { m.holding[1] = 0; }},
        {"write 10 coils from coil 20",
         {0x0F, 0x00, 0x13, 0x00, 0x0A, 0x02, 0xCD, 0x01},
         {0x0F, 0x00, 0x13, 0x00, 0x0A},
         [](CExampleModel& m) { Span(m.coils, 19, 10); }},
        {"write registers 2 and 3",
         {0x10, 0x00, 0x01, 0x00, 0x02, 0x04, 0x00, 0x0A, 0x01, 0x02},
         {0x10, 0x00, 0x01, 0x00, 0x02},
         [](CExampleModel& m) {
             m.holding[1] = 0;
             m.holding[2] = 0;
         }},
    };
}
