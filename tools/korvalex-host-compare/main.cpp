// korvalex-host-compare: the checking side of the third-party host tests.
//
//   korvalex-host-compare signal [--seconds S] LEFT.wav RIGHT.wav
//       writes the test input (a plucked 110 Hz string left, a strummed chord right) as
//       two mono 32-bit float WAV files at 44100 Hz, and prints "frames N rate 44100".
//   korvalex-host-compare compare --plugin FILE --program N --input FILE... --rendered FILE...
//           [--block N] [--max-offset N] [--tolerance X] [--host-values FILE]
//           [--write-reference PREFIX]
//       renders the input through the plug-in with our own host library (same program,
//       fixed-size blocks) and compares that with what the other host rendered.
//
// Exit status: 0 when the renders agree, 1 when they do not, 2 on a usage or file error.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tools/korvalex-host-compare/GuitarTestSignal.h"
#include "tools/korvalex-host-compare/ReferenceRender.h"
#include "tools/korvalex-host-compare/RenderComparison.h"
#include "tools/korvalex-host-compare/SoundFiles.h"

namespace {

constexpr int kExitMismatch = 1;
constexpr int kExitUsage = 2;
constexpr int kSampleRate = 44100;
// Parameter values are 32-bit floats passed through the other host's own (double) store.
constexpr double kParameterTolerance = 1e-6;
// A reference render closer than this to the dry input would not show that the plug-in ran.
constexpr double kMinimumDryDifference = 0.05;
// A reference render quieter than this (RMS) would make the comparison meaningless.
constexpr double kMinimumReferenceRms = 1e-3;

void usage()
{
    std::fprintf(stderr,
                 "usage: korvalex-host-compare signal [--seconds S] LEFT.wav RIGHT.wav\n"
                 "       korvalex-host-compare compare --plugin FILE --program N --input FILE...\n"
                 "           --rendered FILE... [--block N] [--max-offset N] [--tolerance X]\n"
                 "           [--host-values FILE] [--write-reference PREFIX]\n");
}

bool parseNumber(const std::string& text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(value);
}

bool parseInteger(const std::string& text, long& value)
{
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && end && *end == '\0';
}

int runSignal(const std::vector<std::string>& args)
{
    GuitarTestSignalShape shape;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--seconds" && i + 1 < args.size()) {
            if (!parseNumber(args[++i], shape.seconds) || shape.seconds <= shape.tailSeconds + shape.chordStart) {
                std::fprintf(stderr, "signal: --seconds must exceed %.1f\n", shape.tailSeconds + shape.chordStart);
                return kExitUsage;
            }
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2) {
        usage();
        return kExitUsage;
    }
    const StereoSignal signal = makeGuitarTestSignal(shape);
    std::string error;
    if (!writeMonoFloatWav(files[0], signal.left, kSampleRate, error) ||
        !writeMonoFloatWav(files[1], signal.right, kSampleRate, error)) {
        std::fprintf(stderr, "signal: %s\n", error.c_str());
        return kExitUsage;
    }
    // One line a script can read: "frames N rate R".
    std::printf("frames %zu rate %d\n", signal.left.size(), kSampleRate);
    return 0;
}

// Lines "index value", as the other host reported its parameters.
bool readHostValues(const std::string& path, std::map<long, double>& values, std::string& error)
{
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        long index = 0;
        double value = 0.0;
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        if (!(fields >> index >> value)) {
            error = path + ": cannot read the line \"" + line + "\"";
            return false;
        }
        values[index] = value;
    }
    return true;
}

struct CompareOptions {
    std::string plugin;
    long program = -1;
    std::vector<std::string> inputs;
    std::vector<std::string> rendered;
    long block = 1024;
    long maxOffset = 2048;
    double tolerance = 1e-4;
    std::string hostValues;
    std::string referencePrefix;
};

bool parseCompare(const std::vector<std::string>& args, CompareOptions& o)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "compare: %s needs a value\n", a.c_str());
            return false;
        }
        const std::string& v = args[++i];
        bool ok = true;
        if (a == "--plugin")
            o.plugin = v;
        else if (a == "--program")
            ok = parseInteger(v, o.program);
        else if (a == "--input")
            o.inputs.push_back(v);
        else if (a == "--rendered")
            o.rendered.push_back(v);
        else if (a == "--block")
            ok = parseInteger(v, o.block) && o.block > 0 && o.block <= 65536;
        else if (a == "--max-offset")
            ok = parseInteger(v, o.maxOffset) && o.maxOffset >= 0 && o.maxOffset <= 1 << 20;
        else if (a == "--tolerance")
            ok = parseNumber(v, o.tolerance) && o.tolerance > 0.0;
        else if (a == "--host-values")
            o.hostValues = v;
        else if (a == "--write-reference")
            o.referencePrefix = v;
        else {
            std::fprintf(stderr, "compare: unknown option %s\n", a.c_str());
            return false;
        }
        if (!ok) {
            std::fprintf(stderr, "compare: bad value for %s: %s\n", a.c_str(), v.c_str());
            return false;
        }
    }
    if (o.plugin.empty() || o.program < 0 || o.inputs.empty() || o.rendered.empty()) {
        std::fprintf(stderr, "compare: --plugin, --program, --input and --rendered are required\n");
        return false;
    }
    return true;
}

bool readStereo(const std::vector<std::string>& files, SoundData& data, const char* what)
{
    std::string error;
    for (const std::string& f : files) {
        if (!appendSoundFile(f, data, error)) {
            std::fprintf(stderr, "compare: %s\n", error.c_str());
            return false;
        }
    }
    if (data.channels.size() != 2 || data.sampleRate != kSampleRate) {
        std::fprintf(stderr, "compare: the %s must be two channels at %d Hz (got %zu at %d Hz)\n", what, kSampleRate,
                     data.channels.size(), data.sampleRate);
        return false;
    }
    return true;
}

int runCompare(const std::vector<std::string>& args)
{
    CompareOptions o;
    if (!parseCompare(args, o)) {
        usage();
        return kExitUsage;
    }
    SoundData input, rendered;
    if (!readStereo(o.inputs, input, "input") || !readStereo(o.rendered, rendered, "rendered audio"))
        return kExitUsage;
    if (input.channels[0].size() != input.channels[1].size()) {
        std::fprintf(stderr, "compare: the input channels differ in length\n");
        return kExitUsage;
    }

    std::string error, name;
    std::vector<float> programValues;
    if (!readProgram(o.plugin, static_cast<int>(o.program), programValues, name, error)) {
        std::fprintf(stderr, "compare: %s: %s\n", o.plugin.c_str(), error.c_str());
        return kExitUsage;
    }
    ReferenceSettings settings;
    settings.program = static_cast<int>(o.program);
    settings.sampleRate = static_cast<float>(kSampleRate);
    settings.blockSize = static_cast<int>(o.block);
    Channels reference;
    if (!renderReference(o.plugin, settings, input.channels[0], input.channels[1], reference, error)) {
        std::fprintf(stderr, "compare: %s: %s\n", o.plugin.c_str(), error.c_str());
        return kExitUsage;
    }
    if (!o.referencePrefix.empty() &&
        (!writeMonoFloatWav(o.referencePrefix + "-left.wav", reference[0], kSampleRate, error) ||
         !writeMonoFloatWav(o.referencePrefix + "-right.wav", reference[1], kSampleRate, error))) {
        std::fprintf(stderr, "compare: %s\n", error.c_str());
        return kExitUsage;
    }

    std::printf("program %ld \"%s\": %zu input frames, %zu rendered frames, %ld-frame blocks\n", o.program,
                name.c_str(), input.channels[0].size(), rendered.channels[0].size(), o.block);
    int failures = 0;

    if (!o.hostValues.empty()) {
        std::map<long, double> hostValues;
        if (!readHostValues(o.hostValues, hostValues, error)) {
            std::fprintf(stderr, "compare: %s\n", error.c_str());
            return kExitUsage;
        }
        int wrong = 0;
        for (std::size_t i = 0; i < programValues.size(); ++i) {
            const auto it = hostValues.find(static_cast<long>(i));
            if (it == hostValues.end()) {
                if (++wrong <= 5)
                    std::printf("  parameter %zu: the host reported no value\n", i);
            } else if (!(std::fabs(it->second - programValues[i]) <= kParameterTolerance)) {
                if (++wrong <= 5)
                    std::printf("  parameter %zu: the host holds %.9g, the program %.9g\n", i, it->second,
                                double(programValues[i]));
            }
        }
        std::printf("  host parameter values: %zu of %zu agree with the program\n", programValues.size() - wrong,
                    programValues.size());
        failures += wrong > 0;
    }

    const double dryDifference = relativeRmsError(input.channels, reference, 0);
    const double referenceRms = rms(reference);
    std::printf("  reference: rms %.6f, relative difference from the dry input %.4f\n", referenceRms, dryDifference);
    if (!(referenceRms >= kMinimumReferenceRms) || !(dryDifference >= kMinimumDryDifference)) {
        std::printf("  FAIL: the reference render is silent or dry, so the comparison would prove nothing\n");
        ++failures;
    }

    const ComparisonResult result = compareRenders(reference, rendered.channels, o.maxOffset);
    std::printf("  host render: rms %.6f, offset %ld frames (window +-%ld), correlation %.6f\n", result.renderedRms,
                result.alignment.offset, o.maxOffset, result.alignment.correlation);
    std::printf("  relative rms difference %.3g (limit %.3g)\n", result.relativeError, o.tolerance);
    if (!(result.relativeError <= o.tolerance)) {
        std::printf("  FAIL: the host render differs from the reference\n");
        ++failures;
    }
    std::printf("  %s\n", failures ? "FAIL" : "PASS");
    return failures ? kExitMismatch : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        usage();
        return kExitUsage;
    }
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "signal")
        return runSignal(args);
    if (command == "compare")
        return runCompare(args);
    usage();
    return kExitUsage;
}
