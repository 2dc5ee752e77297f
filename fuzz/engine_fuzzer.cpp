// Drives the calculator engine with key presses and typed texts read from the fuzzer's bytes,
// and checks after every step what must hold whatever the user does.
//
// Byte program: a byte below 0xC0 presses key (byte % 24); a byte from 0xC0 types a text built
// from the bytes that follow, chosen by (byte & 7). Set CORVALO_FUZZ_TRACE=1 to print every step
// of one input (for a crash file, with the fuzzer binary and the file as its only argument).

#include "engine/calculator.h"
#include "engine/number.h"
#include "windows/keypad.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <string>
#include <string_view>

using namespace corvalo;

namespace {

constexpr std::size_t textLimit = 256 << 10; // keeps one input's time and memory bounded

// Texts next to the edge of the double range, where shown results used to stop reading back.
const char* const edgeTexts[] = {
    "1.79769313486232E+308",   "-1.79769313486232E+308",
    "1.7976931348623157E308",  "1.79769313486233E+308",
    "8.988465674311579e307",   "4.94065645841247E-324",
    "2.2250738585072014E-308", "1E+15",
    "999999999999999",         "Press Equals...",
};

std::uint64_t g_steps = 0;
std::chrono::steady_clock::time_point g_start;
bool g_trace = false;

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    std::uint8_t byte() { return atEnd() ? 0 : m_data[m_pos++]; }
    std::string_view bytes(std::size_t count)
    {
        count = std::min(count, m_size - std::min(m_pos, m_size));
        const std::string_view out(reinterpret_cast<const char*>(m_data) + m_pos, count);
        m_pos += count;
        return out;
    }
    double number()
    {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits = bits << 8 | byte();
        return std::bit_cast<double>(bits);
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

[[noreturn]] void fail(const char* what, const CalcState& s)
{
    std::fprintf(stderr,
                 "engine invariant broken: %s\n  visible=%d equals=%d pending=%.17g memory=%.17g\n"
                 "  display=\"%.200s\"\n  display2=\"%.200s\"\n",
                 what, static_cast<int>(s.visible), s.equalsEnabled, s.pending, s.memory,
                 s.display.c_str(), s.display2.c_str());
    std::abort();
}

const std::string& textOf(const CalcState& s, Box box)
{
    return box == Box::Display ? s.display : s.display2;
}

bool holdsInfOrNan(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("inf") != std::string::npos || lower.find("nan") != std::string::npos;
}

// A text the calculator wrote for `value` reads back as a number within its 15 digits, and
// writing that number again gives the same text.
void checkReadsBack(const std::string& text, double value, const CalcState& s)
{
    if (holdsInfOrNan(text))
        fail("a shown text holds inf or nan", s);
    const auto read = parseLeadingNumber(text);
    if (!read)
        fail("a shown text does not read back", s);
    // Half a unit in the fifteenth digit for the rounding to text, and one step of the double
    // grid for the reading back.
    const double difference = std::abs(*read - value);
    if (difference > 0) {
        const double magnitude = std::max(std::abs(value), std::abs(*read));
        const double halfUnit = 0.5 * std::pow(10.0, std::floor(std::log10(magnitude)) - 14);
        const double step = magnitude * 0x1p-52 + std::numeric_limits<double>::denorm_min();
        if (difference > halfUnit * (1 + 1e-12) + step)
            fail("a shown text reads back beyond its 15 digits", s);
    }
    if (formatNumber(*read) != text)
        fail("a shown text reads back as another text", s);
}

std::string nonAsciiDigits(Reader& in)
{
    // Arabic-Indic, Devanagari, full-width and mathematical bold digits: none of them is a digit
    // to the calculator.
    static const char32_t zeros[] = {0x0660, 0x0966, 0xFF10, 0x1D7CE};
    std::string out;
    for (int n = in.byte() % 8 + 1; n > 0; --n) {
        const std::uint8_t b = in.byte();
        const char32_t c = zeros[b % 4] + (b >> 2) % 10;
        if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        }
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

// Any double, written out in one of the forms a user could paste.
std::string writtenDouble(Reader& in)
{
    const std::uint8_t form = in.byte();
    const double value = in.number();
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf");
    std::string buffer(1200, '\0');
    char* const first = buffer.data();
    char* const last = first + buffer.size();
    std::to_chars_result r{};
    switch (form % 4) {
    case 0:
        return formatNumber(value);
    case 1:
        r = std::to_chars(first, last, value);
        break;
    case 2:
        r = std::to_chars(first, last, value, std::chars_format::fixed);
        break;
    default:
        r = std::to_chars(first, last, value, std::chars_format::scientific, 40);
        break;
    }
    buffer.resize(static_cast<std::size_t>(r.ptr - first));
    return buffer;
}

std::string beyondRange(Reader& in)
{
    std::string out = in.byte() & 1 ? "-" : "";
    out += std::to_string(in.byte() % 10);
    out += '.';
    out += std::to_string(in.byte());
    out += "EeDd"[in.byte() % 4];
    std::int32_t exponent = 0;
    for (int i = 0; i < 4; ++i)
        exponent = static_cast<std::int32_t>(static_cast<std::uint32_t>(exponent) << 8 | in.byte());
    out += std::to_string(exponent);
    return out;
}

void step(CalcState& s, Reader& in)
{
    const std::uint8_t op = in.byte();
    ++g_steps;
    if (op < 0xC0) {
        const Key key = static_cast<Key>(op % keyCount);
        const CalcState before = s;
        const Fault fault = press(s, key);
        if (g_trace)
            std::fprintf(stderr, "key %-4s fault %d -> \"%.60s\" | \"%.60s\"\n",
                         keypad[keypadRow(key)].caption, static_cast<int>(fault), s.display.c_str(),
                         s.display2.c_str());
        if (fault != Fault::None && *faultMessage(fault) == '\0')
            fail("a fault without a message", s);
        if (fault == Fault::None && key == Key::Equals)
            checkReadsBack(s.display2, s.pending, s);
        if (key == Key::MemoryRecall)
            checkReadsBack(textOf(s, s.visible), s.memory, s);
        if (key == Key::Pi)
            checkReadsBack(textOf(s, s.visible), std::numbers::pi, s);
        if (key == Key::Clear) {
            CalcState start;
            start.memory = before.memory;
            if (s != start)
                fail("C did not restore the start state", s);
        }
        // A key other than a digit or "." writes a box whole: a number, a prompt or nothing.
        if (key > Key::Dot)
            for (Box box : {Box::Display, Box::Display2})
                if (textOf(s, box) != textOf(before, box) && holdsInfOrNan(textOf(s, box)))
                    fail("a key wrote inf or nan", s);
    } else {
        std::string typed;
        bool replace = false;
        switch (op & 7) {
        case 0:
            typed = in.bytes(in.byte()); // anything, NUL bytes included
            break;
        case 1:
            typed = in.bytes(in.byte());
            replace = true;
            break;
        case 2: {
            const char c = static_cast<char>(in.byte());
            typed.assign((in.byte() + 1u) * 256u, c);
            break;
        }
        case 3:
            typed = writtenDouble(in);
            replace = op & 8;
            break;
        case 4:
            typed = beyondRange(in);
            replace = op & 8;
            break;
        case 5:
            typed = nonAsciiDigits(in);
            break;
        case 6:
            typed = edgeTexts[in.byte() % std::size(edgeTexts)];
            replace = op & 8;
            break;
        default: { // the user deletes the end of the text
            std::string& text = boxText(s, s.visible);
            text.resize(text.size() * in.byte() / 256);
            break;
        }
        }
        std::string& text = boxText(s, s.visible);
        if (replace)
            text.clear();
        if (text.size() + typed.size() <= textLimit)
            text += typed;
        if (g_trace)
            std::fprintf(stderr, "type %s\"%.60s\" (%zu bytes)\n", replace ? "over " : "",
                         typed.c_str(), typed.size());
    }

    const auto visible = static_cast<std::uint8_t>(s.visible);
    if (visible != static_cast<std::uint8_t>(Box::Display) &&
        visible != static_cast<std::uint8_t>(Box::Display2))
        fail("not exactly one box visible", s);
    if (!std::isfinite(s.pending) || !std::isfinite(s.memory))
        fail("a register is not finite", s);
    if (s.pendingOperation && static_cast<int>(*s.pendingOperation) >= tagCount)
        fail("an unknown operation is pending", s);
}

void report()
{
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - g_start).count();
    if (seconds > 0 && g_steps > 0)
        std::fprintf(stderr, "engine fuzzer: %llu steps in %.1f s, %.0f steps/s\n",
                     static_cast<unsigned long long>(g_steps), seconds, g_steps / seconds);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_start = std::chrono::steady_clock::now();
    g_trace = std::getenv("CORVALO_FUZZ_TRACE") != nullptr;
    std::atexit(report);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Reader in(data, size);
    CalcState state;
    while (!in.atEnd())
        step(state, in);
    return 0;
}
