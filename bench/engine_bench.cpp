#include "engine/calculator.h"
#include "engine/number.h"

#include <benchmark/benchmark.h>

#include <string>

using namespace corvalo;

static void parseShort(benchmark::State& state)
{
    const std::string text = "3.33333333333333E-06";
    for (auto _ : state)
        benchmark::DoNotOptimize(parseLeadingNumber(text));
}
BENCHMARK(parseShort);

// Typed or pasted text has no length limit; the parse must stay linear.
static void parseLong(benchmark::State& state)
{
    const std::string text = "0." + std::string(static_cast<std::size_t>(state.range(0)), '3');
    for (auto _ : state)
        benchmark::DoNotOptimize(parseLeadingNumber(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(parseLong)->RangeMultiplier(8)->Range(64, 1 << 20)->Complexity(benchmark::oN);

static void format(benchmark::State& state)
{
    double value = 1.0 / 3.0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(formatNumber(value));
        value += 1.0;
    }
}
BENCHMARK(format);

static void chainedCalculation(benchmark::State& state)
{
    const Key keys[] = {Key::Five,       Key::Add,    Key::Seven,    Key::Equals, Key::Add,
                        Key::Three,      Key::Equals, Key::Multiply, Key::Four,   Key::Equals,
                        Key::SquareRoot, Key::Equals, Key::Clear};
    CalcState calc;
    for (auto _ : state)
        for (Key key : keys)
            benchmark::DoNotOptimize(press(calc, key));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * std::size(keys)));
}
BENCHMARK(chainedCalculation);
