#pragma once

#include "calculator.h"

#include <optional>

namespace corvalo {

// Calculating from the keyboard. A click keeps the keypad's own rules; what is typed follows
// these, wherever the keyboard focus is in the calculator's window:
// - "+", "-", "*", "/" and "=" press their keys, Enter presses "=" and Escape "C"; but "-" is a
//   sign where a number starts (an empty or wholly selected display, right after an operator
//   key, right after an exponent's "e"), and "+" right after an exponent's "e" is part of the
//   number;
// - any other text, typed or pasted, enters the display at its cursor, and a digit in it offers
//   "=" again, as the digit keys do;
// - after a result of "=", such text starts a new calculation, as if "C" were pressed first (the
//   memory stays), while an operator chains on the result as its key does.
struct TypingPlace {
    bool numberStarts = false;  // where a sign may stand
    bool afterExponent = false; // right after an exponent's letter
};

// The key that a character typed at that place presses; none where it enters the display.
std::optional<Key> typedKey(char32_t typed, TypingPlace place);

} // namespace corvalo
