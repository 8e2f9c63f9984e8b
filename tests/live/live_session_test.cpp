// What outlives a session of Korvalex Live, what MIDI does to it, and how it ends: the
// state comes back at the next start; damaged state and preset files are reported and
// change nothing; Program and Control Changes reach the sound; the JACK server going
// away (or not being there) ends it with a message.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "host/PresetFile.h"
#include "tests/live/support/LiveTests.h"

namespace {

using namespace livetest;

constexpr uint32_t kPeriod = 512;
constexpr float kVolume64 = 64.0f / 127.0f;  // Control Change value 64
constexpr VstInt32 kKorvalexId = 0x524F7269;

std::string setting(const char* name, float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s=%.9g", name, static_cast<double>(value));
    return text;
}

class LiveSession : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.running()) << server.problem(); }

    // The state a session with `args` leaves when it only starts and ends.
    std::string stateAfter(const std::vector<std::string>& args)
    {
        Scratch own;
        LiveProcess live(args, own, server.name());
        EXPECT_TRUE(live.waitUntilReady()) << live.errors();
        EXPECT_EQ(live.quit(), 0);
        return readText(own.stateFile());
    }

    // Plays the DI through korvalex-live with `args`: the same samples as korvalex-render
    // with `renderArgs`?
    ::testing::AssertionResult playsLikeRender(const std::vector<std::string>& args,
                                               const std::vector<std::string>& renderArgs,
                                               const std::function<bool(TestRig&, LiveProcess&)>& before = {},
                                               float tolerance = 0.0f)
    {
        const std::vector<float> di = guitarDi(2.0);
        std::vector<float> left, right;
        std::string problem;
        if (!playThroughLive(args, scratch, server.name(), di, left, right, problem, before))
            return ::testing::AssertionFailure() << problem;
        return sameAsRender(scratch, di, renderArgs, left, right, tolerance);
    }

    JackServer server{kPeriod};
    Scratch scratch;
};

TEST_F(LiveSession, SavedStateComesBackAtTheNextStart)
{
    {
        LiveProcess live({"--no-gui", "--name", "kx", "--program", "Fuzz", "--input-gain", "6", "--input",
                          "system:capture_2", "--output", "system:playback_2,system:playback_1"},
                         scratch, server.name());
        ASSERT_TRUE(live.waitUntilReady()) << live.errors();
        TestRig rig(server.name());
        ASSERT_TRUE(rig.connectTo("kx"));
        rig.send({0xB0, 7, 64});   // Volume, through the default map
        rig.send({0xB3, 22, 10});  // not mapped: nothing
        ASSERT_TRUE(rig.waitCycles(20));
        EXPECT_EQ(live.quit(), 0) << live.errors();
    }
    const std::string saved = readText(scratch.stateFile());
    EXPECT_EQ(stateValue(saved, "program"), 47);
    EXPECT_EQ(static_cast<float>(stateValue(saved, "parameter 3")), kVolume64);
    EXPECT_EQ(stateValue(saved, "input-gain"), 6);
    for (const char* line : {"connect guitar_in = system:capture_2\n", "connect out_left = system:playback_2\n",
                             "connect out_right = system:playback_1\n", "connect midi_in = player:midi\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << saved;

    // The next start without options: the same ports, the same state...
    {
        LiveProcess live({"--no-gui", "--name", "kx"}, scratch, server.name());
        ASSERT_TRUE(live.waitUntilReady()) << live.errors();
        EXPECT_NE(live.output().find("program 47 Fuzz"), std::string::npos) << live.output();
        {
            TestRig rig(server.name());
            EXPECT_EQ(rig.connections("kx:guitar_in"), std::vector<std::string>{"system:capture_2"});
            EXPECT_EQ(rig.connections("kx:out_left"), std::vector<std::string>{"system:playback_2"});
            EXPECT_EQ(rig.connections("kx:out_right"), std::vector<std::string>{"system:playback_1"});
            // The test's player did not exist when korvalex-live started: its MIDI
            // connection could not be made, but is kept for next time.
            EXPECT_EQ(rig.connections("kx:midi_in"), std::vector<std::string>{});
        }
        EXPECT_EQ(live.quit(), 0);
        EXPECT_EQ(readText(scratch.stateFile()), saved) << "a session that changes nothing saves the same state";
    }
    // ...and the same sound and gain.
    EXPECT_TRUE(playsLikeRender({}, {"--program", "47", "--set", setting("Volume", kVolume64), "--input-gain", "6"}));
}

TEST_F(LiveSession, ProgramAndControlChangesReachTheSound)
{
    const std::string map = scratch.path() + "/pedals.map";
    writeText(map, "# two pedals\n20 = Treble\n21 = Chorus Bypass\n");
    EXPECT_TRUE(playsLikeRender({"--midi-map", map}, {"--program", "47", "--set", "Treble=1"},
                                [](TestRig& rig, LiveProcess& live) {
                                    rig.send({0xC5, 47, 0});  // any channel
                                    if (!live.waitForLine("program 47 Fuzz"))
                                        return false;
                                    rig.send({0xB0, 20, 127});  // Treble up
                                    rig.send({0xB0, 7, 0});     // Volume: not in this map
                                    rig.send({0xC0, 82, 0});    // no user preset 82: nothing changes
                                    return rig.waitCycles(30);  // the switch fades have settled
                                }));
    const std::string saved = readText(scratch.stateFile());
    EXPECT_EQ(stateValue(saved, "program"), 47);
    EXPECT_EQ(stateValue(saved, "parameter 5"), 1);    // Treble
    EXPECT_EQ(stateValue(saved, "parameter 3"), 0.5);  // Volume as the program has it

    LiveProcess live({"--no-gui", "--name", "kx", "--midi-map", map}, scratch, server.name());
    ASSERT_TRUE(live.waitUntilReady()) << live.errors();
    TestRig rig(server.name());
    ASSERT_TRUE(rig.connectTo("kx"));
    rig.send({0xB0, 21, 64});  // a switch is on from 64 up
    ASSERT_TRUE(rig.waitCycles(10));
    EXPECT_EQ(live.quit(), 0);
    EXPECT_EQ(stateValue(readText(scratch.stateFile()), "parameter 15"), 1);  // Chorus Bypass
}

TEST_F(LiveSession, DamagedStateIsReportedKeptAndReplaced)
{
    const std::string garbage = std::string("format = 1\nprogram = 12\n\x01\x02\x03 binary\n");
    std::system(("mkdir -p " + scratch.config() + "/korvalex").c_str());
    writeText(scratch.stateFile(), garbage);
    LiveProcess live({"--no-gui", "--name", "kx"}, scratch, server.name());
    ASSERT_TRUE(live.waitUntilReady()) << live.errors();
    EXPECT_NE(live.errors().find(scratch.stateFile() + " is damaged (line 3"), std::string::npos) << live.errors();
    EXPECT_NE(live.errors().find("kept as " + scratch.stateFile() + ".damaged"), std::string::npos);
    // The defaults: program 0, and the first physical ports.
    EXPECT_NE(live.output().find("program 00 Basic Classic Clean"), std::string::npos);
    {
        TestRig rig(server.name());
        EXPECT_EQ(rig.connections("kx:guitar_in"), std::vector<std::string>{"system:capture_1"});
        EXPECT_EQ(rig.connections("kx:out_left"), std::vector<std::string>{"system:playback_1"});
        EXPECT_EQ(rig.connections("kx:out_right"), std::vector<std::string>{"system:playback_2"});
    }
    EXPECT_EQ(live.quit(), 0);
    EXPECT_EQ(readText(scratch.stateFile() + ".damaged"), garbage);
    EXPECT_EQ(stateValue(readText(scratch.stateFile()), "program"), 0);
}

TEST_F(LiveSession, PresetFilesLoadAndDamagedOnesChangeNothing)
{
    // Program 47 with the Volume turned down, saved as a VST 2 host saves a program.
    const std::string fuzz = stateAfter({"--no-gui", "--no-connect", "--program", "47"});
    ProgramPreset preset;
    preset.pluginId = kKorvalexId;
    preset.pluginVersion = 1;
    preset.name = "Quiet Fuzz";
    for (int i = 0; i < 53; ++i)
        preset.values.push_back(static_cast<float>(stateValue(fuzz, "parameter " + std::to_string(i))));
    preset.values[3] = 0.25f;
    const std::string quiet = scratch.path() + "/quiet.fxp";
    std::string error;
    ASSERT_TRUE(writePresetFile(quiet, preset, error)) << error;
    EXPECT_TRUE(playsLikeRender({"--preset", quiet}, {"--preset", quiet}));
    EXPECT_EQ(stateValue(readText(scratch.stateFile()), "parameter 3"), 0.25);

    // A damaged preset, from the command line and from the preset folder by Program Change.
    std::vector<unsigned char> bytes = encodePresetFile(preset);
    bytes.resize(100);
    const std::string truncated = scratch.path() + "/truncated.fxp";
    writeText(truncated, std::string(bytes.begin(), bytes.end()));
    std::system(("mkdir -p '" + scratch.presetFolder() + "'").c_str());
    writeText(scratch.presetFolder() + "/Broken.fxp", std::string(bytes.begin(), bytes.end()));
    EXPECT_TRUE(playsLikeRender({"--program", "47", "--preset", truncated}, {"--program", "47"},
                                [&](TestRig& rig, LiveProcess& live) {
                                    rig.send({0xC0, 82, 0});  // the first user preset: Broken
                                    return waitUntil([&] {
                                        return live.errors().find("Broken.fxp: is truncated") != std::string::npos;
                                    }) && live.errors().find("cannot load the preset: " + truncated +
                                                             ": is truncated: 53 parameter values need 268 bytes, "
                                                             "the file has 100") != std::string::npos;
                                }));
}

// A cabinet file from the command line plays as korvalex-render plays it, with its gain, and
// again at the next start; --own-cabinet puts the program's own back; a file that cannot
// be used is reported and the program's own plays.
TEST_F(LiveSession, CabinetFilesFromTheCommandLinePlayAsTheRenderPlaysThem)
{
    const std::string ir = scratch.path() + "/My 2x12.wav", notAudio = scratch.path() + "/notes.wav";
    ASSERT_TRUE(writeMonoWav(ir, cabinetResponse()));
    writeText(notAudio, "RIFF, but not audio");
    const std::vector<std::string> withIr{"--program", "47", "--cabinet", ir, "--cabinet-gain", "-4"};
    const std::vector<std::string> own{"--program", "47"};
    {
        const std::vector<float> di = guitarDi(0.5);
        std::vector<float> a, b, c, d;
        std::string errors;
        ASSERT_TRUE(writeMonoWav(scratch.path() + "/short.wav", di));
        ASSERT_TRUE(render(scratch.path() + "/short.wav", scratch.path() + "/ir.wav", withIr, a, b, errors)) << errors;
        ASSERT_TRUE(render(scratch.path() + "/short.wav", scratch.path() + "/own.wav", own, c, d, errors)) << errors;
        ASSERT_NE(a, c) << "the file must sound unlike the program's own cabinet";
    }
    struct Case {
        const char* what;
        std::vector<std::string> args;
        const std::vector<std::string>& renderArgs;
        std::string note;   // in the output
        std::string error;  // in the errors
        std::string stateLines;
    };
    const Case cases[] = {
        {"a file and a gain", withIr, withIr, "cabinet My 2x12.wav: ", "",
         "cabinet = " + ir + "\ncabinet-gain = -4\n"},
        {"the last session's", {}, withIr, "cabinet My 2x12.wav: ", "", "cabinet = " + ir + "\n"},
        {"the program's own", {"--own-cabinet"}, own, "", "", "cabinet-gain = -4\n"},
        {"a file refused", {"--cabinet", notAudio}, own, "", "cabinet " + notAudio + ": not an audio file", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string output, errors;
        EXPECT_TRUE(playsLikeRender(
            c.args, c.renderArgs,
            [&](TestRig&, LiveProcess& live) {
                output = live.output();
                errors = live.errors();
                return true;
            },
            kCabinetFileTolerance));
        EXPECT_EQ(c.note.empty(), output.find("cabinet ") == std::string::npos) << output;
        EXPECT_NE(output.find(c.note), std::string::npos) << output;
        EXPECT_NE(errors.find(c.error), std::string::npos) << errors;
        const std::string state = readText(scratch.stateFile());
        EXPECT_NE(state.find(c.stateLines), std::string::npos) << state;
        EXPECT_EQ(c.stateLines.rfind("cabinet = ", 0) == 0, state.find("cabinet = ") != std::string::npos) << state;
    }
}

TEST_F(LiveSession, TheServerGoingAwayEndsItWithAMessage)
{
    for (int how : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(how == SIGTERM ? "jackd ended" : "jackd killed");
        JackServer doomed(kPeriod);
        ASSERT_TRUE(doomed.running()) << doomed.problem();
        Scratch own;
        LiveProcess live({"--no-gui", "--program", "5"}, own, doomed.name());
        ASSERT_TRUE(live.waitUntilReady()) << live.errors();
        doomed.kill(how);
        EXPECT_EQ(live.waitForExit(), 3) << live.errors();
        EXPECT_NE(live.errors().find("the JACK server has gone away"), std::string::npos) << live.errors();
        EXPECT_EQ(stateValue(readText(own.stateFile()), "program"), 5) << "the state is saved";
    }
}

TEST(LiveWithoutServer, SaysSoAndFails)
{
    Scratch scratch;
    LiveProcess live({"--no-gui"}, scratch, "korvalex-no-such-server");
    EXPECT_EQ(live.waitForExit(), 1);
    EXPECT_NE(live.errors().find("no JACK server named \"korvalex-no-such-server\" is running"), std::string::npos)
        << live.errors();
    EXPECT_NE(live.errors().find("jackd -d alsa"), std::string::npos) << "it says how to start one";
    EXPECT_FALSE(fileExists(scratch.stateFile())) << "a session that never ran saves nothing";
}

}  // namespace
