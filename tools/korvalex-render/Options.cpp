#include "tools/korvalex-render/Options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "tools/korvalex-render/Errors.h"
#include "vst/KorvalexRequests.h"

namespace {

constexpr double kMaxTailSeconds = 3600.0;
constexpr double kMaxInputGainDb = 60.0;
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 384000;
constexpr int kMaxJobs = 256;

double parseNumber(const std::string& option, const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    if (text.empty() || end != begin + text.size() || errno == ERANGE || !std::isfinite(value))
        throw UsageError(option + ": '" + text + "' is not a number");
    return value;
}

int parseInteger(const std::string& option, const std::string& text, int low, int high)
{
    const double value = parseNumber(option, text);
    if (value != std::floor(value) || value < low || value > high)
        throw UsageError(option + ": '" + text + "' must be a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high));
    return static_cast<int>(value);
}

ParameterRequest parseSetting(const std::string& text)
{
    const std::size_t equals = text.rfind('=');
    if (equals == std::string::npos || equals == 0)
        throw UsageError("--set: '" + text + "' is not NAME=VALUE");
    ParameterRequest request;
    request.name = text.substr(0, equals);
    const std::string valueText = text.substr(equals + 1);
    const double value = parseNumber("--set " + request.name, valueText);
    if (value < 0.0 || value > 1.0)
        throw UsageError("--set " + request.name + ": " + valueText +
                         " lies outside 0..1 (parameters take normalized values)");
    request.value = static_cast<float>(value);
    return request;
}

std::string normalizedFormat(const std::string& text)
{
    std::string format = text;
    std::transform(format.begin(), format.end(), format.begin(), [](unsigned char c) { return std::tolower(c); });
    if (format == "aif")
        format = "aiff";
    if (format != "wav" && format != "flac" && format != "aiff")
        throw UsageError("--format: '" + text + "' is not one of wav, flac, aiff");
    return format;
}

// Steps through the arguments, handing out option values in both "--opt VALUE" and
// "--opt=VALUE" spellings.
class ArgumentReader {
public:
    explicit ArgumentReader(const std::vector<std::string>& args) : args_(args) {}

    bool done() const { return position_ >= args_.size(); }
    const std::string& next() { return args_[position_++]; }

    // The value of option `name` whose argument was `arg` (possibly "--name=value").
    std::string value(const std::string& arg, const std::string& name)
    {
        const std::size_t equals = arg.find('=');
        if (arg.compare(0, 2, "--") == 0 && equals != std::string::npos)
            return arg.substr(equals + 1);
        if (done())
            throw UsageError("option " + name + " needs a value");
        return next();
    }

private:
    const std::vector<std::string>& args_;
    std::size_t position_ = 0;
};

// The option name part of an argument: "--tail=3" gives "--tail".
std::string optionName(const std::string& arg)
{
    if (arg.compare(0, 2, "--") != 0)
        return arg;
    return arg.substr(0, arg.find('='));
}

void checkCombination(Options& options, const std::vector<std::string>& positional)
{
    if (options.help || options.version)
        return;
    if (options.cabinetGainGiven && options.cabinetPath.empty())
        throw UsageError("--cabinet-gain applies to the impulse response of --cabinet FILE");
    if (options.listing()) {
        if (!positional.empty() || options.demo || !options.outputDir.empty())
            throw UsageError("--list-programs and --list-parameters render nothing; give them without files");
        return;
    }
    if (options.floatOutput && options.outputFormat == "flac")
        throw UsageError("--float: FLAC holds integer samples only; choose wav or aiff");
    if (options.demo) {
        if (!options.outputDir.empty()) {
            if (!positional.empty())
                throw UsageError("--demo with -o DIR takes no file names");
            return;
        }
        if (positional.size() != 1)
            throw UsageError(positional.empty() ? "--demo needs an OUTPUT file" : "--demo takes one OUTPUT file only");
        options.output = positional[0];
        return;
    }
    if (!options.outputDir.empty()) {
        if (positional.empty())
            throw UsageError("-o DIR needs at least one INPUT file");
        options.inputs = positional;
        return;
    }
    if (!options.outputFormat.empty())
        throw UsageError("--format applies to -o DIR; a single OUTPUT's name gives its format");
    if (positional.empty())
        throw UsageError("no INPUT file given");
    if (positional.size() == 1)
        throw UsageError("missing OUTPUT file after '" + positional[0] + "' (or use -o DIR)");
    if (positional.size() > 2)
        throw UsageError("several INPUT files need -o DIR");
    options.inputs = {positional[0]};
    options.output = positional[1];
}

}  // namespace

std::string lowerExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot + 1 == path.size())
        return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

Options parseOptions(const std::vector<std::string>& args)
{
    Options options;
    std::vector<std::string> positional;
    ArgumentReader reader(args);
    bool optionsEnded = false;
    while (!reader.done()) {
        const std::string arg = reader.next();
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        const std::string name = optionName(arg);
        const bool inlineValue = name.size() != arg.size();
        const auto flag = [&](bool& target) {
            if (inlineValue)
                throw UsageError("option " + name + " takes no value");
            target = true;
        };
        if (arg == "--") {
            optionsEnded = true;
        } else if (name == "-h" || name == "--help") {
            flag(options.help);
        } else if (name == "--version") {
            flag(options.version);
        } else if (name == "-p" || name == "--program") {
            options.program = reader.value(arg, name);
            if (options.program.empty())
                throw UsageError("--program needs a number or a name");
        } else if (name == "--preset") {
            options.presetPath = reader.value(arg, name);
            if (options.presetPath.empty())
                throw UsageError("--preset needs a program file (.fxp)");
        } else if (name == "-s" || name == "--set") {
            options.settings.push_back(parseSetting(reader.value(arg, name)));
        } else if (name == "--list-programs") {
            flag(options.listPrograms);
        } else if (name == "--list-parameters") {
            flag(options.listParameters);
        } else if (name == "-t" || name == "--tail") {
            const std::string value = reader.value(arg, name);
            options.autoTail = value == "auto";
            if (!options.autoTail) {
                options.tailSeconds = parseNumber(name, value);
                if (options.tailSeconds < 0.0 || options.tailSeconds > kMaxTailSeconds)
                    throw UsageError(name + ": the tail must be 'auto' or lie between 0 and " +
                                     std::to_string(static_cast<int>(kMaxTailSeconds)) + " seconds");
            }
        } else if (name == "-g" || name == "--input-gain") {
            options.inputGainDb = parseNumber(name, reader.value(arg, name));
            if (std::fabs(options.inputGainDb) > kMaxInputGainDb)
                throw UsageError(name + ": the gain must lie between -60 and 60 dB");
        } else if (name == "--cabinet") {
            options.cabinetPath = reader.value(arg, name);
            if (options.cabinetPath.empty())
                throw UsageError("--cabinet needs an impulse-response file");
        } else if (name == "--cabinet-gain") {
            options.cabinetGainDb = parseNumber(name, reader.value(arg, name));
            options.cabinetGainGiven = true;
            if (std::fabs(options.cabinetGainDb) > kKorvalexCabinetGainLimitDb)
                throw UsageError(name + ": the gain must lie between -40 and 40 dB");
        } else if (name == "--no-align") {
            bool noAlign = false;
            flag(noAlign);
            options.align = false;
        } else if (name == "-r" || name == "--rate") {
            options.outputRate = parseInteger(name, reader.value(arg, name), kMinRate, kMaxRate);
        } else if (name == "--float") {
            flag(options.floatOutput);
        } else if (name == "--format") {
            options.outputFormat = normalizedFormat(reader.value(arg, name));
        } else if (name == "-o" || name == "--output-dir") {
            options.outputDir = reader.value(arg, name);
            if (options.outputDir.empty())
                throw UsageError(name + " needs a folder");
        } else if (name == "-j" || name == "--jobs") {
            options.jobs = parseInteger(name, reader.value(arg, name), 1, kMaxJobs);
        } else if (name == "-f" || name == "--force") {
            flag(options.force);
        } else if (name == "-q" || name == "--quiet") {
            flag(options.quiet);
        } else if (name == "--bench") {
            flag(options.bench);
        } else if (name == "--demo") {
            flag(options.demo);
        } else if (name == "--plugin") {
            options.pluginPath = reader.value(arg, name);
            if (options.pluginPath.empty())
                throw UsageError("--plugin needs a file");
        } else {
            throw UsageError("unknown option '" + arg + "'");
        }
    }
    checkCombination(options, positional);
    return options;
}

std::string usageText()
{
    return R"(Usage: korvalex-render [OPTION]... INPUT OUTPUT
  or:  korvalex-render [OPTION]... -o DIR INPUT...
  or:  korvalex-render [OPTION]... --demo OUTPUT
  or:  korvalex-render [OPTION]... --list-programs | --list-parameters
Re-amp recorded guitar: render INPUT (a dry DI track) through the Korvalex plug-in into
OUTPUT, as a host would play it through the plug-in.

INPUT is any file libsndfile reads (WAV, FLAC, AIFF, Ogg...), mono or stereo; a mono
track feeds both plug-in inputs. The plug-in runs at the output rate (the input's
unless --rate is given), as a host at that rate runs it, and sounds alike at every
rate: above 44100 Hz it converts to its engine's 44100 Hz and back itself. The input
is converted to the output rate first if they differ (to 44100 Hz for an output rate
below that, and the result then to the output rate). OUTPUT is stereo, its format
chosen by its extension (.wav, .flac, .aif, .aiff), 24-bit unless --float is given.

Sound:
  -p, --program N|NAME   use factory program number N, or the program called NAME
                         (case-insensitive; a unique beginning is enough)
      --preset FILE.fxp  apply a VST 2 program file (a preset saved by Korvalex Live
                         or any VST 2 host) after --program
  -s, --set NAME=VALUE   set parameter NAME (as --list-parameters shows it, or its
                         index) to VALUE, normalized 0..1; may be repeated; applied
                         after --program and --preset
      --list-programs    list the plug-in's programs and exit
      --list-parameters  list index, name and display text of each parameter (after
                         --program and --set) and exit
      --demo             render a built-in dry guitar riff (about 8 s) instead of INPUT
      --cabinet FILE     use the impulse response in FILE instead of the program's
                         own cabinet, keeping everything else of the program: any file
                         libsndfile reads (WAV, AIFF, FLAC), mono or stereo (summed to
                         mono), any rate (converted to 44100 Hz), up to 1 s after its
                         trailing silence (below -90 dB of its peak) is trimmed; leading
                         silence is kept. Its loudness is matched to the program's own
                         cabinet (pink noise, 80 Hz to 5 kHz). With -o DIR, every file
                         gets the same response.
      --cabinet-gain DB  raise (or lower) the --cabinet response by DB decibels on
                         top of the match, -40 to 40
  -g, --input-gain DB    raise (or lower, negative) the input by DB decibels before
                         the plug-in. The factory programs are voiced and level-matched
                         for a DI whose peaks reach about -3 dBFS, the level of a hot
                         instrument input; recorded DI tracks usually peak between
                         -18 and -6 dBFS (the demo riff at -12). For the sound as
                         designed, give -3 minus your take's peak in dBFS: a take that
                         peaks at -12 dBFS wants --input-gain 9.
Output:
  -t, --tail auto|SECONDS  after the input, render until the output has stayed below
                         -90 dBFS for half a second (at most 30 s; the default,
                         'auto'), or exactly SECONDS more. The last 10 ms fade out,
                         so a file never ends on a click.
      --no-align         keep the cabinet's delay of 31 samples at 44100 Hz (0.7 ms)
                         instead of removing it (it is there only while the cabinet
                         is in the chain: Power on, Amplifier not in its last two
                         positions). The latency the plug-in reports to hosts (its
                         converters', above 44100 Hz) is always removed, as a host
                         with delay compensation does.
  -r, --rate HZ          output sample rate (default: the input's)
      --float            write 32-bit float samples (WAV and AIFF)
  -o, --output-dir DIR   render every INPUT into DIR, in parallel, keeping its name
      --format FMT       format of the files written into DIR: wav, flac or aiff
                         (default: the input's, if it is one of those, else wav)
  -f, --force            overwrite existing output files (never an input)
Running:
  -j, --jobs N           render N files at a time (default: one per processor)
      --plugin PATH      the plug-in file (default: korvalex.so beside this program,
                         else the one installed with it: )" KORVALEX_INSTALLED_PLUGIN R"()
  -q, --quiet            print nothing but errors
      --bench            print the realtime factor (seconds of audio per second)
  -h, --help             show this help and exit
      --version          show the version and exit

Exit status: 0 on success, 1 if a file could not be rendered, 2 for a usage error.

Examples:
  korvalex-render --demo --program Fuzz fuzz.wav
  korvalex-render -p "clean chorus 1" --set "Reverb=0.3" di.wav reamped.flac
  korvalex-render -p 47 -o rendered/ take1.wav take2.wav take3.wav
  korvalex-render -p Crunchy --cabinet my-4x12.wav --cabinet-gain -2 di.wav out.wav
)";
}
