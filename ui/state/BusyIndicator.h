#pragma once
// The ten squares that walk while a conversion runs. The step is the window's own
// counter: it is never reset, so each run's indicator goes on where the last stopped.

#include <QtGlobal>

#include <array>

namespace busy {

constexpr int kSquareCount = 10;
struct Colour {
    int red, green, blue;
    friend bool operator==(const Colour&, const Colour&) = default;
};
constexpr Colour kPlain{249, 117, 125};
constexpr Colour kHighlight{236, 39, 50};

// One timer tick: every square plain, square `step` highlighted, then `step` moves on
// (9 wraps to 0).
inline std::array<Colour, kSquareCount> tick(qint16& step)
{
    std::array<Colour, kSquareCount> colours;
    colours.fill(kPlain);
    if (step >= 0 && step < kSquareCount)
        colours[static_cast<std::size_t>(step)] = kHighlight;
    step = static_cast<qint16>(step + 1 >= kSquareCount ? 0 : step + 1);
    return colours;
}

}  // namespace busy
