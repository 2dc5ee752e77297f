#pragma once

#include "engine/calculator.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace corvalo {

// A push button of the main window as it was designed.
struct KeyDesign {
    std::optional<Key> key; // none for the "?" key
    const char* name;
    const char* caption;
    const char* accessibleName;
    int left, top, width, height; // twips
    double points;
    bool bold;
    int tabIndex;
    int colourOrder;    // place, from 1, in which a skin gives the buttons their colour
    bool aboveDisplay2; // the memory keys and "?" lie above txtdisplay2, the rest beneath it
};

// The main window's push buttons: the keypad and "?", in stacking order, topmost first.
// clang-format off
inline constexpr std::array<KeyDesign, keyCount + 1> keypad = {{
    {Key::MemoryClear,  "CmdMemC",     "MC",   "Memory clear",   1560,  600,  495, 375,  8.25, true,  28,  3, true},
    {Key::MemoryRecall, "cmdMrc",      "MRC",  "Memory recall",   840,  600,  495, 375,  8.25, true,  27,  2, true},
    {Key::MemoryAdd,    "CmdMem",      "M+",   "Memory add",      120,  600,  495, 375,  8.25, true,  26,  1, true},
    {std::nullopt,      "cmdexp1",     "?",    "Help example",   3480,  360,  255, 255,  8.25, false, 25,  6, true},
    {Key::Pi,           "CmdPy",       "TT",   "Pi",              120, 2520,  495, 375, 11.25, true,  21, 18, false},
    {Key::Square,       "CmdSqr",      "^",    "Square",         1560, 2520,  495, 375, 11.25, true,  20, 17, false},
    {Key::Two,          "CmdTwo",      "2",    "Two",             840, 1080,  495, 375, 11.25, true,  19,  9, false},
    {Key::Three,        "CmdThree",    "3",    "Three",          1560, 1080,  495, 375, 11.25, true,  18, 10, false},
    {Key::Four,         "CmdFour",     "4",    "Four",            120, 1560,  495, 375, 11.25, true,  17, 11, false},
    {Key::Five,         "CmdFive",     "5",    "Five",            840, 1560,  495, 375, 11.25, true,  16, 12, false},
    {Key::Six,          "CmdSix",      "6",    "Six",            1560, 1560,  495, 375, 11.25, true,  15, 13, false},
    {Key::Seven,        "CmdSeven",    "7",    "Seven",           120, 2040,  495, 375, 11.25, true,  14, 14, false},
    {Key::Eight,        "CmdEight",    "8",    "Eight",           840, 2040,  495, 375, 11.25, true,  13, 15, false},
    {Key::Nine,         "CmdNine",     "9",    "Nine",           1560, 2040,  495, 375, 11.25, true,  12, 16, false},
    {Key::Zero,         "CmdZero",     "0",    "Zero",            840, 2520,  495, 375, 11.25, true,  11,  7, false},
    {Key::One,          "CmdOne",      "1",    "One",             120, 1080,  495, 375, 11.25, true,  10,  8, false},
    {Key::Clear,        "CmdCancel",   "C",    "Clear",          2400, 2520, 1095, 375,  8.25, true,   9, 19, false},
    {Key::Dot,          "CmdDot",      ".",    "Decimal point",  2400, 2040,  495, 375, 12,    false,  8, 25, false},
    {Key::Equals,       "CmdEquals",   "=",    "Equals",         3000, 2040,  495, 375, 12,    false,  7, 20, false},
    {Key::Percent,      "CmdPercent",  "%",    "Percent",        3000,  600,  495, 375,  8.25, true,   6,  5, false},
    {Key::SquareRoot,   "CmdSqrt",     "Sqrt", "Square root",    2400,  600,  495, 375,  8.25, true,   5,  4, false},
    {Key::Add,          "cmdAdd",      "+",    "Add",            3000, 1080,  495, 405, 12,    false,  4, 21, false},
    {Key::Subtract,     "cmdSubtract", "-",    "Subtract",       2400, 1080,  495, 405, 12,    false,  3, 24, false},
    {Key::Multiply,     "cmdMultiply", "*",    "Multiply",       2400, 1560,  495, 405, 12,    false,  2, 22, false},
    {Key::Divide,       "cmdDivide",   "/",    "Divide",         3000, 1560,  495, 405, 12,    false,  1, 23, false},
}};
// clang-format on

// Rows of keypad in the order a skin colours them.
inline constexpr std::array<std::size_t, keypad.size()> colourOrder = [] {
    std::array<std::size_t, keypad.size()> rows{};
    for (std::size_t row = 0; row < keypad.size(); ++row)
        rows[static_cast<std::size_t>(keypad[row].colourOrder - 1)] = row;
    return rows;
}();

// Every Key once, and the colour order a permutation: a key left out cannot go unnoticed.
static_assert([] {
    std::array<int, keyCount> keys{};
    std::array<int, keypad.size()> places{};
    int helpKeys = 0;
    for (const KeyDesign& d : keypad) {
        if (d.key)
            ++keys[static_cast<std::size_t>(*d.key)];
        else
            ++helpKeys;
        if (d.colourOrder < 1 || d.colourOrder > static_cast<int>(keypad.size()))
            return false;
        ++places[static_cast<std::size_t>(d.colourOrder - 1)];
    }
    return helpKeys == 1 && std::ranges::all_of(keys, [](int n) { return n == 1; }) &&
           std::ranges::all_of(places, [](int n) { return n == 1; });
}());

// The row of a key.
constexpr std::size_t keypadRow(Key key)
{
    for (std::size_t row = 0; row < keypad.size(); ++row)
        if (keypad[row].key == key)
            return row;
    return keypad.size();
}

// The key whose button reads caption ("Sqrt", "7"); none for "?" and unknown captions.
constexpr std::optional<Key> keyWithCaption(std::string_view caption)
{
    for (const KeyDesign& d : keypad)
        if (caption == d.caption)
            return d.key;
    return std::nullopt;
}

} // namespace corvalo
