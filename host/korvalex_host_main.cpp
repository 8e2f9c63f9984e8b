// korvalex-host: loads a VST 2.4 plug-in file and prints what a host learns from it.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/Desktop.h"
#include "host/EditorSession.h"
#include "host/InputScript.h"
#include "host/PluginHost.h"

namespace {

void printUsage(FILE* out)
{
    std::fprintf(out,
                 "usage: korvalex-host [--entry VSTPluginMain|main] [SETTING...] [--process SECONDS] PLUGIN\n"
                 "       korvalex-host --editor [SETTING...] [--zoom PERCENT] [--time SECONDS] [--rate HZ]\n"
                 "                     [INPUT...] PLUGIN\n"
                 "Loads a VST 2.4 plug-in file, prints its identity, parameters and programs,\n"
                 "and optionally processes a test tone through it, printing the output level.\n"
                 "SETTING, applied in order after loading:\n"
                 "  --program N                  selects program N (from 0)\n"
                 "  --set INDEX=VALUE            sets parameter INDEX to VALUE (0 to 1)\n"
                 "\n"
                 "With --editor, shows the plug-in's editor in a window of its own instead, idles it\n"
                 "--rate times a second (default 30) for --time seconds (default 3) and until the\n"
                 "input below is done, then closes the editor and the plug-in, and prints every\n"
                 "parameter whose value changed meanwhile. --zoom 150 or 200 tells the plug-in, before\n"
                 "the editor opens, that the display is scaled so (the content scale request some\n"
                 "Windows hosts send); a plug-in that takes it shows a larger editor. INPUT, in order,\n"
                 "at pixels of the editor's window as shown (at --zoom 200 a 100 x 50 editor's centre\n"
                 "is 100,50; X11: needs the XTest extension):\n"
                 "  --click X,Y                  left button pressed and released at X,Y\n"
                 "  --right-click X,Y            the same with the right button\n"
                 "  --drag X1,Y1:X2,Y2[:STEPS]   press at X1,Y1, move to X2,Y2 in STEPS moves (10), release\n"
                 "  --wheel X,Y:NOTCHES          wheel turned at X,Y, positive away from the user\n"
                 "  --screenshot FILE.png        a picture of the editor's window\n");
}

void printIdentity(PluginHost& host)
{
    const AEffect* e = host.effect();
    std::printf("effect:    %s\nvendor:    %s\nproduct:   %s\n", host.effectName().c_str(),
                host.vendorString().c_str(), host.productString().c_str());
    std::printf("id:        %s (0x%08X)\nversion:   %d (vendor %d, VST %d)\n", fourCharacters(e->uniqueID).c_str(),
                static_cast<unsigned>(e->uniqueID), e->version, host.vendorVersion(), host.vstVersion());
    std::printf("category:  %d\nchannels:  %d in, %d out\nflags:     0x%X\nlatency:   %d\n", host.plugCategory(),
                e->numInputs, e->numOutputs, static_cast<unsigned>(e->flags), e->initialDelay);
}

void printParameters(PluginHost& host)
{
    std::printf("\nparameters (%d):\n", host.numParams());
    for (int i = 0; i < host.numParams(); ++i)
        std::printf("  %2d  %-16s %-10s %.6g\n", i, host.parameterName(i).c_str(), host.parameterDisplay(i).c_str(),
                    host.getParameter(i));
}

void printPrograms(PluginHost& host)
{
    std::printf("\nprograms (%d), current %d \"%s\":\n", host.numPrograms(), host.program(),
                host.programName().c_str());
    for (int i = 0; i < host.numPrograms(); ++i) {
        std::string name;
        if (host.programNameIndexed(i, name))
            std::printf("  %2d  %s\n", i, name.c_str());
    }
}

void processTestTone(PluginHost& host, double seconds)
{
    const double rate = 44100.0;
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> in(frames), left(frames), right(frames);
    for (std::size_t i = 0; i < frames; ++i)
        in[i] = static_cast<float>(0.25 * std::sin(2.0 * M_PI * 110.0 * static_cast<double>(i) / rate));
    std::vector<float> silence(frames, 0.0f);
    host.setSampleRate(static_cast<float>(rate));
    host.setBlockSize(512);
    host.setMainsOn(true);
    host.processStereo(in.data(), silence.data(), left.data(), right.data(), frames, 512);
    double peak = 0.0, sum = 0.0;
    for (std::size_t i = 0; i < frames; ++i) {
        peak = std::max({peak, std::fabs(double(left[i])), std::fabs(double(right[i]))});
        sum += double(left[i]) * left[i] + double(right[i]) * right[i];
    }
    const double rms = frames ? std::sqrt(sum / (2.0 * double(frames))) : 0.0;
    std::printf("\nprocessed %.2f s of a 110 Hz tone: peak %.4f, rms %.4f\n", seconds, peak, rms);
}

bool isScriptOption(const std::string& arg)
{
    return arg == "--click" || arg == "--right-click" || arg == "--drag" || arg == "--wheel" || arg == "--screenshot";
}

// A setting applied after loading: a program, or a parameter's value.
struct Setting {
    bool program = false;
    VstInt32 index = 0;
    float value = 0.0f;
};

bool parseSetting(const std::string& option, const std::string& text, Setting& setting)
{
    char* end = nullptr;
    const long index = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || index < 0 || index > 100000)
        return false;
    setting.index = static_cast<VstInt32>(index);
    if (option == "--program") {
        setting.program = true;
        return *end == '\0';
    }
    if (*end != '=')
        return false;
    const char* valueText = end + 1;
    setting.value = std::strtof(valueText, &end);
    return end != valueText && *end == '\0' && setting.value >= 0.0f && setting.value <= 1.0f;
}

std::vector<float> parameterValues(PluginHost& host)
{
    std::vector<float> values;
    for (VstInt32 i = 0; i < host.effect()->numParams; ++i)
        values.push_back(host.getParameter(i));
    return values;
}

// Prints each parameter whose value differs from `before`.
void printChanges(PluginHost& host, const std::vector<float>& before)
{
    const std::vector<float> after = parameterValues(host);
    for (size_t i = 0; i < after.size() && i < before.size(); ++i)
        if (after[i] != before[i])
            std::printf("parameter %zu \"%s\": %g -> %g (%s)\n", i, host.parameterName(VstInt32(i)).c_str(),
                        double(before[i]), double(after[i]), host.parameterDisplay(VstInt32(i)).c_str());
}

// Shows the editor until the time is up and the script has run; the script's input goes
// through the desktop on a thread of its own while this thread idles the editor.
int showEditor(PluginHost& host, double seconds, double rate, int zoom, const std::vector<ScriptStep>& steps)
{
    const std::vector<float> before = parameterValues(host);
    if (zoom != 100) {
        const bool taken = host.setContentScale(static_cast<float>(zoom) / 100.0f) == 1;
        std::printf("content scale %d%%: %s\n", zoom, taken ? "taken" : "not taken by the plug-in");
    }
    std::string error;
    std::unique_ptr<EditorSession> session = EditorSession::open(host, error);
    if (!session) {
        std::fprintf(stderr, "korvalex-host: %s\n", error.c_str());
        return 1;
    }
    std::printf("editor: %d x %d\n", session->width(), session->height());
    std::atomic<bool> scriptDone{steps.empty()};
    bool scriptOk = true;
    std::string scriptError;
    std::thread script;
    if (!steps.empty())
        script = std::thread([&] {
            std::unique_ptr<Desktop> desktop = Desktop::connect(scriptError);
            scriptOk = desktop && InputScript(*session, *desktop).run(steps, scriptError);
            scriptDone = true;
        });
    session->run(seconds, rate, [&] { return scriptDone.load(); });
    if (script.joinable()) {
        // The window may have been closed by the user while the script ran.
        while (!scriptDone)
            session->run(0.0, rate);
        script.join();
    }
    session->close();  // the editor before the plug-in
    printChanges(host, before);
    if (!scriptOk) {
        std::fprintf(stderr, "korvalex-host: %s\n", scriptError.c_str());
        return 1;
    }
    for (const ScriptStep& s : steps)
        if (s.kind == ScriptStep::Kind::Screenshot)
            std::printf("screenshot: %s\n", s.file.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string entry = "VSTPluginMain";
    std::string path;
    double processSeconds = 0.0;
    bool editor = false;
    double editorSeconds = 3.0;
    double idleRate = 30.0;
    int zoom = 100;
    std::vector<ScriptStep> steps;
    std::vector<Setting> settings;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            printUsage(stdout);
            return 0;
        } else if (arg == "--entry" && i + 1 < argc) {
            entry = argv[++i];
        } else if (arg == "--process" && i + 1 < argc) {
            processSeconds = std::atof(argv[++i]);
        } else if ((arg == "--program" || arg == "--set") && i + 1 < argc) {
            Setting setting;
            if (!parseSetting(arg, argv[++i], setting)) {
                std::fprintf(stderr, "korvalex-host: %s takes %s, not '%s'\n", arg.c_str(),
                             arg == "--program" ? "a program number" : "INDEX=VALUE with a value from 0 to 1", argv[i]);
                return 2;
            }
            settings.push_back(setting);
        } else if (arg == "--editor") {
            editor = true;
        } else if (arg == "--time" && i + 1 < argc) {
            editorSeconds = std::atof(argv[++i]);
        } else if (arg == "--rate" && i + 1 < argc) {
            idleRate = std::atof(argv[++i]);
            if (!(idleRate >= 1.0 && idleRate <= 1000.0)) {
                std::fprintf(stderr, "korvalex-host: --rate takes 1 to 1000 idles a second\n");
                return 2;
            }
        } else if (arg == "--zoom" && i + 1 < argc) {
            const std::string value = argv[++i];
            if (value != "100" && value != "150" && value != "200") {
                std::fprintf(stderr, "korvalex-host: --zoom takes 100, 150 or 200, not '%s'\n", value.c_str());
                return 2;
            }
            zoom = std::atoi(value.c_str());
        } else if (isScriptOption(arg) && i + 1 < argc) {
            ScriptStep step;
            std::string error;
            if (!parseScriptStep(arg, argv[++i], step, error)) {
                std::fprintf(stderr, "korvalex-host: %s\n", error.c_str());
                return 2;
            }
            steps.push_back(step);
        } else if (!arg.empty() && arg[0] != '-' && path.empty()) {
            path = arg;
        } else {
            std::fprintf(stderr, "korvalex-host: unexpected argument '%s'\n", arg.c_str());
            printUsage(stderr);
            return 2;
        }
    }
    if (path.empty()) {
        printUsage(stderr);
        return 2;
    }
    std::string error;
    std::unique_ptr<PluginHost> host = PluginHost::load(path, error, entry);
    if (!host) {
        std::fprintf(stderr, "korvalex-host: %s\n", error.c_str());
        return 1;
    }
    for (const Setting& setting : settings) {
        const VstInt32 count = setting.program ? host->effect()->numPrograms : host->effect()->numParams;
        if (setting.index >= count) {
            std::fprintf(stderr, "korvalex-host: the plug-in has no %s %d\n", setting.program ? "program" : "parameter",
                         setting.index);
            return 2;
        }
        if (setting.program)
            host->setProgram(setting.index);
        else
            host->setParameter(setting.index, setting.value);
    }
    if (editor || !steps.empty())
        return showEditor(*host, editorSeconds, idleRate, zoom, steps);
    printIdentity(*host);
    printParameters(*host);
    printPrograms(*host);
    if (processSeconds > 0.0)
        processTestTone(*host, processSeconds);
    return 0;
}
