// The validator's own tests: its guarded buffers and hashes, its test signals, and its
// checks run against a small plug-in with one known fault at a time (tests/validate/plugin),
// each of which the matching check must find, while the plug-in without a fault passes all.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/korvalex-validate/Checks.h"
#include "tools/korvalex-validate/TestSignal.h"

namespace {

// ---------------------------------------------------------------------------------------
// Guarded buffers

TEST(GuardedText, AnUntouchedBufferIsFineUnlessATextWasClaimed)
{
    GuardedText text(8);
    EXPECT_EQ(text.problem(false), "");
    EXPECT_FALSE(text.touched());
    EXPECT_NE(text.problem(true).find("no NUL"), std::string::npos);
}

TEST(GuardedText, ATextThatFillsTheBufferWithItsNulIsFine)
{
    GuardedText text(8);
    std::memcpy(text.data(), "1234567", 8);
    EXPECT_EQ(text.problem(true), "");
    EXPECT_EQ(text.text(), "1234567");
}

TEST(GuardedText, EightCharactersWithoutNulInEightBytesAreUnterminated)
{
    GuardedText text(8);
    std::memcpy(text.data(), "12345678", 8);
    EXPECT_NE(text.problem(false).find("no NUL"), std::string::npos);
    EXPECT_EQ(text.text(), "12345678");
}

TEST(GuardedText, OneByteBeyondTheEndIsSeen)
{
    GuardedText text(24);
    std::memset(text.data(), 'x', 24);
    text.data()[24] = 0;
    const std::string problem = text.problem(true);
    EXPECT_NE(problem.find("past the end of its 24-byte buffer"), std::string::npos) << problem;
    EXPECT_NE(problem.find("up to 1 bytes beyond"), std::string::npos) << problem;
}

TEST(GuardedText, AWriteInFrontIsSeen)
{
    GuardedText text(8);
    text.data()[-1] = 0;
    EXPECT_NE(text.problem(false).find("in front"), std::string::npos);
}

TEST(GuardedText, RecordsAreJudgedByTheirGuardsOnly)
{
    GuardedText record(16, 0);
    std::memset(record.data(), 0x33, 16);  // no NUL anywhere, and that is fine for a record
    EXPECT_EQ(record.guardProblem(), "");
    record.data()[16] = 1;
    EXPECT_NE(record.guardProblem(), "");
}

TEST(GuardedInput, AWriteIntoTheGivenTextIsSeen)
{
    GuardedInput input("bypass");
    EXPECT_EQ(input.problem(), "");
    input.data()[2] = 'X';
    EXPECT_NE(input.problem(), "");
}

TEST(AudioBuffers, TheSentinelShowsWritesPastTheBlock)
{
    AudioBuffers buffers(2);
    buffers.markAll();
    EXPECT_TRUE(buffers.unwrittenFrom(0));
    buffers.out(1)[100] = 0.0f;
    EXPECT_TRUE(buffers.unwrittenFrom(101));
    EXPECT_FALSE(buffers.unwrittenFrom(100));
    EXPECT_TRUE(std::isnan(sentinelValue()));  // and reading it gives non-finite output
}

TEST(OutputHash, HashesBitPatterns)
{
    const float a[] = {0.0f, 1.0f, -2.5f};
    const float b[] = {-0.0f, 1.0f, -2.5f};
    OutputHash h1, h2, h3;
    h1.add(a, 3);
    h2.add(a, 3);
    h3.add(b, 3);
    EXPECT_EQ(h1.value(), h2.value());
    EXPECT_NE(h1.value(), h3.value());
}

// ---------------------------------------------------------------------------------------
// Test signals

TEST(TestSignals, TheSameSeedGivesTheSameSignal)
{
    GuitarSignal a(5), b(5), c(6);
    std::vector<float> x(20000), y(20000), z(20000);
    a.fill(x.data(), x.size());
    b.fill(y.data(), y.size());
    c.fill(z.data(), z.size());
    EXPECT_EQ(x, y);
    EXPECT_NE(x, z);
}

TEST(TestSignals, GuitarStaysBelowFullScaleAndIsNotSilent)
{
    GuitarSignal guitar(1);
    double energy = 0.0;
    float peak = 0.0f;
    constexpr int kFrames = 10 * 44100;
    for (int i = 0; i < kFrames; ++i) {
        const float x = guitar.next();
        peak = std::max(peak, std::fabs(x));
        energy += static_cast<double>(x) * x;
    }
    const double rmsDb = 10.0 * std::log10(energy / kFrames);
    EXPECT_LT(peak, 1.0f);
    EXPECT_GT(peak, 0.1f);
    EXPECT_GT(rmsDb, -40.0);
    EXPECT_LT(rmsDb, -10.0);
}

TEST(TestSignals, QuietNoiseHasTheAskedLevel)
{
    QuietNoise noise(3, -120.0);
    double energy = 0.0;
    constexpr int kFrames = 200000;
    for (int i = 0; i < kFrames; ++i) {
        const double x = noise.next();
        energy += x * x;
    }
    EXPECT_NEAR(10.0 * std::log10(energy / kFrames), -120.0, 0.1);
}

TEST(TestSignals, BelowStaysInRange)
{
    SplitMix64 rng(9);
    int seen[7] = {};
    for (int i = 0; i < 7000; ++i) {
        const int n = rng.below(7);
        ASSERT_GE(n, 0);
        ASSERT_LT(n, 7);
        ++seen[n];
    }
    for (int count : seen)
        EXPECT_GT(count, 800);
    EXPECT_EQ(rng.below(0), 0);
}

// ---------------------------------------------------------------------------------------
// The checks against a plug-in with known faults

void setFault(const char* fault)
{
#if defined(_WIN32)
    _putenv_s("KORVALEX_TEST_FAULT", fault);
#else
    setenv("KORVALEX_TEST_FAULT", fault, 1);
#endif
}

struct Outcome {
    std::size_t findings = 0;
    std::string all;  // the kept finding texts, one per line
};

Outcome runCheck(const char* fault, void (*check)(const Options&, Check&))
{
    Options options;
    options.pluginPath = KORVALEX_FAULTY_PLUGIN;
    options.iterations = 4000;
    options.instances = 6;
    options.threads = 2;
    setFault(fault);
    Check c("test");
    check(options, c);
    setFault("");
    Outcome outcome;
    outcome.findings = c.findingCount();
    for (const std::string& f : c.findings())
        outcome.all += f + "\n";
    return outcome;
}

TEST(FaultyPlugin, WithoutAFaultEveryCheckPasses)
{
    struct Named {
        const char* name;
        void (*check)(const Options&, Check&);
    };
    const Named checks[] = {{"load", checkLoad},     {"opcodes", checkOpcodes},         {"texts", checkTexts},
                            {"setup", checkSetup},   {"abuse", checkAbuse},             {"recovery", checkRecovery},
                            {"layouts", checkLayouts}, {"determinism", checkDeterminism}, {"instances", checkInstances},
                            {"race", checkRace}};
    for (const Named& n : checks) {
        const Outcome o = runCheck("", n.check);
        EXPECT_EQ(o.findings, 0u) << n.name << ":\n" << o.all;
    }
}

// One fault at a time: the check that looks for it reports it in these words.
TEST(FaultyPlugin, EachFaultIsFoundByItsCheck)
{
    const struct {
        const char* fault;
        void (*check)(const Options&, Check&);
        const char* reported;
    } faults[] = {
        {"name-overflow", checkTexts, "effGetParamName index 0 wrote past the end of its 32-byte buffer"},
        {"display-unterminated", checkTexts, "left no NUL in its 8-byte buffer"},
        {"nan-from-parameter", checkAbuse, "with only finite input so far"},
        {"sticky-bad-input", checkRecovery, "still non-finite"},
        {"write-past-block", checkSetup, "wrote past the block"},
#if !defined(__SANITIZE_THREAD__)  // shared state is a data race on purpose when two threads run instances
        {"shared-state", checkDeterminism, "two interleaved instances"},
#endif
        {"clears-outputs-first", checkLayouts, "crossed in-place output differs from separate buffers"},
        {"any-program", checkAbuse, "(out of range) changed the program"},
        {"runaway", checkAbuse, "runaway"},
    };
    for (const auto& f : faults) {
        const Outcome o = runCheck(f.fault, f.check);
        EXPECT_GT(o.findings, 0u) << f.fault;
        EXPECT_NE(o.all.find(f.reported), std::string::npos) << f.fault << ":\n" << o.all;
    }
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// A crash inside the plug-in ends the run with a report of the check and the last call.
// (Sanitizer builds leave crashes to the sanitizers' own handlers.)
TEST(FaultyPluginDeathTest, ACrashIsReportedWithTheLastCall)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            installCrashHandler();
            setCurrentCheck("opcodes");
            runCheck("crashes-on-null-text", checkOpcodes);
        },
        ::testing::ExitedWithCode(1),
        "CRASH \\(SIGSEGV\\) in check 'opcodes'.*dispatcher\\(6 effGetParamLabel, index 0, value 0, ptr \\(nil\\)");
}
#endif

}  // namespace
