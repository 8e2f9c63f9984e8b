#include "dsp/CabinetConvolver.h"

#include <gtest/gtest.h>

#include <algorithm>
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

TEST(CabinetConvolver, FftPathEqualsDirectConvolution)
{
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> in(3000);
    for (float& v : in)
        v = u(rng);
    for (int r = 0; r < kCabinetResponseCount; ++r) {
        CabinetConvolver c;
        c.select(r);
        const std::vector<float> out = run(c, in);
        const CabinetResponse& h = kCabinetResponses[r];
        const double scale = static_cast<double>(CabinetConvolver::gainFor(r)) * CabinetConvolver::fftSizeFor(r);
        double err = 0.0;
        double ref = 0.0;
        for (size_t i = kLatency; i < in.size(); ++i) {
            double y = 0.0;
            for (int m = 0; m < h.length && static_cast<size_t>(m) <= i - kLatency; ++m)
                y += static_cast<double>(h.taps[m]) * in[i - kLatency - static_cast<size_t>(m)];
            y *= scale;
            err += (out[i] - y) * (out[i] - y);
            ref += y * y;
        }
        EXPECT_LT(std::sqrt(err / ref), 1e-5) << "response " << r;
    }
}

// Two convolvers fed the same signal; one switches, the reference does not. Right after
// the switch the pending output of the old response must play at its old level.
TEST(CabinetConvolver, SwitchingToASmallerResponseKeepsTheTailLevel)
{
    std::mt19937 rng(99);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int phase = 0; phase < 16; phase += 5) {
        CabinetConvolver switching;
        CabinetConvolver reference;
        switching.select(6);  // N 512
        reference.select(6);
        for (int i = 0; i < 800 + phase; ++i) {
            const float x = u(rng);
            ASSERT_EQ(switching.process(x), reference.process(x));
        }
        switching.select(0);  // N 64: 8 times the per-N gain
        // The samples already in the unfinished input block are convolved with the new
        // response and come out from sample 31 - phase on. Before that everything played
        // is the old response's pending output; at a block boundary (phase 0), with
        // silence afterwards, the 48 overlap entries the smaller size carries on follow.
        const int kept = phase == 0 ? 31 + 48 : 31 - phase;
        double peak = 0.0;
        for (int i = 0; i < kept; ++i) {
            const float a = switching.process(0.0f);
            const float b = reference.process(0.0f);
            peak = std::max(peak, static_cast<double>(std::fabs(b)));
            ASSERT_NEAR(a, b, 1e-6 * (1.0 + std::fabs(b))) << "phase " << phase << " sample " << i;
        }
        EXPECT_GT(peak, 0.01);  // there was a real tail to compare
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

TEST(CabinetConvolver, StaleOverlapDoesNotReturnWhenALargerSizeIsChosenAgain)
{
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    CabinetConvolver c;
    c.select(8);  // N 512: the overlap fills up to entry 495
    for (int i = 0; i < 1000; ++i)
        c.process(u(rng));
    c.select(2);  // N 64: only entries 0..47 are used from here on
    for (int i = 0; i < 200; ++i)
        c.process(0.0f);
    c.select(9);  // N 512 again
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
    std::thread t([&] {
        for (int i = 0; i < 20000; ++i)
            c.select(i % 13);
    });
    double peak = 0.0;
    for (int i = 0; i < 40000; ++i) {
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
