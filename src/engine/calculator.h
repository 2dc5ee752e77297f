#pragma once

#include "tags.h"

#include <cstddef>
#include <optional>
#include <string>

namespace corvalo {

// The two display boxes lie on top of each other; exactly one of them is shown.
enum class Box : std::uint8_t { Display, Display2 };

// The whole calculation as one value. The window copies the boxes' texts in before a key,
// presses the key, and shows the state that comes out.
struct CalcState {
    std::string display;  // TxtDisplay
    std::string display2; // txtdisplay2
    Box visible = Box::Display;
    bool equalsEnabled = true;
    double pending = 0; // dblPending: operand plus tag after an operation key, result after "="
    double memory = 0;  // dblMemory
    // Which tag the last operation key stored. "=" performs this operation and nothing else:
    // telling operations apart by the register's value fails once the operand is large enough
    // for neighbouring tags to round to the same double.
    std::optional<Tag> pendingOperation;

    bool operator==(const CalcState&) const = default;
};

enum class Key : std::uint8_t {
    Zero,
    One,
    Two,
    Three,
    Four,
    Five,
    Six,
    Seven,
    Eight,
    Nine,
    Dot,
    Clear,
    Add,
    Subtract,
    Multiply,
    Divide,
    Equals,
    Square,
    SquareRoot,
    Percent,
    Pi,
    MemoryAdd,
    MemoryClear,
    MemoryRecall,
};
// MemoryRecall closes the enum.
inline constexpr std::size_t keyCount = static_cast<std::size_t>(Key::MemoryRecall) + 1;

// A fault stops the key at the step where it arises. The register that would have received an
// infinity or a NaN keeps the value it had, so the calculation can go on.
enum class Fault : std::uint8_t {
    None,
    DivideByZero,
    ZeroDividedByZero,
    Overflow,
    NegativeSquareRoot,
    NumberTooLarge, // a display text whose number lies beyond the double range
    DisplayFull,    // a digit or "." with displayCapacity characters in the box
};

// The most characters a display box holds. A number that long is already exact to the last digit
// a double can tell, and text laid out much longer makes the box slow to draw.
inline constexpr std::size_t displayCapacity = 32767;

Fault press(CalcState& state, Key key);

// Plain words for the user; empty for Fault::None.
const char* faultMessage(Fault fault);

// The text of a display box.
inline std::string& boxText(CalcState& state, Box box)
{
    return box == Box::Display ? state.display : state.display2;
}

} // namespace corvalo
