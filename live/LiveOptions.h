#pragma once
// The command line of korvalex-live.

#include <stdexcept>
#include <string>
#include <vector>

namespace live {

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct LiveOptions {
    std::string clientName = "Korvalex";
    std::string serverName;            // empty: the default server
    bool connect = true;               // --no-connect: connect only what is named below
    std::string input;                 // --input PORT
    std::vector<std::string> outputs;  // --output LEFT[,RIGHT]
    std::vector<std::string> midiInputs;  // --midi-input PORT[,PORT...]
    bool gui = true;
    std::string midiMap;     // --midi-map FILE
    std::string program;     // --program N|NAME
    std::string preset;      // --preset FILE.fxp
    bool inputGainGiven = false;
    double inputGainDb = 0.0;
    std::string cabinet;     // --cabinet FILE
    bool ownCabinet = false;  // --own-cabinet
    bool cabinetGainGiven = false;
    double cabinetGainDb = 0.0;
    bool verbose = false;
    bool printMidiMap = false;
    bool help = false;
    bool version = false;
};

// Throws UsageError for anything that is not a valid request.
LiveOptions parseLiveOptions(const std::vector<std::string>& args);
std::string liveUsageText();

// Exit statuses.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;      // could not start: no server, no display...
constexpr int kExitUsage = 2;
constexpr int kExitServerGone = 3;   // the JACK server went away while running (state saved)

}  // namespace live
