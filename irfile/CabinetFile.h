#pragma once
// Reading a cabinet impulse response from a file, for the programs that hand one to the
// plug-in (korvalex-render, Korvalex Live): any file libsndfile reads, mono or stereo
// (stereo is summed to mono), at any rate (converted to the engine's 44100 Hz with
// libsoxr), checked and trimmed, ready for the plug-in's cabinet request
// (vst/KorvalexRequests.h). The plug-in itself matches the level.
//
// Leading silence is kept: it is the distance from the speaker to the microphone. Trailing
// samples below -90 dB of the peak are trimmed. Refused, each with a message that names
// the file and the reason: a file that cannot be read or is not audio, no frames, more
// than two channels, a sample that is not finite, a peak below -80 dBFS or next to
// nothing in the cabinet band (nothing to level), longer than one second after trimming.

#include <string>
#include <vector>

struct CabinetFile {
    std::vector<float> taps;  // at 44100 Hz; empty when refused
    std::string error;        // "PATH: reason" when refused
    int fileRate = 0;
    int fileChannels = 0;

    bool ok() const { return error.empty(); }
    // What was done to the file, for a note to the user: "stereo, summed to mono; 48000 Hz,
    // converted to 44100 Hz; 13230 taps (0.300 s)".
    std::string description() const;
};

constexpr int kCabinetFileRate = 44100;
constexpr double kCabinetFileMaxSeconds = 1.0;
constexpr double kCabinetFileTrimDb = -90.0;    // trailing samples below this, from the peak
constexpr double kCabinetFileMinPeakDbfs = -80.0;

CabinetFile readCabinetFile(const std::string& path);
