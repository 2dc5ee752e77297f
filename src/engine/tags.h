#pragma once

#include <array>
#include <cstdint>

namespace corvalo {

// An operation key stores "operand + tag" in the pending register; the tag says which operation
// is waiting and which display box its operand came from.
enum class Tag : std::uint8_t {
    DivideFirst,
    AddFirst,
    MultiplyFirst,
    SubtractFirst,
    SquareFirst,
    RootFirst,
    Percent,
    DivideChain,
    AddChain,
    MultiplyChain,
    SquareSecond,
    RootSecond,
    SubtractChain,
};

inline constexpr int tagCount = 13;

// The doubles nearest to 9.81178064301 ... 9.81178064313, in enum order.
inline constexpr std::array<double, tagCount> tagValues = {
    9.81178064301, 9.81178064302, 9.81178064303, 9.81178064304, 9.81178064305,
    9.81178064306, 9.81178064307, 9.81178064308, 9.81178064309, 9.81178064310,
    9.81178064311, 9.81178064312, 9.81178064313,
};

constexpr double tagValue(Tag tag)
{
    return tagValues[static_cast<int>(tag)];
}

} // namespace corvalo
