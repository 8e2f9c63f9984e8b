#include "live/LiveApp.h"

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/Scale.h"
#include "gui/platform/PlatformWindow.h"
#include "host/NameLookup.h"
#include "host/PluginFacts.h"
#include "host/PluginHost.h"
#include "live/AudioPath.h"
#include "live/CabinetChoice.h"
#include "live/JackSession.h"
#include "live/LiveController.h"
#include "live/LiveState.h"
#include "live/LiveWindow.h"
#include "live/MidiMap.h"
#include "live/Paths.h"
#include "live/PresetLibrary.h"
#include "live/Strip.h"
#include "live/StripLayout.h"
#include "live/Tuner.h"
#include "plugin/EntryPoint.h"

namespace live {

namespace {

constexpr uint32_t kLoopMs = 5;           // MIDI and notifications are looked at this often
constexpr uint32_t kIdleMs = 33;          // the window is idled about 30 times a second
constexpr uint32_t kTunerMs = 100;
constexpr uint32_t kConnectionsMs = 1000;  // the connections are noted for the state this often
constexpr const char* kStateFile = "live.conf";

volatile std::sig_atomic_t quitSignal = 0;

extern "C" void onQuitSignal(int) { quitSignal = 1; }

void catchQuitSignals()
{
    struct sigaction action{};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
}

// The zoom the front panel is drawn at, from its width (the strip is as wide as the panel
// at 100 %).
int32_t zoomOfPanel(int32_t width)
{
    return static_cast<int32_t>(std::lround(100.0 * width / strip::kWidth));
}

bool due(uint32_t now, uint32_t& next, uint32_t period)
{
    if (static_cast<int32_t>(now - next) < 0)
        return false;
    next = now + period;
    return true;
}

void printError(const std::string& text) { std::fprintf(stderr, "korvalex-live: %s\n", text.c_str()); }

std::string noServerHelp(std::string server)
{
    if (server.empty() && std::getenv("JACK_DEFAULT_SERVER"))
        server = std::getenv("JACK_DEFAULT_SERVER");
    const std::string which = server.empty() ? "" : " named \"" + server + "\"";
    return "no JACK server" + which +
           " is running. Korvalex Live does not start one itself; start one first, for example\n"
           "  on the first sound card:    jackd -d alsa -d hw:0 -r 48000 -p 128 -n 2 &\n"
           "  on a desktop with PipeWire: pw-jack korvalex-live\n"
           "(the README's \"Play live\" section tells more).";
}

class Live {
public:
    explicit Live(const LiveOptions& options) : options_(options) {}
    int run();

private:
    bool startPlugin();
    void configurePlugin(uint32_t rate, uint32_t frames);
    bool findProgram();
    void chooseSound();
    void chooseCabinet();
    void connectPorts();
    void connect(Port port, const std::vector<std::string>& peers);
    bool openWindow();
    bool fitPanel(int32_t width, int32_t height);
    void closeWindow();
    void loop();
    void poll();
    void idleWindow(bool panelToo);
    void updateLatency();
    Strip::Readings readings();
    void noteConnections();
    void saveState();
    void report(const std::string& text, bool error);

    const LiveOptions& options_;
    MidiMap midiMap_ = MidiMap::defaults();
    std::unique_ptr<StateFile> stateFile_;
    LiveState state_;
    std::map<std::string, std::vector<std::string>> savedConnections_;  // the last session's
    std::unique_ptr<PluginHost> plugin_;
    std::unique_ptr<AudioPath> audio_;
    std::unique_ptr<JackSession> jack_;
    std::unique_ptr<PresetLibrary> presets_;
    std::unique_ptr<LiveController> controller_;
    std::unique_ptr<CabinetChoice> cabinet_;
    std::unique_ptr<LiveWindow> window_;
    std::unique_ptr<Strip> strip_;
    std::unique_ptr<Tuner> tuner_;
    std::vector<float> tunerSamples_;
    std::vector<std::pair<std::string, bool>> pendingMessages_;
    bool editorOpen_ = false;
    bool polling_ = false;
    int program_ = -1;  // the entry --program names
    std::string title_;
    double cabinetMs_ = 0.0;
    uint32_t nextIdle_ = 0, nextTuner_ = 0, nextConnections_ = 0;
    TunerReading tunerReading_;
    bool tunerUpdated_ = false;
};

void Live::report(const std::string& text, bool error)
{
    if (error)
        printError(text);
    else
        std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    if (strip_)
        strip_->showMessage(text, error, gui::platform::ticks());
    else
        pendingMessages_.emplace_back(text, error);
}

int Live::run()
{
    if (!options_.midiMap.empty()) {
        std::string error;
        if (!MidiMap::load(options_.midiMap, midiMap_, error)) {
            printError(error);
            return kExitUsage;
        }
    }
    if (options_.printMidiMap) {
        std::fputs(midiMap_.text().c_str(), stdout);
        return kExitSuccess;
    }
    const std::string folder = configFolder();
    if (folder.empty()) {
        report("neither XDG_CONFIG_HOME nor HOME names a folder: the session's state is not kept", true);
    } else {
        stateFile_ = std::make_unique<StateFile>(folder + "/" + kStateFile);
        std::string problem;
        state_ = stateFile_->load(problem);
        savedConnections_ = state_.connections;
        if (!problem.empty())
            report(problem, true);
    }
    if (!startPlugin())
        return kExitFailure;
    presets_ = std::make_unique<PresetLibrary>(presetFolder());
    controller_ = std::make_unique<LiveController>(*plugin_, *presets_, midiMap_,
                                                   [this](const std::string& text, bool e) { report(text, e); });
    if (!findProgram())
        return kExitUsage;
    cabinet_ = std::make_unique<CabinetChoice>(*plugin_, cabinetFolder(),
                                               [this](const std::string& text, bool e) { report(text, e); });

    audio_ = std::make_unique<AudioPath>(plugin_->effect());
    std::string error;
    bool noServer = false;
    jack_ = JackSession::open(options_.clientName, options_.serverName, *audio_, error, noServer);
    if (!jack_) {
        printError(noServer ? noServerHelp(options_.serverName) : error);
        return kExitFailure;
    }
    if (options_.verbose) {
        jack_set_error_function([](const char* text) { std::fprintf(stderr, "JACK: %s\n", text); });
        jack_set_info_function([](const char* text) { std::fprintf(stderr, "JACK: %s\n", text); });
    }
    configurePlugin(jack_->sampleRate(), jack_->bufferSize());

    chooseSound();
    chooseCabinet();
    audio_->setInputGainDb(options_.inputGainGiven ? options_.inputGainDb : state_.inputGainDb);
    updateLatency();

    if (!jack_->activate(error)) {
        printError(error);
        return kExitFailure;
    }
    connectPorts();
    noteConnections();
    if (options_.gui && !openWindow()) {
        jack_.reset();
        return kExitFailure;
    }
    std::printf("Korvalex Live: JACK client \"%s\", %u Hz, %u frames; program %s\n", jack_->clientName().c_str(),
                jack_->sampleRate(), jack_->bufferSize(), controller_->entryLabel(controller_->currentEntry()).c_str());
    std::fflush(stdout);

    catchQuitSignals();
    loop();

    const bool gone = jack_->serverGone();
    if (gone) {
        const std::string reason = jack_->goneReason();
        printError("the JACK server has gone away" + (reason.empty() ? std::string() : " (" + reason + ")") +
                   "; Korvalex Live ends");
    } else {
        noteConnections();
    }
    controller_->store(state_);
    state_.inputGainDb = audio_->inputGainDb();
    state_.cabinet = cabinet_->path();
    state_.cabinetGainDb = cabinet_->gainDb();
    if (window_) {
        int x = 0, y = 0;
        if (window_->position(x, y)) {
            state_.hasWindowPosition = true;
            state_.windowX = x;
            state_.windowY = y;
        }
    }
    jack_.reset();  // the audio thread is done with the plug-in
    closeWindow();
    saveState();
    return gone ? kExitServerGone : kExitSuccess;
}

bool Live::startPlugin()
{
    std::string error;
    plugin_ = PluginHost::attach(korvalexPluginMain, "Korvalex", error);
    if (!plugin_) {
        printError(error);
        return false;
    }
    plugin_->setRecording(false);  // the audio thread may call the host: no locks there
    return true;
}

// As a host does before it plays: the rate and the block size while the plug-in is off.
void Live::configurePlugin(uint32_t rate, uint32_t frames)
{
    audio_->setUp(*plugin_, rate, frames);
    tuner_ = std::make_unique<Tuner>(rate);
    tunerSamples_.assign(tuner_->windowSize(), 0.0f);
}

// The entry --program names, by number or name; false (reported) when there is none.
bool Live::findProgram()
{
    if (options_.program.empty())
        return true;
    std::vector<std::string> labels = controller_->factoryNames();
    labels.insert(labels.end(), controller_->presetNames().begin(), controller_->presetNames().end());
    const NameMatch match = lookUpName(labels, options_.program, true, kVstMaxProgNameLen - 1);
    if (match.index < 0) {
        printError("--program: " + describeFailedLookup("program", options_.program, match, labels));
        return false;
    }
    program_ = match.index;
    return true;
}

// The sound of the last session, unless the command line asks for another.
void Live::chooseSound()
{
    if (program_ >= 0)
        controller_->select(program_);
    else
        controller_->restore(state_);
    if (!options_.preset.empty())
        controller_->loadPresetFile(options_.preset);
}

// The cabinet of the last session, unless the command line asks for another. Read before
// the first sound; a file that cannot be used leaves the program's own.
void Live::chooseCabinet()
{
    cabinet_->setGainDb(options_.cabinetGainGiven ? options_.cabinetGainDb : state_.cabinetGainDb);
    const std::string path = options_.ownCabinet ? std::string() : !options_.cabinet.empty() ? options_.cabinet
                                                                                              : state_.cabinet;
    if (!path.empty())
        cabinet_->useNow(path);
}

void Live::connectPorts()
{
    const auto saved = [&](Port port) -> std::vector<std::string> {
        const auto found = state_.connections.find(portName(port));
        return found == state_.connections.end() ? std::vector<std::string>() : found->second;
    };
    const auto physical = [&](Port port, std::size_t index) -> std::vector<std::string> {
        const std::vector<std::string> ports = jack_->physicalPeers(port);
        if (ports.empty())
            return {};
        return {ports[std::min(index, ports.size() - 1)]};
    };
    const auto choose = [&](Port port, const std::vector<std::string>& given, std::vector<std::string> fallback) {
        if (!given.empty())
            return given;
        if (!options_.connect)
            return std::vector<std::string>();
        std::vector<std::string> peers;
        for (const std::string& peer : saved(port))
            if (jack_->portExists(peer))
                peers.push_back(peer);
        return peers.empty() ? fallback : peers;
    };
    const std::vector<std::string> input = options_.input.empty() ? std::vector<std::string>() : std::vector<std::string>{options_.input};
    std::vector<std::string> left, right;
    if (!options_.outputs.empty()) {
        left = {options_.outputs.front()};
        right = {options_.outputs.back()};
    }
    connect(Port::GuitarIn, choose(Port::GuitarIn, input, physical(Port::GuitarIn, 0)));
    connect(Port::OutLeft, choose(Port::OutLeft, left, physical(Port::OutLeft, 0)));
    connect(Port::OutRight, choose(Port::OutRight, right, physical(Port::OutRight, 1)));
    connect(Port::MidiIn, choose(Port::MidiIn, options_.midiInputs, jack_->physicalPeers(Port::MidiIn)));
}

void Live::connect(Port port, const std::vector<std::string>& peers)
{
    for (const std::string& peer : peers) {
        std::string error;
        if (!jack_->connect(port, peer, error))
            report(error, true);
    }
}

bool Live::openWindow()
{
    ERect* rect = nullptr;
    if (!plugin_->editGetRect(&rect) || !rect) {
        printError("the plug-in gives no editor rectangle");
        return false;
    }
    const int panelWidth = rect->right - rect->left, panelHeight = rect->bottom - rect->top;
    const int32_t zoom = zoomOfPanel(panelWidth);
    const gui::Scale scale(zoom);
    LiveWindow::Position position{state_.hasWindowPosition, state_.windowX, state_.windowY};
    std::string error;
    window_ = LiveWindow::open(std::max(panelWidth, scale.toDeviceX(strip::kWidth)), scale.toDeviceY(strip::kHeight),
                               panelHeight, position, error);
    if (!window_) {
        printError(error + "; run with --no-gui to play without a window");
        return false;
    }
    strip_ = std::make_unique<Strip>(
        window_->stripArea(), zoom, *controller_, *cabinet_, [this](double db) { audio_->setInputGainDb(db); },
        [this] {
            poll();
            if (editorOpen_)
                plugin_->editIdle();
        });
    strip_->setGainDb(audio_->inputGainDb());
    plugin_->setIdleHandler([this] {
        // The panel follows the mouse: the rest goes on meanwhile.
        poll();
        idleWindow(false);
    });
    plugin_->setSizeWindowHandler([this](int32_t width, int32_t height) { return fitPanel(width, height); });
    plugin_->editOpen(window_->panelArea());
    editorOpen_ = true;
    // A panel that opened at another zoom than it said (one chosen meanwhile) gets its size.
    if (plugin_->editGetRect(&rect) && rect &&
        (rect->right - rect->left != panelWidth || rect->bottom - rect->top != panelHeight))
        fitPanel(rect->right - rect->left, rect->bottom - rect->top);
    for (const auto& [text, isError] : pendingMessages_)
        strip_->showMessage(text, isError, gui::platform::ticks());
    pendingMessages_.clear();
    return true;
}

// The panel asks for another size (its zoom changed): the window takes it, and the strip
// is drawn at the panel's zoom.
bool Live::fitPanel(int32_t width, int32_t height)
{
    if (!window_ || !strip_ || width <= 0 || height <= 0)
        return false;
    const int32_t zoom = zoomOfPanel(width);
    const gui::Scale scale(zoom);
    window_->resize(std::max(width, scale.toDeviceX(strip::kWidth)), scale.toDeviceY(strip::kHeight), height);
    strip_->setScalePercent(zoom);
    return true;
}

void Live::closeWindow()
{
    if (editorOpen_)
        plugin_->editClose();
    editorOpen_ = false;
    if (plugin_) {
        plugin_->setIdleHandler(nullptr);
        plugin_->setSizeWindowHandler(nullptr);
    }
    strip_.reset();
    window_.reset();
}

void Live::loop()
{
    while (!quitSignal && !jack_->serverGone() && !(window_ && window_->closeRequested())) {
        poll();
        if (window_)
            idleWindow(true);
        gui::platform::sleep(kLoopMs);
    }
}

// What must not wait: MIDI, JACK's notifications, keys, the title. Also called from the
// loops of controls that follow the mouse.
void Live::poll()
{
    if (polling_)
        return;
    polling_ = true;
    cabinet_->poll();
    MidiMessage message;
    while (jack_->nextMidiMessage(message)) {
        const int before = controller_->currentEntry();
        controller_->handleMidi(message);
        if (!window_ && controller_->currentEntry() != before)
            std::printf("program %s\n", controller_->entryLabel(controller_->currentEntry()).c_str());
    }
    const uint32_t rate = jack_->takeNewSampleRate(), frames = jack_->takeNewBufferSize();
    if (rate || frames)
        configurePlugin(jack_->sampleRate(), jack_->bufferSize());
    if (rate) {
        // The plug-in designs its equaliser for the rate at each parameter change.
        for (int i = 0; i < plugin_->numParams(); ++i)
            plugin_->setParameter(i, plugin_->getParameter(i));
    }
    const uint32_t now = gui::platform::ticks();
    if (window_) {
        window_->processEvents();
        if (const int steps = window_->takeProgramSteps())
            controller_->step(steps);
        const std::string title = controller_->title();
        if (title != title_) {
            window_->setTitle(title);
            title_ = title;
        }
        if (due(now, nextTuner_, kTunerMs)) {
            tunerUpdated_ = audio_->tunerInput().readLatest(tunerSamples_.data(), tunerSamples_.size());
            if (tunerUpdated_)
                tunerReading_ = tuner_->analyse(tunerSamples_.data());
        }
    }
    if (due(now, nextConnections_, kConnectionsMs)) {
        noteConnections();
        updateLatency();
    }
    std::fflush(stdout);
    polling_ = false;
}

void Live::idleWindow(bool panelToo)
{
    const uint32_t now = gui::platform::ticks();
    if (!due(now, nextIdle_, kIdleMs))
        return;
    if (panelToo && editorOpen_)
        plugin_->editIdle();
    if (strip_) {
        strip_->update(readings(), now);
        tunerUpdated_ = false;
        strip_->idle();
    }
}

// The plug-in's delay: what it reports, plus the cabinet's while that is in the chain.
void Live::updateLatency()
{
    const bool cabinet = cabinetInChain(*plugin_);
    cabinetMs_ = cabinet ? 1000.0 * kCabinetLatency / kCabinetLatencyRate : 0.0;
    const double cabinetFrames = cabinet ? kCabinetLatency * jack_->sampleRate() / kCabinetLatencyRate : 0.0;
    jack_->setPluginLatency(static_cast<uint32_t>(std::max(0, plugin_->effect()->initialDelay)) +
                            static_cast<uint32_t>(std::lround(cabinetFrames)));
}

Strip::Readings Live::readings()
{
    Strip::Readings r;
    r.inputPeak = audio_->takePeak();
    r.clippedBlocks = audio_->clippedBlocks();
    r.tuner = tunerReading_;
    r.tunerUpdated = tunerUpdated_;
    r.sampleRate = jack_->sampleRate();
    r.bufferSize = jack_->bufferSize();
    const double frames = double(jack_->captureLatency()) + jack_->playbackLatency() +
                          std::max(0, plugin_->effect()->initialDelay);
    r.latencyMs = r.sampleRate ? 1000.0 * frames / r.sampleRate + cabinetMs_ : 0.0;
    r.dspLoad = jack_->dspLoad();
    r.xruns = jack_->xruns();
    return r;
}

// What the state keeps: the connections now, and those of the last session to ports that
// do not exist now (a program not started yet), which could not be made.
void Live::noteConnections()
{
    if (jack_->serverGone())
        return;
    for (Port port : {Port::GuitarIn, Port::OutLeft, Port::OutRight, Port::MidiIn}) {
        std::vector<std::string> peers = jack_->connections(port);
        for (const std::string& earlier : savedConnections_[portName(port)])
            if (!jack_->portExists(earlier) && std::find(peers.begin(), peers.end(), earlier) == peers.end())
                peers.push_back(earlier);
        state_.connections[portName(port)] = peers;
    }
}

void Live::saveState()
{
    if (!stateFile_)
        return;
    std::string error;
    if (!stateFile_->save(state_, error))
        printError("the session's state is not saved: " + error);
}

}  // namespace

int runLive(const LiveOptions& options)
{
    Live live(options);
    return live.run();
}

}  // namespace live
