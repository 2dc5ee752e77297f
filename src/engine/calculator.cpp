#include "calculator.h"

#include "number.h"

#include <cmath>
#include <numbers>

namespace corvalo {

namespace {

constexpr const char* squarePrompt = "Press Equals...";

Fault resultFault(double result)
{
    if (std::isnan(result))
        return Fault::ZeroDividedByZero;
    if (std::isinf(result))
        return Fault::Overflow;
    return Fault::None;
}

Fault quotientFault(double dividend, double divisor, double quotient)
{
    if (divisor == 0)
        return dividend == 0 ? Fault::ZeroDividedByZero : Fault::DivideByZero;
    return resultFault(quotient);
}

class Keypad {
public:
    explicit Keypad(CalcState& state) : m_s(state) {}

    Fault press(Key key)
    {
        switch (key) {
        case Key::Zero:
        case Key::One:
        case Key::Two:
        case Key::Three:
        case Key::Four:
        case Key::Five:
        case Key::Six:
        case Key::Seven:
        case Key::Eight:
        case Key::Nine:
            if (boxText(m_s, m_s.visible).size() >= displayCapacity)
                return Fault::DisplayFull;
            boxText(m_s, m_s.visible) += static_cast<char>('0' + static_cast<int>(key));
            m_s.equalsEnabled = true;
            return Fault::None;
        case Key::Dot:
            if (boxText(m_s, m_s.visible).size() >= displayCapacity)
                return Fault::DisplayFull;
            boxText(m_s, m_s.visible) += '.';
            return Fault::None;
        case Key::Clear:
            clear();
            return Fault::None;
        case Key::Add:
            return operation(Tag::AddFirst, Tag::AddChain);
        case Key::Subtract:
            return operation(Tag::SubtractFirst, Tag::SubtractChain);
        case Key::Multiply:
            return operation(Tag::MultiplyFirst, Tag::MultiplyChain);
        case Key::Divide:
            return operation(Tag::DivideFirst, Tag::DivideChain);
        case Key::Equals:
            return equals();
        case Key::Square:
            m_s.equalsEnabled = true;
            if (m_s.visible == Box::Display) {
                m_s.visible = Box::Display2;
                m_s.display2 = squarePrompt;
                return storePending(Box::Display, Tag::SquareFirst);
            }
            return storePending(Box::Display2, Tag::SquareSecond);
        case Key::SquareRoot:
            m_s.equalsEnabled = true;
            return m_s.visible == Box::Display ? storePending(Box::Display, Tag::RootFirst)
                                               : storePending(Box::Display2, Tag::RootSecond);
        case Key::Percent:
            m_s.visible = Box::Display2;
            return storePending(Box::Display, Tag::Percent);
        case Key::Pi:
            boxText(m_s, m_s.visible) = formatNumber(std::numbers::pi);
            m_s.equalsEnabled = true;
            return Fault::None;
        case Key::MemoryAdd:
            return memoryAdd();
        case Key::MemoryClear:
            m_s.memory = 0;
            return Fault::None;
        case Key::MemoryRecall:
            boxText(m_s, m_s.visible) = formatNumber(m_s.memory);
            m_s.equalsEnabled = true;
            return Fault::None;
        }
        return Fault::None;
    }

private:
    void clear()
    {
        m_s.visible = Box::Display;
        m_s.equalsEnabled = true;
        m_s.pending = 0;
        m_s.pendingOperation.reset();
        m_s.display.clear();
        m_s.display2.clear();
    }

    Fault value(Box box, double& out) const
    {
        const auto parsed = parseLeadingNumber(box == Box::Display ? m_s.display : m_s.display2);
        if (!parsed)
            return Fault::NumberTooLarge;
        out = *parsed;
        return Fault::None;
    }

    Fault storePending(Box box, Tag tag)
    {
        double operand = 0;
        if (const Fault f = value(box, operand); f != Fault::None)
            return f;
        const double sum = operand + tagValue(tag);
        if (const Fault f = resultFault(sum); f != Fault::None)
            return f;
        m_s.pending = sum;
        m_s.pendingOperation = tag;
        return Fault::None;
    }

    // With "=" enabled this is a first operation on the first box; after "=" it chains onto
    // the result shown in the second box.
    Fault operation(Tag first, Tag chain)
    {
        if (m_s.equalsEnabled) {
            m_s.visible = Box::Display2;
            return storePending(Box::Display, first);
        }
        m_s.display.clear();
        m_s.visible = Box::Display;
        return storePending(Box::Display2, chain);
    }

    Fault memoryAdd()
    {
        double shown = 0;
        if (const Fault f = value(m_s.visible, shown); f != Fault::None)
            return f;
        const double sum = shown + m_s.memory;
        if (const Fault f = resultFault(sum); f != Fault::None)
            return f;
        m_s.memory = sum;
        return Fault::None;
    }

    Fault equals()
    {
        if (m_s.pendingOperation) {
            if (const Fault f = perform(*m_s.pendingOperation); f != Fault::None)
                return f;
        }
        m_s.display2 = formatNumber(m_s.pending);
        m_s.equalsEnabled = false;
        m_s.pendingOperation.reset();
        return Fault::None;
    }

    // One operation of "=", reading the boxes as they stand now. Nothing is written unless the
    // result is a finite number.
    Fault perform(Tag tag)
    {
        double t = 0;
        double s = 0;
        auto read = [&](bool needT, bool needS) {
            Fault f = needT ? value(Box::Display, t) : Fault::None;
            if (f == Fault::None && needS)
                f = value(Box::Display2, s);
            return f;
        };
        const bool needsT = tag != Tag::RootSecond && tag != Tag::SquareSecond;
        const bool needsS = tag != Tag::SquareFirst && tag != Tag::RootFirst;
        if (const Fault f = read(needsT, needsS); f != Fault::None)
            return f;

        double result = 0;
        Fault fault = Fault::None;
        switch (tag) {
        case Tag::AddFirst:
        case Tag::AddChain:
            result = t + s;
            break;
        case Tag::DivideFirst:
            result = t / s;
            fault = quotientFault(t, s, result);
            break;
        case Tag::DivideChain:
            result = s / t;
            fault = quotientFault(s, t, result);
            break;
        case Tag::MultiplyFirst:
        case Tag::MultiplyChain:
            result = t * s;
            break;
        case Tag::SubtractFirst:
            result = t - s;
            break;
        case Tag::SubtractChain:
            result = s - t;
            break;
        case Tag::SquareFirst:
            result = t * t;
            break;
        case Tag::SquareSecond:
            result = s * s;
            break;
        case Tag::RootFirst:
        case Tag::RootSecond: {
            const double radicand = tag == Tag::RootFirst ? t : s;
            if (radicand < 0)
                return Fault::NegativeSquareRoot;
            result = std::sqrt(radicand);
            break;
        }
        case Tag::Percent:
            result = t * (s / 100);
            break;
        }
        if (fault == Fault::None)
            fault = resultFault(result);
        if (fault != Fault::None)
            return fault;

        m_s.pending = result;
        switch (tag) {
        case Tag::SubtractChain:
        case Tag::MultiplyChain:
        case Tag::DivideChain:
        case Tag::AddChain:
            m_s.display = formatNumber(result);
            break;
        case Tag::RootFirst:
            m_s.visible = Box::Display2;
            break;
        case Tag::RootSecond:
        case Tag::SquareSecond:
            m_s.visible = Box::Display2;
            m_s.display2 = formatNumber(result);
            break;
        default:
            break;
        }
        return Fault::None;
    }

    CalcState& m_s;
};

} // namespace

Fault press(CalcState& state, Key key)
{
    return Keypad(state).press(key);
}

const char* faultMessage(Fault fault)
{
    switch (fault) {
    case Fault::None:
        return "";
    case Fault::DivideByZero:
        return "Cannot divide by zero.";
    case Fault::ZeroDividedByZero:
        return "Cannot divide zero by zero: the result is undefined.";
    case Fault::Overflow:
        return "The result is too large.";
    case Fault::NegativeSquareRoot:
        return "Cannot take the square root of a negative number.";
    case Fault::NumberTooLarge:
        return "The number in the display is too large.";
    case Fault::DisplayFull:
        return "The display holds at most 32767 characters.";
    }
    return "";
}

} // namespace corvalo
