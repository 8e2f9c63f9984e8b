// Every factory program's sound, pinned: the built plug-in renders the plucked test signal
// through each program, and the summary of each render (tests/bank/BankSummary.h) must match
// the committed reference, factory-bank.reference, within a tolerance that float rounding
// passes and a changed formula, stage order or mix does not.
//
// After an intended change of sound, rewrite the reference from the build and commit it
// with the reason:  cmake --build build --target rewrite-bank-reference

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/bank/BankSummary.h"
#include "tests/e2e/LoadedPlugin.h"
#include "tools/korvalex-compare/PluckedSignal.h"

namespace {

constexpr double kRenderSeconds = 3.0;
constexpr VstInt32 kBlockSize = 512;
// Float rounding moves a level by well under 0.001 dB; a wrong stage order, crossfade or
// channel formula moves some window of some program by far more than this.
constexpr double kToleranceDb = 0.05;

std::string header()
{
    char text[1024];
    std::snprintf(text, sizeof text,
                  "# Factory bank reference: the summary of every factory program's render of the plucked\n"
                  "# test signal (%.0f s at %d Hz on the left input, silence on the right, blocks of %d\n"
                  "# frames, a fresh plug-in instance per program). Compared by tests/bank within %.2f dB.\n"
                  "# Rewrite after an intended change of sound, and say why in the commit:\n"
                  "#   cmake --build build --target rewrite-bank-reference\n"
                  "# Per program: a line \"program N NAME\", then one line per 100 ms window with levels in\n"
                  "# dBFS (floor %.0f): left, left below 250 Hz, 250 Hz to 2.5 kHz, above 2.5 kHz; the same\n"
                  "# for the right; then the side signal (L - R) / 2.\n",
                  kRenderSeconds, kSummaryRate, kBlockSize, kToleranceDb, kSummaryFloorDb);
    return text;
}

bool rewriting()
{
    const char* value = std::getenv("KORVALEX_REWRITE_BANK_REFERENCE");
    return value && *value && std::strcmp(value, "0") != 0;
}

std::vector<ProgramSummary> renderBank()
{
    const auto frames = static_cast<std::size_t>(kRenderSeconds * kSummaryRate);
    const std::vector<float> input = makePluckedSignal(frames);
    const std::vector<float> silence(frames, 0.0f);
    std::vector<float> left(frames), right(frames);
    std::vector<ProgramSummary> bank;
    for (int program = 0; program < kNumPrograms; ++program) {
        auto host = loadPlugin();  // a fresh instance: every render starts from the same state
        if (!host)
            return {};
        host->setSampleRate(static_cast<float>(kSummaryRate));
        host->setBlockSize(kBlockSize);
        host->setProgram(program);
        host->setMainsOn(true);
        host->processStereo(input.data(), silence.data(), left.data(), right.data(), frames, kBlockSize);
        bank.push_back({program, host->programName(), summarize(left, right)});
    }
    return bank;
}

}  // namespace

TEST(FactoryBankReference, EveryProgramSoundsAsRecorded)
{
    const std::vector<ProgramSummary> bank = renderBank();
    ASSERT_EQ(bank.size(), static_cast<std::size_t>(kNumPrograms));
    if (rewriting()) {
        writeReference(KORVALEX_BANK_REFERENCE, header(), bank);
        GTEST_SKIP() << "rewrote " << KORVALEX_BANK_REFERENCE << "; nothing was compared";
    }

    std::vector<ProgramSummary> reference;
    std::string error;
    ASSERT_TRUE(readReference(KORVALEX_BANK_REFERENCE, reference, error)) << error;
    ASSERT_EQ(reference.size(), bank.size());
    double largest = 0.0;
    std::size_t largestProgram = 0;
    for (std::size_t p = 0; p < bank.size(); ++p) {
        const ProgramSummary& want = reference[p];
        const ProgramSummary& got = bank[p];
        EXPECT_EQ(got.program, want.program);
        EXPECT_EQ(got.name, want.name) << "program " << p;
        const SummaryDifference difference = compareSummaries(want.summary, got.summary);
        if (std::isinf(difference.largestDb)) {
            ADD_FAILURE() << "program " << p << " \"" << want.name << "\": " << got.summary.windows.size()
                          << " windows against " << want.summary.windows.size()
                          << " in the reference, or a non-finite sample";
            continue;
        }
        if (difference.largestDb > largest) {
            largest = difference.largestDb;
            largestProgram = p;
        }
        const double expected = want.summary.windows[difference.window][static_cast<std::size_t>(difference.column)];
        const double measured = got.summary.windows[difference.window][static_cast<std::size_t>(difference.column)];
        EXPECT_LE(difference.largestDb, kToleranceDb)
            << "program " << p << " \"" << want.name << "\": " << summaryColumnName(difference.column) << " at "
            << 0.1 * static_cast<double>(difference.window) << " s is " << measured << " dB, the reference "
            << expected << " dB";
    }
    std::printf("largest difference from the reference: %.4f dB (program %zu)\n", largest, largestProgram);
}
