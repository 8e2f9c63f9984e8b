#include "tests/live/support/LiveTests.h"

#include <fcntl.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sndfile.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <tuple>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "tools/korvalex-validate/TestSignal.h"

namespace livetest {

namespace {

int counter = 0;

// JACK servers register in a table in /dev/shm shared by the whole machine (eight servers
// at the most), and a server that is killed leaves its entry there. Where it can (as
// root), the test process gives itself and so its servers and korvalex-live a /dev/shm of
// their own: a private mount namespace with a new tmpfs there, gone with the process.
// Before main, while the process has one thread.
__attribute__((constructor)) void privateSharedMemory()
{
    if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0)
        return;
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0)
        mount("korvalex-live-test", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777,size=256m");
}

void quiet(const char*) {}

pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const std::string& out,
            const std::string& err)
{
    const pid_t child = fork();
    if (child != 0)
        return child;
    prctl(PR_SET_PDEATHSIG, SIGKILL);  // a test that dies takes its processes along
    for (const std::string& e : env)
        putenv(const_cast<char*>(e.c_str()));
    const int o = open(out.empty() ? "/dev/null" : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = err == out ? o : open(err.empty() ? "/dev/null" : err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

jack_client_t* openClient(const std::string& name, const std::string& server)
{
    jack_status_t status{};
    return jack_client_open(name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName | JackUseExactName),
                            &status, server.c_str());
}

}  // namespace

bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

bool fileExists(const std::string& path)
{
    struct stat s{};
    return stat(path.c_str(), &s) == 0;
}

// ---- Scratch ------------------------------------------------------------------------------

Scratch::Scratch()
{
    char pattern[] = "/tmp/korvalex-live-test-XXXXXX";
    path_ = mkdtemp(pattern);
}

Scratch::~Scratch()
{
    if (!path_.empty() && !std::getenv("KORVALEX_KEEP_TEST_FILES"))
        std::system(("rm -rf '" + path_ + "'").c_str());
}

// ---- JackServer ---------------------------------------------------------------------------


JackServer::JackServer(uint32_t frames, uint32_t rate, bool synchronous)
    : name_("korvalex-live-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter))
{
    jack_set_error_function(quiet);
    jack_set_info_function(quiet);
    log_ = "/tmp/" + name_ + ".log";
    std::vector<std::string> args{"jackd", "-n", name_, "-d", "dummy", "-r", std::to_string(rate), "-p",
                                  std::to_string(frames)};
    if (synchronous)
        args.insert(args.begin() + 1, "-S");
    pid_ = spawn(args, {}, log_, log_);
    // Ready once a client can join it.
    const bool ready = waitUntil([&] {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return true;
        }
        jack_client_t* probe = openClient("probe", name_);
        if (!probe)
            return false;
        jack_client_close(probe);
        return true;
    });
    if (pid_ < 0 || !ready) {
        problem_ = "jackd did not start (is the jackd2 package installed?): " + readText(log_);
        kill(SIGKILL);
    }
}

JackServer::~JackServer()
{
    stop();
    unlink(log_.c_str());
}

void JackServer::stop() { kill(SIGTERM); }

void JackServer::kill(int signal)
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    if (signal == SIGTERM)
        return;
    // A server that could not unregister itself leaves its entry in the table of servers;
    // a server of the same name takes it over, and gives it back when it ends.
    const pid_t again = spawn({"jackd", "-n", name_, "-d", "dummy"}, {}, "", "");
    waitUntil([&] {
        jack_client_t* probe = openClient("probe", name_);
        if (probe)
            jack_client_close(probe);
        return probe != nullptr || waitpid(again, nullptr, WNOHANG) == again;
    });
    ::kill(again, SIGTERM);
    waitpid(again, nullptr, 0);
}

// ---- LiveProcess --------------------------------------------------------------------------

LiveProcess::LiveProcess(const std::vector<std::string>& args, const Scratch& scratch, const std::string& server,
                         const std::string& display)
{
    static int runs = 0;
    const std::string stem = scratch.path() + "/live-" + std::to_string(++runs);
    out_ = stem + ".out";
    err_ = stem + ".err";
    std::vector<std::string> argv{KORVALEX_LIVE_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env{"XDG_CONFIG_HOME=" + scratch.config(), "XDG_DATA_HOME=" + scratch.data(),
                                 "JACK_DEFAULT_SERVER=" + server, "JACK_NO_AUDIO_RESERVATION=1"};
    if (!display.empty())
        env.push_back("DISPLAY=" + display);
    pid_ = spawn(argv, env, out_, err_);
}

LiveProcess::~LiveProcess()
{
    if (pid_ > 0 && status_ < 0) {
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::string LiveProcess::output() const { return readText(out_); }
std::string LiveProcess::errors() const { return readText(err_); }

bool LiveProcess::waitForLine(const std::string& text)
{
    return waitUntil([&] { return output().find(text) != std::string::npos || waitForExit(std::chrono::seconds(0)) >= 0; }) &&
           output().find(text) != std::string::npos;
}

bool LiveProcess::waitUntilReady() { return waitForLine("Korvalex Live: JACK client"); }

void LiveProcess::signal(int s)
{
    if (pid_ > 0 && status_ < 0)
        ::kill(pid_, s);
}

int LiveProcess::waitForExit(std::chrono::seconds bound)
{
    if (status_ >= 0)
        return status_;
    int raw = 0;
    const bool ended = waitUntil([&] { return waitpid(pid_, &raw, WNOHANG) == pid_; }, bound);
    if (!ended)
        return -1;
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return status_;
}

int LiveProcess::quit()
{
    signal(SIGTERM);
    return waitForExit();
}

// ---- TestRig ------------------------------------------------------------------------------

TestRig::TestRig(const std::string& server)
{
    player_ = openClient("player", server);
    recorder_ = openClient("recorder", server);
    if (!ok())
        return;
    di_ = jack_port_register(player_, "di", JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
    midi_ = jack_port_register(player_, "midi", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    recLeft_ = jack_port_register(recorder_, "left", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    recRight_ = jack_port_register(recorder_, "right", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(player_, onPlayer, this);
    jack_set_xrun_callback(player_, onXrun, this);
    jack_set_process_callback(recorder_, onRecorder, this);
    jack_activate(player_);
    jack_activate(recorder_);
}

TestRig::~TestRig()
{
    for (jack_client_t* c : {player_, recorder_})
        if (c) {
            jack_deactivate(c);
            jack_client_close(c);
        }
}

bool TestRig::connectTo(const std::string& client)
{
    const auto link = [&](jack_client_t* c, const std::string& from, const std::string& to) {
        const int r = jack_connect(c, from.c_str(), to.c_str());
        return r == 0 || r == EEXIST;
    };
    return link(player_, "player:di", client + ":guitar_in") && link(player_, "player:midi", client + ":midi_in") &&
           link(recorder_, client + ":out_left", "recorder:left") && link(recorder_, client + ":out_right", "recorder:right");
}

TestRig::Take TestRig::playAndRecord(const std::vector<float>& di, std::vector<float>& left, std::vector<float>& right)
{
    left.assign(di.size(), 0.0f);
    right.assign(di.size(), 0.0f);
    di_samples_ = &di;
    recordLeft_ = left.data();
    recordRight_ = right.data();
    length_ = di.size();
    played_ = 0;
    recorded_ = 0;
    if (!waitUntil([&] { return quietFrames_.load() >= kSettledFrames; }, std::chrono::seconds(60)))
        return Take::Failed;
    const uint32_t xruns = xruns_.load(), gaps = gaps_.load();
    state_ = kRequested;
    const bool done = waitUntil([&] { return recorded_.load() >= length_; }, std::chrono::seconds(120));
    state_ = kIdle;
    waitCycles(2);  // both callbacks have let go of the buffers
    if (!done)
        return Take::Failed;
    return xruns_.load() == xruns && gaps_.load() == gaps ? Take::Clean : Take::Disturbed;
}

bool TestRig::setBufferSize(uint32_t frames)
{
    return jack_set_buffer_size(player_, frames) == 0 && waitUntil([&] { return lastFrames_.load() == frames; }) &&
           waitCycles(2);
}

void TestRig::loop(const std::vector<float>& di)
{
    di_samples_ = &di;
    length_ = di.size();
    played_ = 0;
    state_ = kLooping;
}

void TestRig::stop()
{
    state_ = kIdle;
    waitCycles(2);
}

std::vector<std::string> TestRig::connections(const std::string& port) const
{
    std::vector<std::string> names;
    const char** list = jack_port_get_all_connections(player_, jack_port_by_name(player_, port.c_str()));
    for (const char** n = list; n && *n; ++n)
        names.push_back(*n);
    if (list)
        jack_free(list);
    return names;
}

void TestRig::send(const Midi& message) { midiQueue_.push(message); }

bool TestRig::waitCycles(uint32_t cycles)
{
    const uint64_t until = cycles_.load() + cycles;
    return waitUntil([&] { return cycles_.load() >= until; });
}

int TestRig::onXrun(void* self)
{
    static_cast<TestRig*>(self)->xruns_.fetch_add(1);
    return 0;
}

int TestRig::onPlayer(jack_nframes_t frames, void* self)
{
    auto* rig = static_cast<TestRig*>(self);
    const jack_nframes_t now = jack_last_frame_time(rig->player_);
    if (rig->cycles_.load() > 0 && now != rig->nextFrame_ && frames == rig->lastFrames_.load())
        rig->gaps_.fetch_add(1);
    rig->lastFrames_.store(frames);
    rig->nextFrame_ = now + frames;
    void* midi = jack_port_get_buffer(rig->midi_, frames);
    jack_midi_clear_buffer(midi);
    Midi m{};
    while (rig->midiQueue_.pop(m)) {
        const jack_midi_data_t bytes[3] = {m.status, m.data1, m.data2};
        jack_midi_event_write(midi, 0, bytes, (m.status & 0xF0) == 0xC0 ? 2 : 3);
    }
    auto* out = static_cast<float*>(jack_port_get_buffer(rig->di_, frames));
    std::memset(out, 0, frames * sizeof(float));
    if (rig->state_.load() == kRequested) {
        rig->startFrame_.store(now);
        rig->state_.store(kPlaying);
    }
    if (rig->state_.load() == kLooping) {
        std::size_t at = rig->played_.load();
        for (jack_nframes_t i = 0; i < frames; ++i, at = at + 1 == rig->length_ ? 0 : at + 1)
            out[i] = (*rig->di_samples_)[at];
        rig->played_.store(at);
    }
    if (rig->state_.load() == kPlaying) {
        const std::size_t at = rig->played_.load();
        const std::size_t n = std::min<std::size_t>(frames, rig->length_ > at ? rig->length_ - at : 0);
        std::memcpy(out, rig->di_samples_->data() + at, n * sizeof(float));
        rig->played_.store(at + n);
    }
    rig->cycles_.fetch_add(1);
    return 0;
}

void TestRig::countQuietFrames(const float* left, const float* right, jack_nframes_t frames)
{
    std::size_t quiet = quietFrames_.load(std::memory_order_relaxed);
    for (jack_nframes_t i = 0; i < frames; ++i)
        quiet = std::fabs(left[i]) <= kSilence && std::fabs(right[i]) <= kSilence ? quiet + 1 : 0;
    quietFrames_.store(quiet, std::memory_order_relaxed);
}

int TestRig::onRecorder(jack_nframes_t frames, void* self)
{
    auto* rig = static_cast<TestRig*>(self);
    const auto* left = static_cast<const float*>(jack_port_get_buffer(rig->recLeft_, frames));
    const auto* right = static_cast<const float*>(jack_port_get_buffer(rig->recRight_, frames));
    rig->countQuietFrames(left, right, frames);
    if (rig->state_.load() != kPlaying || rig->recorded_.load() >= rig->length_)
        return 0;
    const jack_nframes_t now = jack_last_frame_time(rig->recorder_);
    const jack_nframes_t start = rig->startFrame_.load();
    if (static_cast<int32_t>(now - start) < 0)
        return 0;
    const std::size_t at = now - start;
    for (jack_nframes_t i = 0; i < frames && at + i < rig->length_; ++i) {
        rig->recordLeft_[at + i] = left[i];
        rig->recordRight_[at + i] = right[i];
    }
    rig->recorded_.store(std::min(rig->length_, at + frames));
    return 0;
}

// Takes disturbed by xruns are played again, up to this many in all: a busy machine
// (a parallel test run, other builds) loses a cycle now and then.
constexpr int kTakes = 8;
constexpr uint32_t kFadeInCycles = 12;  // the plug-in's switch fades take ten blocks

bool playThroughLive(const std::vector<std::string>& args, const Scratch& scratch, const std::string& server,
                     const std::vector<float>& di, std::vector<float>& left, std::vector<float>& right,
                     std::string& problem, const std::function<bool(TestRig&, LiveProcess&)>& before)
{
    std::vector<std::string> all{"--no-gui", "--no-connect", "--name", "kx"};
    all.insert(all.end(), args.begin(), args.end());
    for (int attempt = 0; attempt < kTakes; ++attempt) {
        LiveProcess live(all, scratch, server);
        if (!live.waitUntilReady()) {
            problem = "korvalex-live did not start: " + live.errors();
            return false;
        }
        TestRig rig(server);
        // The plug-in's switch fades run for ten blocks after its start or a program change,
        // unseen while the output is silent (as they are in a renderer's preroll): a take
        // starts no sooner.
        if (!rig.ok() || !rig.connectTo("kx") || !rig.waitCycles(kFadeInCycles)) {
            problem = "the test's clients cannot connect to korvalex-live";
            return false;
        }
        if (before && !before(rig, live)) {
            problem = "korvalex-live did not do what was asked before the take: " + live.output() + live.errors();
            return false;
        }
        const TestRig::Take take = rig.playAndRecord(di, left, right);
        if (live.quit() != 0) {
            problem = "korvalex-live failed: " + live.errors();
            return false;
        }
        if (take == TestRig::Take::Failed) {
            problem = "nothing was recorded";
            return false;
        }
        if (take == TestRig::Take::Clean)
            return true;
    }
    problem = "every take was disturbed by xruns (is the machine very busy?)";
    return false;
}

// ---- DI and renders -----------------------------------------------------------------------

std::vector<float> guitarDi(double seconds, uint64_t seed)
{
    GuitarSignal guitar(seed);
    std::vector<float> samples(static_cast<std::size_t>(seconds * 44100.0));
    guitar.fill(samples.data(), samples.size());
    return samples;
}

std::vector<float> cabinetResponse(uint32_t seed)
{
    std::vector<float> taps(4410);
    for (std::size_t i = 0; i < taps.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        taps[i] = static_cast<float>((seed >> 8) / 8388608.0 - 1.0) * std::exp(-static_cast<double>(i) / 600.0);
    }
    return taps;
}

bool writeMonoWav(const std::string& path, const std::vector<float>& samples)
{
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return false;
    const bool ok = sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size())) ==
                    static_cast<sf_count_t>(samples.size());
    sf_close(file);
    return ok;
}

bool render(const std::string& diWav, const std::string& outWav, const std::vector<std::string>& args,
            std::vector<float>& left, std::vector<float>& right, std::string& errors)
{
    std::vector<std::string> argv{KORVALEX_RENDER_PATH, "-q", "--force", "--no-align", "--tail", "0", "--float"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(diWav);
    argv.push_back(outWav);
    const std::string err = outWav + ".err";
    const pid_t child = spawn(argv, {}, "", err);
    int status = 0;
    waitpid(child, &status, 0);
    errors = readText(err);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    SF_INFO info{};
    SNDFILE* file = sf_open(outWav.c_str(), SFM_READ, &info);
    if (!file || info.channels != 2) {
        errors += "cannot read the render";
        return false;
    }
    std::vector<float> frames(static_cast<std::size_t>(info.frames) * 2);
    sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    left.resize(static_cast<std::size_t>(info.frames));
    right.resize(left.size());
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = frames[2 * i];
        right[i] = frames[2 * i + 1];
    }
    return true;
}

double stateValue(const std::string& stateText, const std::string& key)
{
    const std::string prefix = key + " = ";
    const std::size_t at = stateText.find("\n" + prefix);
    if (at == std::string::npos)
        return -1.0;
    return std::strtod(stateText.c_str() + at + 1 + prefix.size(), nullptr);
}

}  // namespace livetest

namespace livetest {

::testing::AssertionResult sameAsRender(const Scratch& scratch, const std::vector<float>& di,
                                        const std::vector<std::string>& renderArgs, const std::vector<float>& left,
                                        const std::vector<float>& right, float tolerance)
{
    const std::string wav = scratch.path() + "/di.wav";
    std::vector<float> refLeft, refRight;
    std::string errors;
    if (!writeMonoWav(wav, di) || !render(wav, scratch.path() + "/render.wav", renderArgs, refLeft, refRight, errors))
        return ::testing::AssertionFailure() << "korvalex-render failed: " << errors;
    if (refLeft.size() != di.size() || left.size() != di.size())
        return ::testing::AssertionFailure() << "the render has " << refLeft.size() << " frames, not " << di.size();
    const std::size_t length = di.size() - kRenderFadeFrames;
    float loudest = 0.0f;
    for (std::size_t i = 0; i < length; ++i)
        loudest = std::max({loudest, std::fabs(refLeft[i]), std::fabs(refRight[i])});
    const float allowed = tolerance * loudest;
    bool silence = true;  // until the render first rises above the engine's silence
    for (std::size_t i = 0; i < length; ++i) {
        silence = silence && std::fabs(refLeft[i]) <= kSilence && std::fabs(refRight[i]) <= kSilence;
        for (const auto& [live, ref, side] : {std::make_tuple(&left, &refLeft, "left"), std::make_tuple(&right, &refRight, "right")}) {
            const float a = (*live)[i], b = (*ref)[i];
            if (silence ? (std::fabs(a) > kSilence || std::fabs(b) > kSilence) : std::fabs(a - b) > allowed)
                return ::testing::AssertionFailure() << side << " differs at frame " << i << ": " << a << " live, " << b
                                                     << " rendered";
        }
    }
    if (loudest < 0.01f)
        return ::testing::AssertionFailure() << "the render is nearly silent (" << loudest << "): nothing to compare";
    return ::testing::AssertionSuccess();
}

}  // namespace livetest
