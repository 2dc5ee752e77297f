#pragma once

#include "engine/calculator.h"
#include "windows/keypad.h"

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

// Presses the keys written as their buttons read, separated by blanks: "12.5 + 7 =", "2 ^ =",
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
        } else if (const std::optional<Key> key = keyWithCaption(token)) {
            hit(*key);
        } else {
            // A number is typed key by key: "12.5".
            for (char c : token) {
                const std::optional<Key> key = keyWithCaption(std::string_view(&c, 1));
                if (!key)
                    throw std::invalid_argument("unknown key in sequence: " + token);
                hit(*key);
            }
        }
    }
    return out;
}

} // namespace corvalo::testing
