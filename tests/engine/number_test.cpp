#include "engine/number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using corvalo::formatNumber;
using corvalo::parseLeadingNumber;

namespace {

struct ParseRow {
    std::string text;
    std::optional<double> value; // nullopt: beyond the double range
};

void PrintTo(const ParseRow& row, std::ostream* os)
{
    *os << '"' << row.text.substr(0, 40) << '"';
}

const ParseRow parseRows[] = {
    {"", 0.0},
    {"Press Equals...", 0.0},
    {"007", 7.0},
    {"1.2.3", 1.2},
    {"12.5", 12.5},
    {"  1 2\t3\n", 123.0},
    {"\t-\n5", -5.0},
    {"+.5", 0.5},
    {"-.5e1", -5.0},
    {"1e3", 1000.0},
    {"1D3", 1000.0},
    {"1d-2", 0.01},
    {"2.5E+2x", 250.0},
    {"1E", 1.0},
    {"1E+", 1.0},
    {"--5", 0.0},
    {"-0", -0.0},
    {"-", 0.0},
    {"5-3", 5.0},
    {"12abc", 12.0},
    {".", 0.0},
    {"0.1", 0.1},
    {"3.33333333333333E-06", 3.33333333333333e-06},
    {"1,5", 1.0},
    {"9007199254740993", 9007199254740992.0},
    {"9007199254740993." + std::string(900, '0') + "1", 9007199254740994.0},
    {"1.7976931348623157E308", std::numeric_limits<double>::max()},
    {"4.9E-324", std::numeric_limits<double>::denorm_min()},
    {"1E-400", 0.0},
    {"-1E-400", -0.0},
    {"-2.4E-324", -0.0},
    {"1E-99999999999999999999", 0.0},
    {"0." + std::string(1000, '0') + "1", 0.0},
    {"1E309", std::nullopt},
    {"-1E400", std::nullopt},
    {"1.7976931348623159E308", std::numeric_limits<double>::max()},
    {"1.79769313486232E+308", std::numeric_limits<double>::max()},
    {"-1.79769313486232E+308", -std::numeric_limits<double>::max()},
    {"0.179769313486232" + std::string(900, '0') + "E309", std::numeric_limits<double>::max()},
    {"1.79769313486232" + std::string(900, '0') + "1E308", std::nullopt},
    {"1.797693134862320001E308", std::nullopt},
    {"1.79769313486233E+308", std::nullopt},
    {"-1.8E308", std::nullopt},
    {"1E99999999999999999999", std::nullopt},
    {"1" + std::string(400, '0'), std::nullopt},
    {"0." + std::string(400, '0') + "1E800", std::nullopt},
    {"0." + std::string(400, '0') + "1E500", 1e99},
};

class Parse : public ::testing::TestWithParam<ParseRow> {};

TEST_P(Parse, ReadsLeadingNumber)
{
    const auto value = parseLeadingNumber(GetParam().text);
    ASSERT_EQ(value.has_value(), GetParam().value.has_value());
    if (value) {
        EXPECT_EQ(*value, *GetParam().value);
        EXPECT_EQ(std::signbit(*value), std::signbit(*GetParam().value));
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, Parse, ::testing::ValuesIn(parseRows));

struct FormatRow {
    double value;
    const char* text;
};

void PrintTo(const FormatRow& row, std::ostream* os)
{
    *os << row.text;
}

const FormatRow formatRows[] = {
    {12, "12"},
    {-2, "-2"},
    {1.0 / 3.0, "0.333333333333333"},
    {60.5, "60.5"},
    {40000400001, "40000400001"},
    {1e15, "1E+15"},
    {999999999999999, "999999999999999"},
    {99999999999999.98, "100000000000000"},
    {-999999999999999.5, "-1E+15"},
    {9.99999999999999e-05, "9.99999999999999E-05"},
    {9.999999999999995e-05, "0.0001"},
    {0.000123456789012345678, "0.000123456789012346"},
    {1.0 / 300000.0, "3.33333333333333E-06"},
    {-0.0, "0"},
    {0.0001, "0.0001"},
    {0.00001, "1E-05"},
    {123456789012345, "123456789012345"},
    {1234567890123456, "1.23456789012346E+15"},
    {999999999999999.5, "1E+15"},
    {1e100, "1E+100"},
    {-2.5e-7, "-2.5E-07"},
    {std::numeric_limits<double>::max(), "1.79769313486232E+308"},
    {std::numeric_limits<double>::denorm_min(), "4.94065645841247E-324"},
    {0.1 + 0.2, "0.3"},
    {3.14159265358979323846, "3.14159265358979"},
};

class Format : public ::testing::TestWithParam<FormatRow> {};

TEST_P(Format, WritesDisplayText)
{
    EXPECT_EQ(formatNumber(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Numbers, Format, ::testing::ValuesIn(formatRows));

TEST(ParseLength, MegabyteTexts)
{
    const std::string thirds = "0." + std::string(1 << 20, '3');
    EXPECT_EQ(parseLeadingNumber(thirds), 1.0 / 3.0);
    const std::string huge = "1" + std::string(1 << 20, '0');
    EXPECT_FALSE(parseLeadingNumber(huge).has_value());
    const std::string blanks = std::string(1 << 20, ' ') + "42";
    EXPECT_EQ(parseLeadingNumber(blanks), 42.0);
}

} // namespace
