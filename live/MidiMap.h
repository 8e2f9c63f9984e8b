#pragma once
// Which MIDI Control Change drives which parameter, and how a controller's value (0..127)
// becomes the parameter's: on/off switches are on from 64 up, the Amplifier menu steps
// through its twenty positions, every other parameter follows the value over 0..1.
//
// A map file (--midi-map FILE) replaces the default map with lines "CC = parameter name"
// (the names as the panel and hosts show them, letter case ignored); '#' starts a comment.

#include <array>
#include <cstdint>
#include <string>

namespace live {

class MidiMap {
public:
    static constexpr int kControllers = 128;

    MidiMap() { parameters_.fill(-1); }

    // The map used without --midi-map (the table in the README).
    static MidiMap defaults();
    // Reads a map; false with "SOURCE:LINE: reason" for the first line that is wrong.
    static bool parse(const std::string& text, const std::string& source, MidiMap& map, std::string& error);
    static bool load(const std::string& path, MidiMap& map, std::string& error);

    // The parameter index controller `cc` drives, or -1.
    int parameterFor(int cc) const { return cc >= 0 && cc < kControllers ? parameters_[size_t(cc)] : -1; }
    void assign(int cc, int parameter) { parameters_[size_t(cc)] = static_cast<int16_t>(parameter); }

    // The normalized value of `parameter` for controller value `value` (0..127).
    static float parameterValue(int parameter, int value);

    // The map as a map file gives it, one line per controller.
    std::string text() const;

private:
    std::array<int16_t, kControllers> parameters_;
};

}  // namespace live
