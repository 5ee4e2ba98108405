#include <gtest/gtest.h>

#include "tools/monitor/FrameShapes.h"
#include "tools/monitor/MonitorRecord.h"

namespace monitor {
namespace {

using Fit = FrameShape::Fit;

struct ShapeCase {
    const char* name;
    FrameRole role;
    Bytes first;
    Fit fit;
    std::size_t length;
};

TEST(FrameShapes, LengthFromTheFirstBytes) {
    const ShapeCase cases[] = {
        {"read answer before its count", FrameRole::Answer, {1, 3}, Fit::NeedMore, 3},
        {"report server id", FrameRole::Request, {1, 17}, Fit::Length, 4},
        {"exception with no such code", FrameRole::Answer, {1, 0x83, 0x40}, Fit::None, 0},
        {"no exception request", FrameRole::Request, {1, 0x83, 2}, Fit::None, 0},
        {"reserved address", FrameRole::Request, {248, 3}, Fit::None, 0},
        {"read/write request",
         FrameRole::Request,
         {1, 23, 0, 0, 0, 1, 0, 0, 0, 1, 2},
         Fit::Length,
         15},
        {"fifo answer", FrameRole::Answer, {1, 24, 0, 6}, Fit::Length, 12},
        {"identification answer",
         FrameRole::Answer,
         {1, 43, 14, 1, 1, 0, 0, 2, 0, 3, 'a', 'b', 'c', 1, 1, 'x'},
         Fit::Length,
         18},
        {"identification answer mid object",
         FrameRole::Answer,
         {1, 43, 14, 1, 1, 0, 0, 2, 0, 3, 'a'},
         Fit::NeedMore,
         15},
        {"longer than a frame", FrameRole::Answer, {1, 3, 255}, Fit::None, 0},
        {"no function 0", FrameRole::Answer, {1, 0}, Fit::None, 0},
    };
    for (const ShapeCase& c : cases) {
        const FrameShape shape = RtuShape(c.role, c.first.data(), c.first.size());
        EXPECT_EQ(shape.fit, c.fit) << c.name;
        if (c.fit == Fit::Length || c.fit == Fit::NeedMore) {
            EXPECT_EQ(shape.length, c.length) << c.name;
        }
    }
}

}  // namespace
}  // namespace monitor
