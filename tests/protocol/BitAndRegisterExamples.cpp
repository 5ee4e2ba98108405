#include "tests/protocol/Examples.h"

std::vector<WorkedExample> BitAndRegisterExamples() {
    return {
        {"read holding registers 108-110",
         {0x03, 0x00, 0x6B, 0x00, 0x03},
         {0x03, 0x06, 0x02, 0x2B, 0x00, 0x00, 0x00, 0x64},
         [](CExampleModel& m) {
             m.holding[107] = 0x022B;
             m.holding[108] = 0x0000;
             m.holding[109] = 0x0064;
         }},
    };
}
