#include "tools/profile/DeviceProfile.h"

namespace profile {

const Point* DeviceProfile::Find(std::string_view name) const {
    for (const Point& point : points) {
        if (point.name == name) {
            return &point;
        }
    }
    return nullptr;
}

}  // namespace profile
