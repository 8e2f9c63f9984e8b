// Korvalex Live's JACK process callback neither allocates, frees, locks nor calls the system,
// whatever happens around it: a guitar playing, Program and Control Changes arriving, the
// main thread applying them to the plug-in, the buffer size changing.
//
// The pieces of korvalex-live (plug-in, audio path, JACK client, controller) run in this
// test's process against a private jackd. Every process callback registered here is
// wrapped (this executable's jack_set_process_callback goes before libjack's) so that the
// one of Korvalex Live's client is counted with tests/support/CallCounting's hooks.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <jack/jack.h>

#include <atomic>
#include <set>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "host/PluginHost.h"
#include "live/AudioPath.h"
#include "live/JackSession.h"
#include "live/LiveController.h"
#include "live/MidiMap.h"
#include "live/PresetLibrary.h"
#include "plugin/EntryPoint.h"
#include "tests/live/support/LiveTests.h"
#include "tests/support/CallCounting.h"

namespace {

constexpr const char* kClient = "kx";

struct Wrapped {
    JackProcessCallback callback;
    void* argument;
    bool counted;
};

std::atomic<long> countedCycles{0};
std::atomic<long> allocations{0}, releases{0}, locks{0}, systemCalls{0};

int countingProcess(jack_nframes_t frames, void* argument)
{
    auto* w = static_cast<Wrapped*>(argument);
    if (!w->counted)
        return w->callback(frames, w->argument);
    int result = 0;
    callcount::Counts c;
    {
        callcount::CountingScope scope;
        result = w->callback(frames, w->argument);
        c = scope.counts();
    }
    countedCycles.fetch_add(1);
    allocations.fetch_add(c.allocations);
    releases.fetch_add(c.releases);
    locks.fetch_add(c.locks);
    systemCalls.fetch_add(c.systemCalls);
    return result;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int jack_set_process_callback(jack_client_t* client,
                                                                                 JackProcessCallback callback,
                                                                                 void* argument)
{
    using Setter = int (*)(jack_client_t*, JackProcessCallback, void*);
    static const auto real = reinterpret_cast<Setter>(dlsym(RTLD_NEXT, "jack_set_process_callback"));
    auto* w = new Wrapped{callback, argument, std::strcmp(jack_get_client_name(client), kClient) == 0};
    return real(client, countingProcess, w);
}

namespace {

using namespace livetest;

TEST(LiveProcessCallback, NeverAllocatesLocksOrCallsTheSystem)
{
    JackServer server(64);
    ASSERT_TRUE(server.running()) << server.problem();
    Scratch scratch;
    std::string error;
    std::unique_ptr<PluginHost> plugin = PluginHost::attach(korvalexPluginMain, "Korvalex", error);
    ASSERT_TRUE(plugin) << error;
    plugin->setRecording(false);
    live::AudioPath audio(plugin->effect());
    bool noServer = false;
    std::unique_ptr<live::JackSession> jack = live::JackSession::open(kClient, server.name(), audio, error, noServer);
    ASSERT_TRUE(jack) << error;
    audio.setUp(*plugin, jack->sampleRate(), jack->bufferSize());
    audio.setInputGainDb(9.0);
    live::PresetLibrary presets(scratch.presetFolder());
    live::LiveController controller(*plugin, presets, live::MidiMap::defaults(), [](const std::string&, bool) {});
    ASSERT_TRUE(jack->activate(error)) << error;
    TestRig rig(server.name());
    ASSERT_TRUE(rig.connectTo(kClient));

    // The guitar plays on its own thread while this one sends and applies MIDI and, half
    // way, changes the buffer size, as korvalex-live's main loop does.
    const std::vector<float> di = guitarDi(6.0);
    std::vector<float> left, right;
    std::atomic<bool> played{false};
    std::thread guitar([&] {
        rig.playAndRecord(di, left, right);
        played = true;
    });
    // Until the guitar has played, the buffer size has changed and Program Change has gone
    // through the whole bank, with Control Changes between.
    int round = 0;
    bool resized = false;
    std::set<int> programs;
    while (!played.load() || !resized || round < 100) {
        ++round;
        rig.send({0xC0, static_cast<uint8_t>((round * 7) % 82), 0});
        rig.send({0xB0, 7, static_cast<uint8_t>(round % 128)});
        rig.send({0xB0, 81, static_cast<uint8_t>(round % 2 ? 127 : 0)});
        rig.send({0xB0, 4, static_cast<uint8_t>((round * 5) % 128)});
        rig.waitCycles(8);
        live::MidiMessage m;
        while (jack->nextMidiMessage(m)) {
            controller.handleMidi(m);
            programs.insert(controller.currentEntry());
        }
        if (!resized && countedCycles.load() > 1500) {
            jack_set_buffer_size(jack->clientHandle(), 256);
            resized = true;
        }
        if (jack->takeNewBufferSize())
            audio.setUp(*plugin, jack->sampleRate(), jack->bufferSize());
    }
    guitar.join();
    jack.reset();

    EXPECT_GT(countedCycles.load(), 2000);
    EXPECT_TRUE(resized);
    EXPECT_GT(programs.size(), 60u) << "programs chosen by MIDI";
    float loudest = 0.0f;
    for (float s : left)
        loudest = std::max(loudest, std::fabs(s));
    EXPECT_GT(loudest, 0.01f) << "the plug-in played";
    EXPECT_EQ(allocations.load(), 0);
    EXPECT_EQ(releases.load(), 0);
    EXPECT_EQ(locks.load(), 0);
    EXPECT_EQ(systemCalls.load(), 0);
}

}  // namespace
