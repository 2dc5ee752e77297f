#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvalo {

// Reads the number at the start of a display text, the way the calculator always has: blanks,
// tabs and line feeds are skipped wherever they stand; then an optional sign, digits with at
// most one ".", and an optional exponent (E or D, either case). Reading stops at the first
// character that cannot continue the number; a text without digits reads as 0. The decimal
// point is "." whatever the locale. A number beyond the double range gives nullopt, except that
// numbers up to 1.79769313486232E+308 (the largest double as shown) read as the largest double;
// one too small to represent reads as 0. Linear in the length of the text.
std::optional<double> parseLeadingNumber(std::string_view text);

// The letters that begin a number's exponent: "1e+5", "2.5D-3".
constexpr bool isExponentLetter(char32_t c)
{
    return c == U'e' || c == U'E' || c == U'd' || c == U'D';
}

// The display form of a number: the general format with 15 significant digits, plain notation
// for decimal exponents -4 to 14, otherwise "1E+15" style; "." always; negative zero shows as
// "0".
std::string formatNumber(double value);

} // namespace corvalo
