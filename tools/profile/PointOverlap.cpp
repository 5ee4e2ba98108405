#include "tools/profile/PointOverlap.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <tuple>

namespace profile {

namespace {

std::size_t LastAddress(const Point& point) {
    return point.address + point.Registers() - 1;
}

// Bits past the register's sixteen are the checks' to refuse, not this walk's to index.
int EndBit(const Point& point) {
    return std::min(point.bit + point.width, 16);
}

std::pair<std::size_t, std::size_t> InFileOrder(const std::vector<Point>& points, std::size_t a,
                                                std::size_t b) {
    return points[a].line <= points[b].line ? std::pair(a, b) : std::pair(b, a);
}

}  // namespace

std::optional<std::pair<std::size_t, std::size_t>> FindOverlap(const std::vector<Point>& points) {
    std::vector<std::size_t> order(points.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Point& x = points[a];
        const Point& y = points[b];
        return std::tie(x.table, x.address, x.line) < std::tie(y.table, y.address, y.line);
    });
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    // The point reaching furthest so far in this table and, for the register of the latest bit
    // field, which field holds each bit. As long as nothing overlapped, a bit field reaching
    // furthest means no whole register covers its register.
    std::size_t furthest = kNone;
    std::size_t bitsRegister = kNone;
    std::array<std::size_t, 16> bitOwner{};
    for (const std::size_t index : order) {
        const Point& point = points[index];
        if (furthest != kNone && points[furthest].table != point.table) {
            furthest = kNone;
            bitsRegister = kNone;
        }
        if (point.IsBitField() && bitsRegister != point.address) {
            bitsRegister = point.address;
            bitOwner.fill(kNone);
        }
        if (furthest != kNone && LastAddress(points[furthest]) >= point.address) {
            if (!point.IsBitField() || !points[furthest].IsBitField()) {
                return InFileOrder(points, furthest, index);
            }
            for (int bit = point.bit; bit < EndBit(point); ++bit) {
                if (bitOwner[static_cast<std::size_t>(bit)] != kNone) {
                    return InFileOrder(points, bitOwner[static_cast<std::size_t>(bit)], index);
                }
            }
        }
        if (point.IsBitField()) {
            for (int bit = point.bit; bit < EndBit(point); ++bit) {
                bitOwner[static_cast<std::size_t>(bit)] = index;
            }
        }
        if (furthest == kNone || LastAddress(point) > LastAddress(points[furthest])) {
            furthest = index;
        }
    }
    return std::nullopt;
}

}  // namespace profile
