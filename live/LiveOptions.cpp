#include "live/LiveOptions.h"

#include <cmath>
#include <cstdlib>

#include "live/LiveState.h"
#include "live/MidiMap.h"

namespace live {

namespace {

std::vector<std::string> splitList(const std::string& text)
{
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        items.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return items;
}

double parseGain(const std::string& option, const std::string& text, double limit)
{
    char* end = nullptr;
    const double db = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != 0 || !std::isfinite(db) || std::fabs(db) > limit)
        throw UsageError(option + " takes a gain in dB from -" + std::to_string(int(limit)) + " to " +
                         std::to_string(int(limit)));
    return db;
}

}  // namespace

LiveOptions parseLiveOptions(const std::vector<std::string>& args)
{
    LiveOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i], value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            inlineValue = true;
        }
        const auto takeValue = [&]() -> std::string {
            if (inlineValue)
                return value;
            if (i + 1 >= args.size())
                throw UsageError("option " + arg + " needs a value");
            return args[++i];
        };
        const auto flag = [&](bool& target, bool to) {
            if (inlineValue)
                throw UsageError("option " + arg + " takes no value");
            target = to;
        };
        if (arg == "-h" || arg == "--help") {
            flag(options.help, true);
        } else if (arg == "--version") {
            flag(options.version, true);
        } else if (arg == "-n" || arg == "--name") {
            options.clientName = takeValue();
            if (options.clientName.empty())
                throw UsageError("--name needs a client name");
        } else if (arg == "-s" || arg == "--server") {
            options.serverName = takeValue();
        } else if (arg == "--no-connect") {
            flag(options.connect, false);
        } else if (arg == "-i" || arg == "--input") {
            options.input = takeValue();
            if (options.input.empty())
                throw UsageError("--input needs a port name");
        } else if (arg == "-o" || arg == "--output") {
            options.outputs = splitList(takeValue());
            if (options.outputs.size() > 2 || options.outputs[0].empty() || options.outputs.back().empty())
                throw UsageError("--output takes one or two port names: LEFT[,RIGHT]");
        } else if (arg == "--midi-input") {
            options.midiInputs = splitList(takeValue());
            for (const std::string& port : options.midiInputs)
                if (port.empty())
                    throw UsageError("--midi-input takes port names separated by commas");
        } else if (arg == "--no-gui") {
            flag(options.gui, false);
        } else if (arg == "-m" || arg == "--midi-map") {
            options.midiMap = takeValue();
            if (options.midiMap.empty())
                throw UsageError("--midi-map needs a file");
        } else if (arg == "--print-midi-map") {
            flag(options.printMidiMap, true);
        } else if (arg == "-p" || arg == "--program") {
            options.program = takeValue();
            if (options.program.empty())
                throw UsageError("--program needs a number or a name");
        } else if (arg == "--preset") {
            options.preset = takeValue();
            if (options.preset.empty())
                throw UsageError("--preset needs a program file (.fxp)");
        } else if (arg == "-g" || arg == "--input-gain") {
            options.inputGainDb = parseGain("--input-gain", takeValue(), kMaxInputGainDb);
            options.inputGainGiven = true;
        } else if (arg == "--cabinet") {
            options.cabinet = takeValue();
            if (options.cabinet.empty())
                throw UsageError("--cabinet needs an impulse-response file");
        } else if (arg == "--own-cabinet") {
            flag(options.ownCabinet, true);
        } else if (arg == "--cabinet-gain") {
            options.cabinetGainDb = parseGain("--cabinet-gain", takeValue(), kMaxCabinetGainDb);
            options.cabinetGainGiven = true;
        } else if (arg == "-v" || arg == "--verbose") {
            flag(options.verbose, true);
        } else {
            throw UsageError(arg.rfind("-", 0) == 0 ? "unknown option '" + arg + "'"
                                                    : "unexpected argument '" + arg + "'");
        }
    }
    if (options.ownCabinet && !options.cabinet.empty())
        throw UsageError("--cabinet and --own-cabinet choose different cabinets: give one of them");
    return options;
}

std::string liveUsageText()
{
    std::string map;
    const std::string lines = MidiMap::defaults().text();
    for (std::size_t start = 0; start < lines.size();) {
        const std::size_t end = lines.find('\n', start);
        map += "    CC " + lines.substr(start, end - start + 1);
        start = end + 1;
    }
    std::string text = R"(Usage: korvalex-live [OPTION]...
Korvalex Live: the Korvalex guitar amplifier as a program of its own on JACK. Plug the
guitar into the sound card, start a JACK server, start korvalex-live, choose a sound and
play. It shows the plug-in's front panel with a strip above it: the program menu with
previous, next and save, the cabinet menu, the input level and gain, a tuner and the
status line.

It does not start a JACK server itself. Start one first, for example:
  jackd -d alsa -d hw:0 -r 48000 -p 128 -n 2
or run it through PipeWire's JACK layer:  pw-jack korvalex-live

JACK:
  -n, --name NAME         the JACK client's name (default Korvalex)
  -s, --server NAME       the JACK server to use (default: $JACK_DEFAULT_SERVER, or the
                          default server)
  -i, --input PORT        connect the guitar input to PORT
  -o, --output L[,R]      connect the outputs to L and R (one port: both to it)
      --midi-input PORTS  connect the MIDI input to these ports (separated by commas)
      --no-connect        connect nothing but what the three options above name
                          Without these options the ports are connected as at the end
                          of the last session, or else the guitar input to the first
                          physical capture port, the outputs to the first two physical
                          playback ports and the MIDI input to every physical MIDI
                          input.
Sound:
  -p, --program N|NAME    start with program N (0..81 the factory programs, then the
                          user presets) or the program called NAME (letter case
                          ignored, a unique beginning is enough)
      --preset FILE.fxp   start with a VST 2 program file (applied after --program)
  -g, --input-gain DB     raise (or lower, negative) the guitar input by DB decibels
                          (-40 to 40) before the amplifier, as korvalex-render
                          --input-gain does; the programs are voiced for a DI whose
                          peaks reach about -3 dBFS
      --cabinet FILE      play the impulse response (IR) in FILE in place of the
                          program's own cabinet, as korvalex-render --cabinet does (any
                          audio file libsndfile reads, mono or stereo, any rate, up to
                          1 s, its loudness matched to the program's); a file that
                          cannot be used is reported and the program's own plays
      --own-cabinet       play the program's own cabinet
      --cabinet-gain DB   raise (or lower) your own cabinet by DB decibels on top of
                          the match (-40 to 40); kept for every file played
                          Without these options the sound, the cabinet and the gains
                          of the last session come back.
MIDI (the MIDI input, any channel):
  Program Change n selects program n, in the order of the program menu. Control Changes
  move parameters through a map, by default:
MIDIMAP  -m, --midi-map FILE     replace the map by FILE's lines "CC = parameter name" ('#'
                          starts a comment); the names as korvalex-render
                          --list-parameters shows them
      --print-midi-map    print the map in use (in the file's form) and exit
Window:
      --no-gui            run without a window (on a rack or a small board); Ctrl-C or
                          SIGTERM ends it
  In the window, Page Up and Page Down step through the programs. A right-click on the
  panel's logo chooses its zoom (100%, 150%, 200% or automatic, from the desktop's
  Xft.dpi); the window and the strip follow it.
Other:
  -v, --verbose           also show the JACK library's own messages
  -h, --help              show this help and exit
      --version           show the version and exit

Files: the state of the last session is kept in $XDG_CONFIG_HOME/korvalex/live.conf
(~/.config/korvalex/live.conf), the user presets (.fxp) in
$XDG_DATA_HOME/korvalex/presets/ (~/.local/share/korvalex/presets/), the IR files the
Cabinet menu offers in $XDG_DATA_HOME/korvalex/cabinets/, the panel's zoom in
$XDG_CONFIG_HOME/korvalex/settings.conf (as the plug-in's panel keeps it in any host).

Exit status: 0 when ended by the user, 1 when it could not start (no JACK server, no
display), 2 for a usage error, 3 when the JACK server went away while it ran (the
state is saved in every case it ran).
)";
    return text.replace(text.find("MIDIMAP"), 7, map);
}

}  // namespace live
