#include "number.h"

#include <charconv>
#include <cmath>
#include <limits>

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

// A double's exact decimal expansion never needs more than 767 significant digits to round
// correctly; anything past that only matters as "some non-zero digit followed".
constexpr std::size_t keptDigits = 800;
constexpr long long exponentLimit = 1'000'000'000;

// The largest double shows as 1.79769313486232E+308, a little beyond the double range. That text,
// and every number between it and the largest double, reads as the largest double, so a result
// the calculator has shown can always be used again. The number is 0.<digits> * 10^scale, with
// a non-zero digit after the kept ones when sticky.
bool withinShownMaximum(std::string_view digits, bool sticky, long long scale)
{
    constexpr std::string_view shownMaximum = "179769313486232"; // times 10^309 after "0."
    if (scale != 309)
        return false;
    while (!digits.empty() && digits.back() == '0')
        digits.remove_suffix(1);
    // Without trailing zeros, digit strings of fractions compare as their values do; the
    // sticky digit lies beyond the fifteenth place, so it only breaks a tie.
    const int order = digits.compare(shownMaximum);
    return order < 0 || (order == 0 && !sticky);
}

} // namespace

std::optional<double> parseLeadingNumber(std::string_view text)
{
    enum class Stage { Start, Integer, Fraction, ExponentStart, ExponentSign, ExponentDigits };
    Stage stage = Stage::Start;
    bool negative = false;
    bool exponentNegative = false;
    bool sticky = false;
    bool anyDigit = false;
    std::string digits;
    long long pointPosition = 0; // value = 0.<digits> * 10^(pointPosition + exponent)
    long long exponent = 0;

    auto takeDigit = [&](char c, bool fractional) {
        anyDigit = true;
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

    if (digits.empty()) // "-0" is a zero with its sign; "-" alone has no number to sign
        return negative && anyDigit ? -0.0 : 0.0;

    const long long scale = pointPosition + (exponentNegative ? -exponent : exponent);
    // 0.1E310 is already past the largest double; below 0.1E-330 even the smallest subnormal
    // rounds away.
    if (scale > 310)
        return std::nullopt;
    if (scale < -330)
        return negative ? -0.0 : 0.0;

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
    if ((error == std::errc::result_out_of_range && scale > 0) || std::isinf(value)) {
        if (!withinShownMaximum(digits, sticky, scale))
            return std::nullopt;
        value = std::numeric_limits<double>::max();
    } else if (error == std::errc::result_out_of_range) {
        value = 0;
    }
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

    // The general format with 15 significant digits is exactly the display form ("1e+15",
    // "3.33333333333333e-06", trailing zeros dropped) but for the case of the exponent letter.
    char buffer[32];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    std::string out(buffer, result.ptr);
    if (const auto e = out.find('e'); e != std::string::npos)
        out[e] = 'E';
    return out;
}

} // namespace corvalo
