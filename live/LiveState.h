#pragma once
// What Korvalex Live keeps from one session to the next: the program and every parameter
// value, the input gain, the cabinet, the port connections and the window's position. A small text
// file of "key = value" lines, written whole at the end of a session.

#include <map>
#include <string>
#include <vector>

namespace live {

struct LiveState {
    int program = -1;            // the plug-in's current program; -1: nothing saved
    std::string programName;
    std::vector<float> values;   // every parameter by index; empty: nothing saved
    std::string preset;          // the user preset the sound was loaded from, or empty
    double inputGainDb = 0.0;
    std::string cabinet;         // the impulse-response file played, or empty: the program's own
    double cabinetGainDb = 0.0;
    std::map<std::string, std::vector<std::string>> connections;  // our port's name: the ports it was connected to
    bool hasWindowPosition = false;
    int windowX = 0;
    int windowY = 0;
};

constexpr double kMaxInputGainDb = 40.0;
constexpr double kMaxCabinetGainDb = 40.0;

std::string formatState(const LiveState& state);
// False, with the line and the reason, for text that is not a state file of this format.
bool parseState(const std::string& text, LiveState& state, std::string& reason);

class StateFile {
public:
    explicit StateFile(std::string path) : path_(std::move(path)) {}

    const std::string& path() const { return path_; }

    // The saved state. No file: the defaults, silently. A file that cannot be read or is
    // damaged: the defaults, with `report` saying so; the file is moved aside (kept, never
    // overwritten), or, when that fails, saving is switched off for this session.
    LiveState load(std::string& report);
    // Writes the state whole (a temporary file renamed over the old one).
    bool save(const LiveState& state, std::string& error);

private:
    std::string moveAside();

    std::string path_;
    bool writable_ = true;
};

}  // namespace live
