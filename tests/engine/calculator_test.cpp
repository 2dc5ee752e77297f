#include "keysequence.h"

#include "engine/number.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

using namespace corvalo;
using corvalo::testing::pressKeys;

namespace {

struct Row {
    const char* keys;
    const char* display; // text of the visible box afterwards
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << '"' << row.keys << '"';
}

class Sequence : public ::testing::TestWithParam<Row> {};

TEST_P(Sequence, ShowsExpectedDisplay)
{
    const auto out = pressKeys(GetParam().keys);
    EXPECT_EQ(out.shown(), GetParam().display);
    EXPECT_TRUE(out.faults.empty());
}

// Number entry and clear.
INSTANTIATE_TEST_SUITE_P(Entry, Sequence,
                         ::testing::Values(Row{"12.5", "12.5"}, Row{"1.2.3", "1.2.3"},
                                           Row{"1.2.3 + 1 =", "2.2"}, Row{"007 + 1 =", "8"},
                                           Row{"5 + 7 = 9", "129"}, Row{"5 + 7 = 3 =", "12"},
                                           Row{"5 + 7 = C", ""}, Row{"5 + 7 = C 2 + 2 =", "4"}));

// Operations completed by "=": first and chained.
INSTANTIATE_TEST_SUITE_P(
    Operations, Sequence,
    ::testing::Values(Row{"5 + 7 =", "12"}, Row{"5 + 7 = + 3 =", "15"},
                      Row{"5 + 7 = + 3 = + 4 =", "19"}, Row{"5 + 7 = - 3 =", "9"},
                      Row{"5 + 7 = * 3 =", "36"}, Row{"5 + 7 = / 4 =", "3"}, Row{"9 - 4 =", "5"},
                      Row{"3 - 5 =", "-2"}, Row{"12 / 4 =", "3"},
                      Row{"1 / 300000 =", "3.33333333333333E-06"}, Row{"5 + - 7 =", "-2"},
                      Row{"5 =", "5"}, Row{"5 + 7 = 8 + 1 =", "1286"},
                      Row{"1 / 3 =", "0.333333333333333"},
                      Row{"1 / 3 = * 3 =", "0.999999999999999"}, Row{"1000 * 2 =", "2000"},
                      Row{"99999999 * 99999999 =", "9.9999998E+15"}));

// Large operands, where neighbouring tags round to the same double: "=" still performs the
// operation that was keyed.
INSTANTIATE_TEST_SUITE_P(
    LargeOperands, Sequence,
    ::testing::Values(Row{"70000 * 2 =", "140000"}, Row{"1000000 / 4 =", "250000"},
                      Row{"1000000 - 1 =", "999999"}, Row{"100000 + 1 = + 2 =", "100003"},
                      Row{"200000 + 1 = + 2 =", "200003"}, Row{"1000000 Sqrt =", "1000"},
                      Row{"2000000 ^ =", "4000000000000"}, Row{"3000000 % 50 =", "1500000"},
                      Row{"5000000 + 1 = - 2 = * 3 = / 4 =", "3749999.25"}));

// Square, square root, percent, pi.
INSTANTIATE_TEST_SUITE_P(Functions, Sequence,
                         ::testing::Values(Row{"2 ^", "Press Equals..."}, Row{"2 ^ =", "4"},
                                           Row{"2 ^ ^ =", "0"}, Row{"16 Sqrt =", "4"},
                                           Row{"5 + 11 = Sqrt =", "4"}, Row{"5 + 7 = ^ =", "144"},
                                           Row{"200 % 15 =", "30"}, Row{"5 + 7 = % 10 =", "60.5"},
                                           Row{"TT", "3.14159265358979"},
                                           Row{"TT * 2 =", "6.28318530717958"},
                                           Row{"5 TT", "3.14159265358979"}));

// Memory.
INSTANTIATE_TEST_SUITE_P(Memory, Sequence,
                         ::testing::Values(Row{"MRC", "0"}, Row{"5 M+ MRC", "5"},
                                           Row{"5 M+ 7 M+ MRC", "62"}, Row{"5 M+ C 3 M+ MRC", "8"},
                                           Row{"5 M+ MC MRC", "0"}, Row{"5 + 7 = M+ MRC", "12"},
                                           Row{"5 M+ + MRC =", "10"}));

// A result next to the largest double shows as 1.79769313486232E+308, just beyond the double
// range; that text reads back as the largest double, directly and through the memory.
INSTANTIATE_TEST_SUITE_P(
    LargestShown, Sequence,
    ::testing::Values(Row{"'8.988465674311579e307' * 2 =", "1.79769313486232E+308"},
                      Row{"'8.988465674311579e307' * 2 = / 2 =", "8.98846567431158E+307"},
                      Row{"'-8.988465674311579e307' * 2 = M+ C MRC / 2 =",
                          "-8.98846567431158E+307"},
                      Row{"'-8.988465674311579e307' * 2 = M+ C MRC", "-1.79769313486232E+308"}));

TEST(Calculator, FirstOperationLeavesResultInSecondBox)
{
    const auto out = pressKeys("5 + 7 =");
    EXPECT_EQ(out.state.visible, Box::Display2);
    EXPECT_EQ(out.state.display, "5");
    EXPECT_EQ(out.state.display2, "12");
    EXPECT_FALSE(out.state.equalsEnabled);
    EXPECT_EQ(out.state.pending, 12.0);
    EXPECT_FALSE(out.state.pendingOperation);
}

TEST(Calculator, ChainedOperationWritesBothBoxes)
{
    const auto out = pressKeys("5 + 7 = + 3 =");
    EXPECT_EQ(out.state.visible, Box::Display);
    EXPECT_EQ(out.state.display, "15");
    EXPECT_EQ(out.state.display2, "15");
}

TEST(Calculator, EqualsWithNothingPendingShowsRegisterInHiddenBox)
{
    const auto out = pressKeys("5 =");
    EXPECT_EQ(out.state.visible, Box::Display);
    EXPECT_EQ(out.state.display2, "0");
    EXPECT_FALSE(out.state.equalsEnabled);
}

TEST(Calculator, DotDoesNotEnableEquals)
{
    EXPECT_FALSE(pressKeys("5 + 7 = +").state.equalsEnabled);
    EXPECT_FALSE(pressKeys("5 + 7 = + .").state.equalsEnabled);
    EXPECT_TRUE(pressKeys("5 + 7 = + . 5").state.equalsEnabled);
}

TEST(Calculator, KeysThatEnableEquals)
{
    for (const char* keys :
         {"5 + 7 = 9", "5 + 7 = TT", "5 + 7 = MRC", "5 + 7 = ^", "5 + 7 = Sqrt", "5 + 7 = C"})
        EXPECT_TRUE(pressKeys(keys).state.equalsEnabled) << keys;
    for (const char* keys : {"5 + 7 = %", "5 + 7 = M+", "5 + 7 = MC", "5 + 7 = -"})
        EXPECT_FALSE(pressKeys(keys).state.equalsEnabled) << keys;
}

TEST(Calculator, ClearRestoresStartExceptMemory)
{
    auto out = pressKeys("4 M+ 5 + 7 = * 2 C");
    EXPECT_EQ(out.state.memory, 4.0);
    out.state.memory = 0;
    EXPECT_EQ(out.state, CalcState{});
}

// An operation key stores operand plus tag, bit for bit.
TEST(Calculator, PendingRegisterHoldsTaggedOperand)
{
    struct Case {
        const char* keys;
        std::uint64_t bits;
        Tag tag;
    };
    const Case cases[] = {
        {"5 +", 0x402D9FA1B66297F0, Tag::AddFirst},
        {"0 /", 0x40239FA1B66281F2, Tag::DivideFirst},
        {"0 *", 0x40239FA1B662ADED, Tag::MultiplyFirst},
        {"0 -", 0x40239FA1B662C3EB, Tag::SubtractFirst},
        {"0 ^", 0x40239FA1B662D9E8, Tag::SquareFirst},
        {"0 Sqrt", 0x40239FA1B662EFE6, Tag::RootFirst},
        {"0 %", 0x40239FA1B66305E3, Tag::Percent},
        {"0 + 0 = /", 0x40239FA1B6631BE1, Tag::DivideChain},
        {"0 + 0 = +", 0x40239FA1B66331DE, Tag::AddChain},
        {"0 + 0 = *", 0x40239FA1B66347DC, Tag::MultiplyChain},
        {"0 + 0 = ^", 0x40239FA1B6635DD9, Tag::SquareSecond},
        {"0 + 0 = Sqrt", 0x40239FA1B66373D7, Tag::RootSecond},
        {"0 + 0 = -", 0x40239FA1B66389D4, Tag::SubtractChain},
    };
    for (const Case& c : cases) {
        const auto out = pressKeys(c.keys);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(out.state.pending), c.bits) << c.keys;
        EXPECT_EQ(out.state.pendingOperation, c.tag) << c.keys;
    }
}

struct FaultRow {
    const char* keys;
    Fault fault;
    const char* display; // visible text when the fault is reported
    bool equalsEnabled;
};

void PrintTo(const FaultRow& row, std::ostream* os)
{
    *os << '"' << row.keys << '"';
}

class Faults : public ::testing::TestWithParam<FaultRow> {};

TEST_P(Faults, StopTheKeyAndKeepRegistersFinite)
{
    const FaultRow& row = GetParam();
    const auto out = pressKeys(row.keys);
    ASSERT_EQ(out.faults.size(), 1u);
    EXPECT_EQ(out.faults.front(), row.fault);
    EXPECT_STRNE(faultMessage(row.fault), "");
    EXPECT_EQ(out.shown(), row.display);
    EXPECT_EQ(out.state.equalsEnabled, row.equalsEnabled);
    EXPECT_TRUE(std::isfinite(out.state.pending));
    EXPECT_TRUE(std::isfinite(out.state.memory));
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, Faults,
    ::testing::Values(FaultRow{"12 / 0 =", Fault::DivideByZero, "0", true},
                      FaultRow{"0 / 0 =", Fault::ZeroDividedByZero, "0", true},
                      FaultRow{"5 + 7 = / 0 =", Fault::DivideByZero, "0", true},
                      FaultRow{"3 - 5 = Sqrt =", Fault::NegativeSquareRoot, "-2", true},
                      FaultRow{"'-4' Sqrt =", Fault::NegativeSquareRoot, "-4", true},
                      FaultRow{"'1E200' * '1E200' =", Fault::Overflow, "1E200", true},
                      FaultRow{"'1E200' ^ =", Fault::Overflow, "Press Equals...", true},
                      FaultRow{"'1E308' M+ M+", Fault::Overflow, "1E308", true},
                      FaultRow{"'1E400' +", Fault::NumberTooLarge, "", true},
                      FaultRow{"5 + '1E999' =", Fault::NumberTooLarge, "1E999", true},
                      FaultRow{"'9E999' M+", Fault::NumberTooLarge, "9E999", true},
                      FaultRow{"'-1.79769313486233E+308' M+", Fault::NumberTooLarge,
                               "-1.79769313486233E+308", true}));

TEST(FaultRecovery, DivisionStaysPendingAfterDivideByZero)
{
    auto out = pressKeys("12 / 0 =");
    const double before = pressKeys("12 / 0").state.pending;
    EXPECT_EQ(std::bit_cast<std::uint64_t>(out.state.pending),
              std::bit_cast<std::uint64_t>(before));
    out = pressKeys("5 =", out.state);
    EXPECT_TRUE(out.faults.empty());
    EXPECT_EQ(out.shown(), "2.4");
    out = pressKeys("C", out.state);
    EXPECT_EQ(out.state.display, "");
    EXPECT_EQ(out.state.visible, Box::Display);
}

TEST(FaultRecovery, MemoryKeepsItsValueOnOverflow)
{
    const auto out = pressKeys("'1E308' M+ M+");
    EXPECT_EQ(out.state.memory, 1e308);
    EXPECT_EQ(pressKeys("MRC", out.state).shown(), "1E+308");
}

TEST(FaultRecovery, SquareRootOfNegativeKeepsTaggedRegister)
{
    const auto before = pressKeys("3 - 5 = Sqrt");
    const auto after = pressKeys("=", before.state);
    EXPECT_EQ(after.state.pending, before.state.pending);
    EXPECT_EQ(after.state.pendingOperation, Tag::RootSecond);
}

// Whatever the keys, the registers hold finite numbers and no box shows an infinity or NaN.
TEST(Calculator, RandomKeySequencesKeepRegistersFinite)
{
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(Key::MemoryRecall));
    for (int run = 0; run < 2000; ++run) {
        CalcState state;
        for (int i = 0; i < 40; ++i) {
            press(state, static_cast<Key>(pick(random)));
            ASSERT_TRUE(std::isfinite(state.pending));
            ASSERT_TRUE(std::isfinite(state.memory));
            for (const std::string* text : {&state.display, &state.display2}) {
                ASSERT_EQ(text->find("Infinity"), std::string::npos);
                ASSERT_EQ(text->find("NaN"), std::string::npos);
            }
        }
    }
}

} // namespace
