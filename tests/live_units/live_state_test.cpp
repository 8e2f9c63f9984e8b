// The state file: what a session writes, the next reads back exactly; a file that is not
// one is reported, kept aside and replaced by the defaults.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "live/LiveState.h"

namespace {

using live::LiveState;

LiveState exampleState()
{
    LiveState s;
    s.program = 47;
    s.programName = "Fuzz";
    for (int i = 0; i < 53; ++i)
        s.values.push_back(static_cast<float>(i) / 53.0f);
    s.values[10] = static_cast<float>(10.0 / 19.0);
    s.preset = "My Lead = loud";
    s.inputGainDb = 8.5;
    s.connections["guitar_in"] = {"system:capture_1"};
    s.connections["out_left"] = {"PulseAudio JACK Sink:front-left", "recorder:in 1"};
    s.hasWindowPosition = true;
    s.windowX = -20;
    s.windowY = 300;
    return s;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(LiveState, WhatIsWrittenIsReadBackExactly)
{
    const LiveState s = exampleState();
    LiveState read;
    std::string reason;
    ASSERT_TRUE(live::parseState(live::formatState(s), read, reason)) << reason;
    EXPECT_EQ(read.program, 47);
    EXPECT_EQ(read.programName, "Fuzz");
    EXPECT_EQ(read.values, s.values);  // every float to the last bit
    EXPECT_EQ(read.preset, s.preset);
    EXPECT_EQ(read.inputGainDb, 8.5);
    EXPECT_EQ(read.connections, s.connections);
    EXPECT_TRUE(read.hasWindowPosition);
    EXPECT_EQ(read.windowX, -20);
    EXPECT_EQ(read.windowY, 300);

    // A line break in a name cannot break the file.
    LiveState odd = s;
    odd.programName = "two\nlines";
    ASSERT_TRUE(live::parseState(live::formatState(odd), read, reason)) << reason;
    EXPECT_EQ(read.programName, "two lines");
    EXPECT_EQ(read.values, s.values);
}

TEST(LiveState, TextThatIsNotAStateFileIsRefused)
{
    struct Case {
        std::string text;
        const char* reason;
    };
    const Case cases[] = {
        {"", "no \"format\" line"},
        {"program = 3\n", "no \"format\" line"},
        {"format = 2\n", "line 1: unknown format"},
        {"format = 1\n\x7f\x45LF\x02\x01\n", "line 2: "},
        {"format = 1\nparameter 1 = 0.5\n", "line 2: \"parameter 1\" out of order"},
        {"format = 1\nparameter 0 = 1.5\n", "line 2: \"1.5\" is not a value from 0 to 1"},
        {"format = 1\nparameter 0 = nan\n", "is not a value from 0 to 1"},
        {"format = 1\nprogram = -3\n", "is not a program number"},
        {"format = 1\ninput-gain = 99\n", "is not a gain in dB"},
        {"format = 1\nwindow = 12\n", "is not a window position"},
        {"format = 1\nconnect guitar_in = \n", "a connection needs two port names"},
    };
    for (const Case& c : cases) {
        LiveState read;
        std::string reason;
        EXPECT_FALSE(live::parseState(c.text, read, reason)) << c.text;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.text << ": " << reason;
    }
    // Keys of later versions are left alone.
    LiveState read;
    std::string reason;
    EXPECT_TRUE(live::parseState("format = 1\ncabinet = mine.wav\nprogram = 2\n", read, reason)) << reason;
    EXPECT_EQ(read.program, 2);
}

TEST(LiveState, DamagedFilesAreKeptAsideAndTheDefaultsUsed)
{
    char folder[] = "/tmp/korvalex-state-test-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder));
    const std::string path = std::string(folder) + "/korvalex/live.conf";
    std::string report;

    live::StateFile missing(path);
    EXPECT_EQ(missing.load(report).program, -1);
    EXPECT_EQ(report, "") << "a first start is no error";
    std::string error;
    ASSERT_TRUE(missing.save(exampleState(), error)) << error;  // creates the folder
    EXPECT_EQ(live::StateFile(path).load(report).program, 47);

    const std::string garbage = "format = 1\nparameter 0 = banana\n";
    std::ofstream(path) << garbage;
    live::StateFile damaged(path);
    EXPECT_EQ(damaged.load(report).program, -1);
    EXPECT_NE(report.find(path + " is damaged (line 2:"), std::string::npos) << report;
    EXPECT_NE(report.find("kept as " + path + ".damaged"), std::string::npos) << report;
    EXPECT_EQ(readFile(path + ".damaged"), garbage);
    ASSERT_TRUE(damaged.save(exampleState(), error)) << error;

    // A second damaged file does not replace the first one kept.
    std::ofstream(path) << "junk";
    live::StateFile again(path);
    again.load(report);
    EXPECT_EQ(readFile(path + ".damaged"), garbage);
    EXPECT_EQ(readFile(path + ".damaged-2"), "junk");

    // A file that cannot be moved aside (the kernel's, in /proc) is never written over.
    live::StateFile stuck("/proc/version");
    EXPECT_EQ(stuck.load(report).program, -1);
    EXPECT_NE(report.find("/proc/version is damaged"), std::string::npos) << report;
    EXPECT_NE(report.find("it is left as it is, and this session's state will not be saved"), std::string::npos)
        << report;
    EXPECT_FALSE(stuck.save(exampleState(), error));
    std::system(("rm -rf " + std::string(folder)).c_str());
}

}  // namespace
