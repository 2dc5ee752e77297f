#include "typing.h"

namespace corvalo {

std::optional<Key> typedKey(char32_t typed, TypingPlace place)
{
    switch (typed) {
    case U'+':
        return place.afterExponent ? std::nullopt : std::optional(Key::Add);
    case U'-':
        return place.afterExponent || place.numberStarts ? std::nullopt
                                                         : std::optional(Key::Subtract);
    case U'*':
        return Key::Multiply;
    case U'/':
        return Key::Divide;
    case U'=':
        return Key::Equals;
    default:
        return std::nullopt;
    }
}

} // namespace corvalo
