#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace slave {

enum class Fault { None, Corrupt, Silent, Delay, WrongId };

// Faults by request: the n-th request the slave would answer gets the n-th fault; past the
// end of the plan every answer is good. Written as one letter each: "." none, "c" a bad check,
// "s" silent, "d" late, "w" another slave address.
class CFaultPlan {
public:
    CFaultPlan() = default;
    // nullopt when a character is none of the five letters.
    static std::optional<CFaultPlan> Parse(std::string_view letters);

    bool Empty() const { return m_faults.empty(); }
    std::size_t Size() const { return m_faults.size(); }
    // The fault of the next answered request.
    Fault Next();
    // Every letter has been used.
    bool Done() const { return m_nNext >= m_faults.size(); }

private:
    std::vector<Fault> m_faults;
    std::size_t m_nNext = 0;
};

}  // namespace slave
