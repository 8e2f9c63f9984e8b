#pragma once
// The command line of korvalex-render.

#include <string>
#include <vector>

// One --set NAME=VALUE request, with the value already checked to lie in 0..1.
struct ParameterRequest {
    std::string name;
    float value = 0.0f;
};

struct Options {
    std::vector<std::string> inputs;  // files to render
    std::string output;               // the output file of a single render
    std::string outputDir;            // -o: a folder that receives one output per input
    bool demo = false;                // render the built-in riff instead of an input file

    std::string pluginPath;  // empty: korvalex.so beside the executable
    std::string program;     // number or name; empty keeps the plug-in's current program
    std::string presetPath;  // a program file (.fxp) applied after the program
    std::vector<ParameterRequest> settings;

    bool autoTail = true;     // --tail auto: until the output has gone quiet (Render.h)
    double tailSeconds = 0.0;  // the fixed tail of --tail SECONDS
    double inputGainDb = 0.0;  // --input-gain: applied to the input before the plug-in
    std::string cabinetPath;   // --cabinet: an impulse response in place of the program's cabinet
    double cabinetGainDb = 0.0;
    bool cabinetGainGiven = false;
    bool align = true;
    int outputRate = 0;         // 0: the input's rate
    bool floatOutput = false;   // 32-bit float instead of 24-bit integer samples
    std::string outputFormat;   // "wav", "flac" or "aiff" for -o; empty: from the input's name
    int jobs = 0;               // 0: one worker per processor
    bool force = false;
    bool quiet = false;
    bool bench = false;

    bool listPrograms = false;
    bool listParameters = false;
    bool help = false;
    bool version = false;

    bool listing() const { return listPrograms || listParameters; }
};

// Reads the arguments (without the program name). Throws UsageError for anything that
// does not form a valid request.
Options parseOptions(const std::vector<std::string>& args);

// The text that --help prints.
std::string usageText();

// Case-insensitive extension check helpers shared by the option checks and the writer:
// the lower-case extension of `path` without its dot ("" when there is none).
std::string lowerExtension(const std::string& path);
