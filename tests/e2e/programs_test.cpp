// The 82 programs as a host sees them: selection, naming, listing, and their sound.

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"

TEST_F(LoadedPlugin, StartsOnTheFirstFactoryProgram)
{
    EXPECT_EQ(host->program(), 0);
    EXPECT_EQ(host->programName(), "Basic Classic Clean");
    EXPECT_EQ(host->getParameter(kVolume), 0.5f);
    EXPECT_EQ(host->getParameter(kAmplifier), 1.0f / 19.0f);
    EXPECT_EQ(host->getParameter(kEditorPage), 0.0f);
}

TEST_F(LoadedPlugin, ProgramChangeAppliesValuesAndAsksForOneRefresh)
{
    host->clearCalls();
    host->setProgram(47);
    EXPECT_EQ(host->program(), 47);
    EXPECT_EQ(host->programName(), "Fuzz");
    EXPECT_EQ(host->getParameter(kAmplifier), 10.0f / 19.0f);
    EXPECT_EQ(host->getParameter(kChorusPhaser), 1.0f);
    EXPECT_EQ(host->countCalls(audioMasterUpdateDisplay), 1u);
}

TEST_F(LoadedPlugin, ChangesStayWithTheirProgram)
{
    host->setProgram(5);
    host->setParameter(kBass, 0.11f);
    host->setProgram(6);
    EXPECT_NE(host->getParameter(kBass), 0.11f);
    host->setProgram(5);
    EXPECT_EQ(host->getParameter(kBass), 0.11f);
}

TEST_F(LoadedPlugin, ProgramNumbersOutsideTheBankChangeNothing)
{
    host->setProgram(9);
    host->clearCalls();
    for (VstIntPtr bad : {VstIntPtr{82}, VstIntPtr{-1}, VstIntPtr{1000}})
        host->setProgram(bad);
    EXPECT_EQ(host->program(), 9);
    EXPECT_EQ(host->countCalls(audioMasterUpdateDisplay), 0u);
}

TEST_F(LoadedPlugin, ListsTheBankByIndex)
{
    std::string name;
    ASSERT_TRUE(host->programNameIndexed(81, name));
    EXPECT_EQ(name, "Tweed Lead");
    ASSERT_TRUE(host->programNameIndexed(0, name));
    EXPECT_EQ(name, "Basic Classic Clean");
    EXPECT_FALSE(host->programNameIndexed(82, name));
    EXPECT_FALSE(host->programNameIndexed(-1, name));
}

TEST_F(LoadedPlugin, RenamingRenamesOnlyTheCurrentProgram)
{
    host->setProgram(3);
    host->setProgramName("My Lead");
    EXPECT_EQ(host->programName(), "My Lead");
    std::string name;
    ASSERT_TRUE(host->programNameIndexed(3, name));
    EXPECT_EQ(name, "My Lead");
    ASSERT_TRUE(host->programNameIndexed(4, name));
    EXPECT_EQ(name, "Basic Combo Crunchy");
}

TEST_F(LoadedPlugin, NamesNeverOverrunTheHostsBuffer)
{
    // Factory program 1 has 26 characters; a host's program-name buffer holds 24 bytes.
    char buffer[40];
    std::memset(buffer, '#', sizeof buffer);
    ASSERT_EQ(host->dispatch(effGetProgramNameIndexed, 1, 0, buffer), 1);
    EXPECT_STREQ(buffer, std::string("Basic Classic Clean Chorus").substr(0, 23).c_str());
    EXPECT_EQ(buffer[24], '#');

    host->setProgram(1);
    std::memset(buffer, '#', sizeof buffer);
    host->dispatch(effGetProgramName, 0, 0, buffer);
    EXPECT_EQ(std::strlen(buffer), 23u);
    EXPECT_EQ(buffer[24], '#');

    host->setProgramName(std::string(100, 'x'));
    std::string name;
    ASSERT_TRUE(host->programNameIndexed(1, name, 64));
    EXPECT_EQ(name, std::string(23, 'x')) << "a long name is kept to its first 27 characters, "
                                             "of which a 24-byte buffer shows 23";
}

TEST(Programs, EveryProgramSoundsFiniteBoundedAndDistinct)
{
    auto host = loadPlugin();
    ASSERT_TRUE(host);
    constexpr std::size_t kFrames = 2 * 44100;
    std::vector<float> in(kFrames), silence(kFrames, 0.0f), left(kFrames), right(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        const double pluck = std::exp(-3.0 * std::fmod(t, 0.5));
        in[i] = static_cast<float>(0.5 * pluck * (std::sin(2 * M_PI * 110 * t) + 0.5 * std::sin(2 * M_PI * 165 * t)));
    }
    std::set<std::vector<float>> fingerprints;
    for (int p = 0; p < 82; ++p) {
        auto fresh = loadPlugin();
        ASSERT_TRUE(fresh);
        fresh->setProgram(p);
        fresh->processStereo(in.data(), silence.data(), left.data(), right.data(), kFrames, 512);
        float peak = 0.0f;
        bool finite = true;
        for (std::size_t i = 0; i < kFrames; ++i) {
            finite = finite && std::isfinite(left[i]) && std::isfinite(right[i]);
            peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
        }
        EXPECT_TRUE(finite) << "program " << p;
        EXPECT_LT(peak, 2.0f) << "program " << p << " peaks above +6 dBFS";
        std::vector<float> fingerprint(left.end() - 4096, left.end());
        fingerprint.insert(fingerprint.end(), right.end() - 4096, right.end());
        EXPECT_TRUE(fingerprints.insert(fingerprint).second) << "program " << p << " sounds like another";
    }
}
