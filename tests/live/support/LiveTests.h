#pragma once
// Support of Korvalex Live's tests, all against the real thing: a private JACK server on
// its dummy driver, korvalex-live started as a program of its own, and JACK clients of
// ours that play a DI into it, send it MIDI and record what comes out.

#include <gtest/gtest.h>
#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "live/SpscQueue.h"

namespace livetest {

bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds bound = std::chrono::seconds(30));

std::string readText(const std::string& path);
void writeText(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);

// A scratch folder of its own for each test (removed at the end): XDG_CONFIG_HOME and
// XDG_DATA_HOME of the korvalex-live it starts, and its files.
class Scratch {
public:
    Scratch();
    ~Scratch();
    const std::string& path() const { return path_; }
    std::string config() const { return path_ + "/config"; }
    std::string data() const { return path_ + "/data"; }
    std::string stateFile() const { return config() + "/korvalex/live.conf"; }
    std::string presetFolder() const { return data() + "/korvalex/presets"; }

private:
    std::string path_;
};

// jackd [-S] -n NAME -d dummy -r RATE -p FRAMES, private to the test, ended with it.
// Synchronous (-S, the tests' choice): every cycle waits until every client has processed
// it, so that a busy machine makes cycles late rather than losing one.
class JackServer {
public:
    explicit JackServer(uint32_t frames, uint32_t rate = 44100, bool synchronous = true);
    ~JackServer();  // stop()
    bool running() const { return pid_ > 0; }
    const std::string& name() const { return name_; }
    const std::string& problem() const { return problem_; }
    void kill(int signal);  // and wait for it
    void stop();

private:
    std::string name_;
    std::string log_;
    std::string problem_;
    int pid_ = -1;
};

// korvalex-live with the given arguments, its standard output and error in files.
class LiveProcess {
public:
    LiveProcess(const std::vector<std::string>& args, const Scratch& scratch, const std::string& server,
                const std::string& display = "");
    ~LiveProcess();  // ends it if it still runs
    std::string output() const;
    std::string errors() const;
    // Waits for the start line (ports connected, window open); false if it ended first.
    bool waitUntilReady();
    bool waitForLine(const std::string& text);  // in the standard output
    void signal(int signal);
    // Waits for the end (at most `bound`); the exit status, or -1 when it did not end.
    int waitForExit(std::chrono::seconds bound = std::chrono::seconds(20));
    // SIGTERM, then the exit status.
    int quit();

private:
    int pid_ = -1;
    int status_ = -1;
    std::string out_, err_;
};

struct Midi {
    uint8_t status, data1, data2;
};

// Two clients of ours: "player" with a DI output and a MIDI output, "recorder" with two
// inputs. Played and recorded frames are lined up by JACK's frame time: frame k of the
// recording is what came out in the same frame as the DI's frame k.
class TestRig {
public:
    explicit TestRig(const std::string& server);
    ~TestRig();
    bool ok() const { return player_ && recorder_; }

    // Connects DI -> Korvalex:guitar_in, its outputs -> the recorder, MIDI -> midi_in.
    bool connectTo(const std::string& client);
    enum class Take { Clean, Disturbed, Failed };
    // Plays `di` from the next cycle on and records the same number of frames; waits. The
    // take starts once the client's output has stayed at silence for kSettledFrames (a
    // program chosen at its start may ring out first, as it does in the renderer's
    // preroll). A take during which the server lost a cycle (an xrun) is Disturbed: what
    // came out is not what a steady stream gives.
    Take playAndRecord(const std::vector<float>& di, std::vector<float>& left, std::vector<float>& right);
    // Plays `di` over and over until stop() (for measurements).
    void loop(const std::vector<float>& di);
    void stop();
    uint32_t xruns() const { return xruns_.load(); }
    // Asks the server for another buffer size and waits until the cycles have it.
    bool setBufferSize(uint32_t frames);
    float dspLoad() const { return jack_cpu_load(player_); }
    void send(const Midi& message);
    // Waits until the server has run `cycles` more cycles.
    bool waitCycles(uint32_t cycles);
    // The ports a port is connected to.
    std::vector<std::string> connections(const std::string& port) const;

private:
    static int onPlayer(jack_nframes_t frames, void* self);
    static int onXrun(void* self);
    static int onRecorder(jack_nframes_t frames, void* self);
    void countQuietFrames(const float* left, const float* right, jack_nframes_t frames);

    jack_client_t* player_ = nullptr;
    jack_client_t* recorder_ = nullptr;
    jack_port_t* di_ = nullptr;
    jack_port_t* midi_ = nullptr;
    jack_port_t* recLeft_ = nullptr;
    jack_port_t* recRight_ = nullptr;
    live::SpscQueue<Midi, 64> midiQueue_;
    std::atomic<uint64_t> cycles_{0};
    // Set by the main thread while idle; read by the audio threads while playing.
    const std::vector<float>* di_samples_ = nullptr;
    float* recordLeft_ = nullptr;
    float* recordRight_ = nullptr;
    std::size_t length_ = 0;
    enum : int { kIdle, kRequested, kPlaying, kLooping };
    std::atomic<int> state_{kIdle};
    std::atomic<jack_nframes_t> startFrame_{0};
    std::atomic<std::size_t> played_{0};
    std::atomic<std::size_t> recorded_{0};
    std::atomic<uint32_t> xruns_{0};
    jack_nframes_t nextFrame_ = 0;  // player's thread: the frame time the next cycle should have
    std::atomic<uint32_t> lastFrames_{0};
    std::atomic<uint32_t> gaps_{0};
    std::atomic<std::size_t> quietFrames_{0};  // the recorder's frames of silence in a row
};

// korvalex-live with `args` (a client named "kx"), the DI played through it; a take
// disturbed by an xrun is played again with a new korvalex-live (up to eight takes).
bool playThroughLive(const std::vector<std::string>& args, const Scratch& scratch, const std::string& server,
                     const std::vector<float>& di, std::vector<float>& left, std::vector<float>& right,
                     std::string& problem, const std::function<bool(TestRig&, LiveProcess&)>& before = {});

// The output recorded from korvalex-live against korvalex-render's for the same DI (with
// `renderArgs`): every frame from the first that rises above the engine's silence (the
// offsets against denormals, below -300 dBFS) is the same float. Before it, both hold that
// silence, whose last bits depend on how long the engine ran before the DI came: the
// frames of the cabinet's delay, and a quiet start of the DI. With a tolerance, frames may
// differ by that fraction of the render's peak: a cabinet file's longer partitions add
// their parts in an order that depends on where the DI began against their blocks.
::testing::AssertionResult sameAsRender(const Scratch& scratch, const std::vector<float>& di,
                                        const std::vector<std::string>& renderArgs, const std::vector<float>& left,
                                        const std::vector<float>& right, float tolerance = 0.0f);

// What a cabinet file's output may differ by, against the render's peak: the rounding of
// its longer partitions, which depends on where the DI began against their 512-sample
// blocks, reaches 1.4e-4 of the peak at the chain's output. A file 0.1 dB louder differs by
// 1.2e-2, another cabinet by the whole signal.
constexpr float kCabinetFileTolerance = 1e-3f;

// A guitar-like DI (plucked strings, peaks about -10 dBFS), deterministic.
std::vector<float> guitarDi(double seconds, uint64_t seed = 7);
// A speaker cabinet's impulse response as a user's file holds one: a tenth of a second of
// decaying noise, deterministic; unlike any of the programs' own.
std::vector<float> cabinetResponse(uint32_t seed = 1);
bool writeMonoWav(const std::string& path, const std::vector<float>& samples);
// korvalex-render --no-align --tail 0 --float with these arguments; false with its errors.
bool render(const std::string& diWav, const std::string& outWav, const std::vector<std::string>& args,
            std::vector<float>& left, std::vector<float>& right, std::string& errors);

// Frames at the end of a render that its fade-out changes.
constexpr std::size_t kRenderFadeFrames = 441;
// The level of the engine's silence.
constexpr float kSilence = 1e-15f;
// Silent frames the renderer runs before the first frame it renders (16 blocks of 512).
constexpr std::size_t kSettledFrames = 8192;

// The value of "parameter N" in a state file, or -1.
double stateValue(const std::string& stateText, const std::string& key);

}  // namespace livetest
