// The cabinet of Korvalex Live, through the plug-in linked in: a file chosen plays once it
// has been read, a later choice replaces one still being read, a file that cannot be used
// changes nothing; the menu lists the folder's audio files; the command line and the
// state file carry the choice.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui/controls/COptionMenu.h"
#include "host/PluginFacts.h"
#include "host/PluginHost.h"
#include "irfile/CabinetFile.h"
#include "live/CabinetChoice.h"
#include "live/LiveOptions.h"
#include "live/LiveState.h"
#include "live/Strip.h"
#include "plugin/EntryPoint.h"

namespace {

using live::CabinetChoice;

constexpr int kFrames = 4096;
constexpr int kSettleFrames = 3 * 44100;
constexpr int kBlock = 256;
constexpr float kRingTolerance = 1e-3f;  // a response 0.1 dB off differs by 1e-2

std::unique_ptr<PluginHost> startedPlugin()
{
    std::string error;
    std::unique_ptr<PluginHost> plugin = PluginHost::attach(korvalexPluginMain, "Korvalex", error);
    EXPECT_TRUE(plugin) << error;
    plugin->setRecording(false);
    plugin->setSampleRate(44100.0f);
    plugin->setBlockSize(kBlock);
    plugin->setMainsOn(true);
    return plugin;
}

// The plug-in's answer to a click, after the rings of earlier ones have died away: what a
// listener hears of its cabinet.
std::vector<float> impulseResponse(PluginHost& plugin)
{
    std::vector<float> silence(kSettleFrames, 0.0f), ignored(kSettleFrames);
    plugin.processStereo(silence.data(), silence.data(), ignored.data(), ignored.data(), kSettleFrames, kBlock);
    std::vector<float> in(kFrames, 0.0f), left(kFrames), right(kFrames);
    in[0] = 0.5f;
    plugin.processStereo(in.data(), in.data(), left.data(), right.data(), kFrames, kBlock);
    return left;
}

// The same response, but for what is left of earlier clicks (far below its peak).
::testing::AssertionResult sameResponse(const std::vector<float>& heard, const std::vector<float>& expected)
{
    float peak = 0.0f, error = 0.0f;
    for (size_t i = 0; i < heard.size(); ++i) {
        peak = std::max(peak, std::fabs(expected[i]));
        error = std::max(error, std::fabs(heard[i] - expected[i]));
    }
    if (peak > 0.0f && error <= kRingTolerance * peak)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "differs by " << error << " at a peak of " << peak;
}

// A decaying noise burst of `seconds`, as a recorded cabinet's response looks.
void writeResponse(const std::string& path, double seconds, uint32_t seed)
{
    std::vector<float> taps(static_cast<size_t>(seconds * 44100));
    for (size_t i = 0; i < taps.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        taps[i] = static_cast<float>((seed >> 8) / 8388608.0 - 1.0) * std::exp(-double(i) / 600.0);
    }
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path;
    sf_writef_float(file, taps.data(), static_cast<sf_count_t>(taps.size()));
    sf_close(file);
}

class Cabinet : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/korvalex-cabinet-test-XXXXXX";
        folder = mkdtemp(pattern);
        writeResponse(folder + "/Room.wav", 0.1, 1);
        writeResponse(folder + "/Hall.wav", 0.5, 2);
        std::system(("printf 'not audio' > '" + folder + "/Broken.wav'").c_str());
        plugin = startedPlugin();
        choice = std::make_unique<CabinetChoice>(*plugin, folder + "//", [this](const std::string& text, bool error) {
            (error ? errors : notes).push_back(text);
        });
    }
    void TearDown() override
    {
        choice.reset();
        plugin.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    // Polls as the main loop does until the file being read has been dealt with.
    void settle()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (choice->reading() && std::chrono::steady_clock::now() < end) {
            choice->poll();
            std::this_thread::yield();
        }
        choice->poll();
    }

    // What a plug-in of its own plays with `file` (none: its own cabinet) at `gainDb`.
    std::vector<float> heardWith(const std::string& file, double gainDb = 0.0)
    {
        std::unique_ptr<PluginHost> reference = startedPlugin();
        if (!file.empty()) {
            EXPECT_TRUE(sendCabinetResponse(*reference, readCabinetFile(folder + "/" + file).taps, gainDb));
        }
        return impulseResponse(*reference);
    }

    std::string folder;
    std::unique_ptr<PluginHost> plugin;
    std::unique_ptr<CabinetChoice> choice;
    std::vector<std::string> errors, notes;
};

TEST_F(Cabinet, AChoicePlaysOnceReadAndALaterOneReplacesItWhileBeingRead)
{
    choice->rescan();
    EXPECT_EQ(choice->files(), (std::vector<std::string>{"Broken.wav", "Hall.wav", "Room.wav"}));
    EXPECT_EQ(choice->name(), "Program's own");

    choice->choose(folder + "/Hall.wav");
    choice->choose(folder + "/./Room.wav");  // before Hall is read
    settle();
    EXPECT_EQ(choice->path(), folder + "/Room.wav");
    EXPECT_EQ(choice->name(), "Room.wav");
    EXPECT_EQ(notes, std::vector<std::string>{"cabinet Room.wav: " + readCabinetFile(folder + "/Room.wav").description()});
    EXPECT_TRUE(sameResponse(impulseResponse(*plugin), heardWith("Room.wav")));

    // Refused: the message, and Room plays on.
    choice->choose(folder + "/Broken.wav");
    settle();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("cabinet " + folder + "/Broken.wav: not an audio file", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("; the cabinet stays Room.wav"), std::string::npos) << errors[0];
    EXPECT_EQ(choice->path(), folder + "/Room.wav");
    EXPECT_TRUE(sameResponse(impulseResponse(*plugin), heardWith("Room.wav")));

    choice->useOwn();
    EXPECT_EQ(choice->path(), "");
    EXPECT_EQ(notes.back(), "cabinet: the program's own");
    EXPECT_TRUE(sameResponse(impulseResponse(*plugin), heardWith("")));
}

// At the start: a file gone since the last session is reported and the program's own
// cabinet plays; a gain goes with every file played.
TEST_F(Cabinet, AtTheStartAMissingFileLeavesTheProgramsOwn)
{
    choice->setGainDb(-6.5);
    choice->useNow(folder + "/Gone.wav");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "cabinet " + folder + "/Gone.wav: cannot read: No such file or directory; the program's own "
                         "cabinet plays");
    EXPECT_EQ(choice->path(), "");
    EXPECT_TRUE(sameResponse(impulseResponse(*plugin), heardWith("")));

    choice->useNow(folder + "/Hall.wav");
    EXPECT_EQ(notes.back(), "cabinet Hall.wav: " + readCabinetFile(folder + "/Hall.wav").description() + "; -6.5 dB");
    EXPECT_TRUE(sameResponse(impulseResponse(*plugin), heardWith("Hall.wav", -6.5)));
    EXPECT_FALSE(sameResponse(impulseResponse(*plugin), heardWith("Hall.wav")));
}

// The menu: the program's own, the folder's files, and a file playing from elsewhere; what
// each entry chooses.
TEST(CabinetMenu, ListsTheFolderAndTheFilePlaying)
{
    struct Case {
        const char* name;
        std::string folder;
        std::vector<std::string> files;
        std::string playing;
        std::string labels;  // entries, "|" after each; "*" marks the one checked, "~" a greyed one
        std::vector<std::string> paths;
    };
    const Case cases[] = {
        {"empty folder", "/c", {}, "", "*Program's own||~no files in /c/|", {"", "", ""}},
        {"no folder", "", {}, "", "*Program's own||~no files in the cabinet folder (no HOME)|", {"", "", ""}},
        {"files", "/c", {"a.wav", "-b.wav"}, "/c/a.wav", "Program's own||*a.wav| -b.wav|",
         {"", "", "/c/a.wav", "/c/-b.wav"}},
        {"from elsewhere", "/c", {"a.wav"}, "/x/y.flac", "Program's own||a.wav||*/x/y.flac|",
         {"", "", "/c/a.wav", "", "/x/y.flac"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* menu = new COptionMenu(CRect(0, 0, 10, 10), nullptr, 0, nullptr, nullptr, kCheckCurrentStyle);
        const std::vector<std::string> paths = live::fillCabinetMenu(*menu, c.folder, c.files, c.playing);
        EXPECT_EQ(paths, c.paths);
        std::string labels;
        for (const auto& item : menu->popupMenu())
            labels += std::string(item.checked ? "*" : "") + (item.greyed ? "~" : "") + item.label + "|";
        EXPECT_EQ(labels, c.labels);
        menu->release();
    }
}

TEST(CabinetOptions, TheCommandLineAndTheStateCarryTheChoice)
{
    const live::LiveOptions options = live::parseLiveOptions({"--cabinet", "my.wav", "--cabinet-gain", "-3.5"});
    EXPECT_EQ(options.cabinet, "my.wav");
    EXPECT_TRUE(options.cabinetGainGiven);
    EXPECT_EQ(options.cabinetGainDb, -3.5);
    EXPECT_TRUE(live::parseLiveOptions({"--own-cabinet"}).ownCabinet);
    const struct {
        std::vector<std::string> args;
        const char* message;
    } refused[] = {
        {{"--cabinet"}, "--cabinet"},
        {{"--cabinet", ""}, "--cabinet needs an impulse-response file"},
        {{"--cabinet-gain", "41"}, "--cabinet-gain takes a gain in dB from -40 to 40"},
        {{"--cabinet-gain", "nan"}, "--cabinet-gain takes a gain in dB"},
        {{"--cabinet", "a.wav", "--own-cabinet"}, "give one of them"},
    };
    for (const auto& r : refused) {
        try {
            live::parseLiveOptions(r.args);
            ADD_FAILURE() << r.message;
        } catch (const live::UsageError& error) {
            EXPECT_NE(std::string(error.what()).find(r.message), std::string::npos) << error.what();
        }
    }

    live::LiveState state;
    state.cabinet = "/home/me/cabinets/My 4x12 = best.wav";
    state.cabinetGainDb = 2.25;
    live::LiveState read;
    std::string reason;
    ASSERT_TRUE(live::parseState(live::formatState(state), read, reason)) << reason;
    EXPECT_EQ(read.cabinet, state.cabinet);
    EXPECT_EQ(read.cabinetGainDb, 2.25);
    EXPECT_FALSE(live::parseState("format = 1\ncabinet-gain = 40.5\n", read, reason));
    EXPECT_NE(reason.find("is not a gain in dB"), std::string::npos) << reason;
}

}  // namespace
