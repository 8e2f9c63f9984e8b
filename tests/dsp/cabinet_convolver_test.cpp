#include "dsp/CabinetConvolver.h"
#include "tests/dsp/BlockFftCabinetConvolver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int kLatency = CabinetConvolver::kLatency;
const double kPlusOneDb = std::pow(10.0, 0.05);

double factorOf(int number)
{
    static const double factors[] = {0.8, 0.5, 0.7, 0.5, 0.5, 0.5, 0.8, 0.8, 0.9, 1.0, 0.7, 0.7};
    return number >= 0 && number < 12 ? factors[number] : 1.0;
}

std::vector<float> run(CabinetConvolver& c, const std::vector<float>& in)
{
    std::vector<float> out(in.size());
    for (size_t i = 0; i < in.size(); ++i)
        out[i] = c.process(in[i]);
    return out;
}

double peakOf(const CabinetResponse& r)
{
    double m = 0.0;
    for (int i = 0; i < r.length; ++i)
        m = std::max(m, std::fabs(static_cast<double>(r.taps[i])));
    return m;
}

// Feeds `leadIn` zeros, one unit impulse, then zeros, and checks that the impulse comes
// out 31 samples later as the response times `scale`, followed by nothing but offsets.
void expectImpulseResponse(CabinetConvolver& c, int response, double scale, int leadIn)
{
    const CabinetResponse& r = kCabinetResponses[response];
    std::vector<float> in(static_cast<size_t>(leadIn + kLatency + r.length + 600), 0.0f);
    in[static_cast<size_t>(leadIn)] = 1.0f;
    const std::vector<float> out = run(c, in);
    const double tol = 2e-6 * peakOf(r) * scale;
    for (int i = 0; i < leadIn + kLatency; ++i)
        ASSERT_NEAR(out[static_cast<size_t>(i)], 0.0, tol) << "early output at " << i;
    for (int n = 0; n < r.length; ++n)
        ASSERT_NEAR(out[static_cast<size_t>(leadIn + kLatency + n)], scale * r.taps[n], tol)
            << "response " << response << " tap " << n;
    for (size_t i = static_cast<size_t>(leadIn + kLatency + r.length); i < out.size(); ++i)
        ASSERT_NEAR(out[i], 0.0, tol) << "late output at " << i;
}

// Relative RMS difference of `test` against `reference` over [from, end).
double relativeRms(const std::vector<float>& reference, const std::vector<float>& test, size_t from = 0)
{
    double err = 0.0;
    double ref = 0.0;
    for (size_t i = from; i < reference.size(); ++i) {
        const double d = static_cast<double>(test[i]) - reference[i];
        err += d * d;
        ref += static_cast<double>(reference[i]) * reference[i];
    }
    return std::sqrt(err / ref);
}

std::vector<float> noise(size_t frames, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> in(frames);
    for (float& v : in)
        v = u(rng);
    return in;
}

}  // namespace

TEST(CabinetConvolver, FftSizesAndGains)
{
    const int sizes[] = {64, 64, 64, 64, 64, 64, 512, 256, 512, 512, 512, 256};
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        EXPECT_EQ(CabinetConvolver::fftSizeFor(r), sizes[r]) << r;
        EXPECT_FLOAT_EQ(CabinetConvolver::gainFor(r) * sizes[r], kPlusOneDb * factorOf(r)) << r;
    }
    EXPECT_FLOAT_EQ(CabinetConvolver::gainFor(12) * 256, kPlusOneDb);
    EXPECT_EQ(CabinetConvolver::responseFor(12), 11);
    EXPECT_EQ(CabinetConvolver::responseFor(-3), 0);
}

TEST(CabinetConvolver, ImpulseComesOutAsEachResponseAfter31Samples)
{
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        CabinetConvolver c;
        c.select(r);
        // Impulses at two different places within a 16-sample block.
        expectImpulseResponse(c, r, kPlusOneDb * factorOf(r), 40);
        expectImpulseResponse(c, r, kPlusOneDb * factorOf(r), 23);
        EXPECT_EQ(c.currentResponse(), r);
    }
}

TEST(CabinetConvolver, ConstructionSelectsResponseZero)
{
    CabinetConvolver c;
    expectImpulseResponse(c, 0, kPlusOneDb * 0.8, 5);
}

TEST(CabinetConvolver, NumbersAboveElevenUseResponseElevenAtFullFactor)
{
    for (int number : {12, 19, 1000}) {
        CabinetConvolver c;
        c.select(number);
        expectImpulseResponse(c, 11, kPlusOneDb * 1.0, 16);
        EXPECT_EQ(c.currentResponse(), 11);
    }
    CabinetConvolver negative;
    negative.select(-1);
    expectImpulseResponse(negative, 0, kPlusOneDb * 1.0, 16);
}

TEST(CabinetConvolver, First31OutputsAreTheOffsetsOnly)
{
    CabinetConvolver c;
    const float offsets = 1e-18f + 1e-18f;
    for (int i = 0; i < kLatency; ++i)
        EXPECT_EQ(c.process(0.9f * std::sin(0.3f * i)), offsets) << i;
    EXPECT_NE(c.process(0.0f), offsets);  // sample 31 carries the first input
}

TEST(CabinetConvolver, ZeroInputNeverGivesExactZero)
{
    CabinetConvolver c;
    c.select(9);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int i = 0; i < 1000; ++i)
        c.process(u(rng));
    float last = 1.0f;
    for (int i = 0; i < 20000; ++i) {
        last = c.process(0.0f);
        ASSERT_NE(last, 0.0f) << i;
    }
    // The tail has ended; what is left is the offsets.
    EXPECT_GT(last, 0.0f);
    EXPECT_LT(std::fabs(last), 1e-15f);
}

TEST(CabinetConvolver, EqualsDirectConvolutionForEveryResponse)
{
    const std::vector<float> in = noise(3000, 1234);
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        CabinetConvolver c;
        c.select(r);
        const std::vector<float> out = run(c, in);
        const CabinetResponse& h = kCabinetResponses[r];
        const double scale = static_cast<double>(CabinetConvolver::gainFor(r)) * CabinetConvolver::fftSizeFor(r);
        std::vector<float> direct(in.size(), 0.0f);
        for (size_t i = kLatency; i < in.size(); ++i) {
            double y = 0.0;
            for (int m = 0; m < h.length && static_cast<size_t>(m) <= i - kLatency; ++m)
                y += static_cast<double>(h.taps[m]) * in[i - kLatency - static_cast<size_t>(m)];
            direct[i] = static_cast<float>(y * scale);
        }
        EXPECT_LT(relativeRms(direct, out, kLatency), 1e-6) << "response " << r;
    }
}

// Blocks of any length, in place or not, give exactly the samples of one call per sample.
TEST(CabinetConvolver, BlockCallsEqualSampleCalls)
{
    const std::vector<float> in = noise(5000, 77);
    for (bool inPlace : {false, true}) {
        CabinetConvolver single;
        CabinetConvolver blocks;
        single.select(8);
        blocks.select(8);
        const std::vector<float> expected = run(single, in);
        std::vector<float> buffer = in;
        std::vector<float> out(in.size());
        std::mt19937 rng(inPlace ? 3 : 4);
        std::uniform_int_distribution<int> length(1, 70);
        for (size_t start = 0; start < in.size();) {
            const int n = std::min(length(rng), static_cast<int>(in.size() - start));
            blocks.process(buffer.data() + start, (inPlace ? buffer.data() : out.data()) + start, n);
            start += static_cast<size_t>(n);
        }
        const std::vector<float>& got = inPlace ? buffer : out;
        for (size_t i = 0; i < in.size(); ++i)
            ASSERT_EQ(got[i], expected[i]) << "sample " << i << (inPlace ? " in place" : "");
    }
}

// Selections that the previous convolver handled the same way: gain-only changes, changes
// to a response of the same or a larger transform size, at every phase of a block, while
// the signal runs. (Switching to a smaller size, it cut the old response's tail short; see
// the next test.)
TEST(CabinetConvolver, EqualsThePreviousConvolverThroughSelectionChanges)
{
    struct Change {
        size_t at;
        int number;
    };
    const Change changes[] = {
        {700, 2},   {1403, 0}, {2009, 5}, {2600, 1},  {3111, 7},   {3800, 11}, {4405, 12},
        {5002, 11}, {5608, 6}, {6300, 9}, {6917, 8}, {7500, -4}, {8214, 100}, {8900, 10},
    };
    // Changes to a smaller size come after a silence longer than any response, so there is
    // no tail left to cut.
    std::vector<float> in = noise(10000, 2024);
    for (size_t i = 7000; i < 7500; ++i)
        in[i] = 0.0f;
    CabinetConvolver partitioned;
    BlockFftCabinetConvolver previous;
    std::vector<float> a(in.size()), b(in.size());
    size_t next = 0;
    for (size_t i = 0; i < in.size(); ++i) {
        if (next < std::size(changes) && changes[next].at == i) {
            partitioned.select(changes[next].number);
            previous.select(changes[next].number);
            ++next;
        }
        a[i] = partitioned.process(in[i]);
        b[i] = previous.process(in[i]);
        ASSERT_EQ(partitioned.currentResponse(), previous.currentResponse());
        ASSERT_EQ(partitioned.outputGain(), previous.outputGain());
    }
    EXPECT_LT(relativeRms(b, a), 1e-6);
    double peak = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        peak = std::max(peak, std::fabs(static_cast<double>(a[i]) - b[i]));
    EXPECT_LT(peak, 2e-6);
}

// Two convolvers fed the same signal; one switches to a response of a smaller transform
// size, the reference does not. Everything the old response owes to earlier input plays
// on at its old level, to the end of its tail; the unfinished block meets the new one.
TEST(CabinetConvolver, SwitchingToAShorterResponseLetsTheOldTailRingOut)
{
    const CabinetResponse& old = kCabinetResponses[6];
    for (int phase = 0; phase < 16; phase += 5) {
        std::vector<float> in = noise(800 + static_cast<size_t>(phase), 99);
        CabinetConvolver switching;
        CabinetConvolver reference;
        switching.select(6);  // N 512, 316 taps
        reference.select(6);
        for (float x : in)
            ASSERT_EQ(switching.process(x), reference.process(x));
        switching.select(0);  // N 64: 8 times the per-N gain
        // With silence afterwards, the old response's share of the last complete block ends
        // 31 + 315 samples after that block began (31 + 315 - 16 - phase from here); until
        // the new response sounds, at 31 - phase, that is all there is.
        const int tailEnd = kLatency + old.length - 1 - CabinetConvolver::kBlockSize - phase;
        double peak = 0.0;
        for (int i = 0; i < kLatency - phase; ++i) {
            const float a = switching.process(0.0f);
            const float b = reference.process(0.0f);
            peak = std::max(peak, static_cast<double>(std::fabs(b)));
            ASSERT_NEAR(a, b, 2e-6 * (1.0 + std::fabs(b))) << "phase " << phase << " sample " << i;
        }
        EXPECT_GT(peak, 0.01);  // there was a real tail to compare
        if (phase == 0) {
            // No unfinished block: the old tail alone plays on to its end.
            for (int i = kLatency; i < tailEnd + 100; ++i) {
                const float a = switching.process(0.0f);
                const float b = reference.process(0.0f);
                ASSERT_NEAR(a, b, 2e-6 * (1.0 + std::fabs(b))) << "sample " << i;
            }
        }
        EXPECT_EQ(switching.currentResponse(), 0);
    }
}

TEST(CabinetConvolver, GainOnlyChangeKeepsTheWholeTail)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    CabinetConvolver switching;
    CabinetConvolver reference;
    switching.select(11);  // factor 0.7
    reference.select(11);
    for (int i = 0; i < 31 * 16; ++i) {  // ends on a block boundary
        const float x = u(rng);
        switching.process(x);
        reference.process(x);
    }
    switching.select(12);  // same response, factor 1.0
    for (int i = 0; i < 400; ++i) {
        const float a = switching.process(0.0f);
        const float b = reference.process(0.0f);
        ASSERT_NEAR(a, b, 1e-6 * (1.0 + std::fabs(b))) << i;
    }
    // New input is heard at the new gain.
    expectImpulseResponse(switching, 11, kPlusOneDb * 1.0, 3);
}

TEST(CabinetConvolver, NoStaleTailReturnsWhenALongerResponseIsChosenAgain)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    CabinetConvolver c;
    c.select(8);  // 312 taps
    for (int i = 0; i < 1000; ++i)
        c.process(u(rng));
    c.select(2);  // 41 taps
    for (int i = 0; i < 400; ++i)
        c.process(0.0f);
    c.select(9);  // 308 taps again
    for (int i = 0; i < 1000; ++i)
        ASSERT_LT(std::fabs(c.process(0.0f)), 1e-12f) << i;
}

TEST(CabinetConvolver, PlanningFromTwoThreadsAtOnce)
{
    for (int round = 0; round < 4; ++round) {
        std::unique_ptr<CabinetConvolver> a;
        std::unique_ptr<CabinetConvolver> b;
        std::thread ta([&] { a = std::make_unique<CabinetConvolver>(); });
        std::thread tb([&] { b = std::make_unique<CabinetConvolver>(); });
        ta.join();
        tb.join();
        a->select(7);
        b->select(10);
        expectImpulseResponse(*a, 7, kPlusOneDb * 0.8, 9);
        expectImpulseResponse(*b, 10, kPlusOneDb * 0.7, 9);
        std::thread da([&] { a.reset(); });
        std::thread db([&] { b.reset(); });
        da.join();
        db.join();
    }
}

TEST(CabinetConvolver, SelectFromAnotherThreadWhileProcessing)
{
    CabinetConvolver c;
    std::atomic<bool> selected{false};
    std::thread t([&] {
        for (int i = 0; i < 20000; ++i)
            c.select(i % 13);
        selected = true;
    });
    double peak = 0.0;
    for (int i = 0; i < 40000 || !selected; ++i) {  // until every choice was made meanwhile
        const float y = c.process(std::sin(0.05f * static_cast<float>(i)));
        peak = std::max(peak, static_cast<double>(std::fabs(y)));
    }
    t.join();
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LT(peak, 10.0);
    c.select(4);
    c.process(0.0f);
    EXPECT_EQ(c.currentResponse(), 4);
}
