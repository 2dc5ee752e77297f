#include "number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace corvalo {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isExponentLetter(char c)
{
    return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

// A double's exact decimal expansion never needs more than 767 significant digits to round
// correctly; anything past that only matters as "some non-zero digit followed".
constexpr std::size_t keptDigits = 800;
constexpr long long exponentLimit = 1'000'000'000;

} // namespace

std::optional<double> parseLeadingNumber(std::string_view text)
{
    enum class Stage { Start, Integer, Fraction, ExponentStart, ExponentSign, ExponentDigits };
    Stage stage = Stage::Start;
    bool negative = false;
    bool exponentNegative = false;
    bool sticky = false;
    std::string digits;
    long long pointPosition = 0; // value = 0.<digits> * 10^(pointPosition + exponent)
    long long exponent = 0;

    auto takeDigit = [&](char c, bool fractional) {
        if (digits.empty() && c == '0') {
            if (fractional)
                --pointPosition;
            return;
        }
        if (digits.size() < keptDigits)
            digits.push_back(c);
        else if (c != '0')
            sticky = true;
        if (!fractional)
            ++pointPosition;
    };

    for (char c : text) {
        if (isBlank(c))
            continue;
        bool goOn = true;
        switch (stage) {
        case Stage::Start:
            if (c == '+' || c == '-') {
                negative = c == '-';
                stage = Stage::Integer;
                break;
            }
            [[fallthrough]];
        case Stage::Integer:
            if (isDigit(c)) {
                takeDigit(c, false);
                stage = Stage::Integer;
            } else if (c == '.') {
                stage = Stage::Fraction;
            } else if (isExponentLetter(c)) {
                stage = Stage::ExponentStart;
            } else {
                goOn = false;
            }
            break;
        case Stage::Fraction:
            if (isDigit(c))
                takeDigit(c, true);
            else if (isExponentLetter(c))
                stage = Stage::ExponentStart;
            else
                goOn = false;
            break;
        case Stage::ExponentStart:
            if (c == '+' || c == '-') {
                exponentNegative = c == '-';
                stage = Stage::ExponentSign;
                break;
            }
            [[fallthrough]];
        case Stage::ExponentSign:
        case Stage::ExponentDigits:
            if (isDigit(c)) {
                exponent = std::min(exponent * 10 + (c - '0'), exponentLimit);
                stage = Stage::ExponentDigits;
            } else {
                goOn = false;
            }
            break;
        }
        if (!goOn)
            break;
    }

    if (digits.empty())
        return 0.0;

    const long long scale = pointPosition + (exponentNegative ? -exponent : exponent);
    // 0.1E310 is already past the largest double; below 0.1E-330 even the smallest subnormal
    // rounds away.
    if (scale > 310)
        return std::nullopt;
    if (scale < -330)
        return 0.0;

    std::string literal;
    literal.reserve(digits.size() + 16);
    literal += "0.";
    literal += digits;
    if (sticky)
        literal += '1';
    literal += 'e';
    literal += std::to_string(scale);

    double value = 0;
    const auto [end, error] =
        std::from_chars(literal.data(), literal.data() + literal.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        if (scale > 0)
            return std::nullopt;
        value = 0;
    }
    if (std::isinf(value))
        return std::nullopt;
    return negative ? -value : value;
}

std::string formatNumber(double value)
{
    if (value == 0)
        return "0"; // also negative zero
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value < 0 ? "-Infinity" : "Infinity";

    // Fifteen significant digits, correctly rounded: d.dddddddddddddde±x
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));

    std::string out;
    if (scientific.front() == '-') {
        out += '-';
        scientific.remove_prefix(1);
    }
    const auto e = scientific.find('e');
    std::string mantissa;
    for (char c : scientific.substr(0, e))
        if (c != '.')
            mantissa += c;
    const int exponent = std::atoi(std::string(scientific.substr(e + 1)).c_str());
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();

    if (exponent >= -4 && exponent <= 14) {
        if (exponent < 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += mantissa;
        } else {
            const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
            if (mantissa.size() <= integerDigits) {
                out += mantissa;
                out.append(integerDigits - mantissa.size(), '0');
            } else {
                out += mantissa.substr(0, integerDigits);
                out += '.';
                out += mantissa.substr(integerDigits);
            }
        }
        return out;
    }

    out += mantissa.front();
    if (mantissa.size() > 1) {
        out += '.';
        out += mantissa.substr(1);
    }
    out += 'E';
    out += exponent < 0 ? '-' : '+';
    const int magnitude = std::abs(exponent);
    if (magnitude < 10)
        out += '0';
    out += std::to_string(magnitude);
    return out;
}

} // namespace corvalo
