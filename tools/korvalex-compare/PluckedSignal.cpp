#include "tools/korvalex-compare/PluckedSignal.h"

#include <algorithm>
#include <cstdint>

namespace {

// One string: a delay line of `period` samples filled with a noise burst, recirculated
// through a two-point average scaled by `decay` (a low-pass in the loop: high partials
// die first, as on a real string).
class PluckedString {
public:
    PluckedString(std::size_t period, double decay, std::uint32_t seed) : line_(period), decay_(decay)
    {
        std::uint32_t state = seed;
        for (double& v : line_) {
            state = state * 1664525u + 1013904223u;  // linear congruential generator
            v = static_cast<double>(state >> 8) / 8388608.0 - 1.0;  // 24 bits to -1..1
        }
    }
    double next()
    {
        const std::size_t following = position_ + 1 == line_.size() ? 0 : position_ + 1;
        const double out = line_[position_];
        line_[position_] = decay_ * 0.5 * (out + line_[following]);
        position_ = following;
        return out;
    }

private:
    std::vector<double> line_;
    std::size_t position_ = 0;
    double decay_;
};

struct Note {
    double start;        // fraction of the whole signal
    std::size_t period;  // samples per cycle at 44.1 kHz
    double level;
};

}  // namespace

std::vector<float> makePluckedSignal(std::size_t frames, float peak)
{
    // A2, E2, D3, then an E major chord (E2 B2 E3 G#3), then silence.
    const Note notes[] = {{0.00, 401, 1.0},  {0.18, 535, 0.9},  {0.33, 300, 0.8},  {0.50, 535, 0.6},
                          {0.505, 357, 0.5}, {0.51, 268, 0.5}, {0.515, 212, 0.5}};
    const std::size_t end = frames - frames / 4;
    std::vector<double> mix(frames, 0.0);
    std::uint32_t seed = 12345u;
    for (const Note& note : notes) {
        PluckedString string(note.period, 0.998, seed);
        seed = seed * 69069u + 1u;
        const auto first = static_cast<std::size_t>(note.start * static_cast<double>(frames));
        for (std::size_t i = first; i < end; ++i)
            mix[i] += note.level * string.next();
    }
    double largest = 0.0;
    for (double v : mix)
        largest = std::max(largest, v < 0.0 ? -v : v);
    const double scale = largest > 0.0 ? static_cast<double>(peak) / largest : 0.0;
    std::vector<float> out(frames);
    for (std::size_t i = 0; i < frames; ++i)
        out[i] = static_cast<float>(mix[i] * scale);
    return out;
}
