#pragma once

#include "engine/calculator.h"

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvalo::testing {

struct Outcome {
    CalcState state;
    std::vector<Fault> faults; // every fault a key reported, in order

    const std::string& shown() const
    {
        return state.visible == Box::Display ? state.display : state.display2;
    }
};

// Presses the keys written as on the keypad, separated by blanks: "12.5 + 7 =", "2 ^ =",
// "5 M+ MRC". A token in single quotes, such as '1E400', is typed into the visible box instead.
inline Outcome pressKeys(const std::string& sequence, CalcState start = {})
{
    Outcome out{std::move(start), {}};
    auto hit = [&](Key key) {
        if (const Fault f = press(out.state, key); f != Fault::None)
            out.faults.push_back(f);
    };
    std::istringstream tokens(sequence);
    std::string token;
    while (tokens >> token) {
        if (token.size() >= 2 && token.front() == '\'' && token.back() == '\'') {
            boxText(out.state, out.state.visible) += token.substr(1, token.size() - 2);
        } else if (token == "+") {
            hit(Key::Add);
        } else if (token == "-") {
            hit(Key::Subtract);
        } else if (token == "*") {
            hit(Key::Multiply);
        } else if (token == "/") {
            hit(Key::Divide);
        } else if (token == "=") {
            hit(Key::Equals);
        } else if (token == "^") {
            hit(Key::Square);
        } else if (token == "Sqrt") {
            hit(Key::SquareRoot);
        } else if (token == "%") {
            hit(Key::Percent);
        } else if (token == "TT") {
            hit(Key::Pi);
        } else if (token == "M+") {
            hit(Key::MemoryAdd);
        } else if (token == "MC") {
            hit(Key::MemoryClear);
        } else if (token == "MRC") {
            hit(Key::MemoryRecall);
        } else if (token == "C") {
            hit(Key::Clear);
        } else {
            for (char c : token) {
                if (c == '.')
                    hit(Key::Dot);
                else if (c >= '0' && c <= '9')
                    hit(static_cast<Key>(c - '0'));
                else
                    throw std::invalid_argument("unknown key in sequence: " + token);
            }
        }
    }
    return out;
}

} // namespace corvalo::testing
