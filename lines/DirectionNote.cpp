#include "lines/DirectionNote.h"

#include <map>
#include <mutex>

namespace {

std::mutex g_mutex;
std::map<std::string, std::string>& Notes() {
    static std::map<std::string, std::string> notes;
    return notes;
}

}  // namespace

void NoteDirectionControl(const std::string& device, const std::string& how) {
    const std::lock_guard<std::mutex> lock(g_mutex);
    Notes()[device] = how;
}

std::string DirectionControlOf(const std::string& device) {
    const std::lock_guard<std::mutex> lock(g_mutex);
    const auto it = Notes().find(device);
    return it == Notes().end() ? std::string() : it->second;
}
