// A user's impulse response in the cabinet convolver: its non-uniform partitions against
// direct convolution, through response changes and host blocks of any length; its level
// against the stored response it replaces; the hand-over of responses between threads.

#include "dsp/CabinetConvolver.h"
#include "dsp/CabinetLevel.h"
#include "dsp/UserCabinet.h"

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
constexpr int kStep = CabinetConvolver::kBlockSize;

// A decaying noise response of `length` taps.
std::vector<float> noiseResponse(int length, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<float> n(0.0f, 0.3f);
    std::vector<float> h(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        h[static_cast<size_t>(i)] = n(rng) * std::exp(-3.0f * static_cast<float>(i) / static_cast<float>(length));
    return h;
}

// Bursts of noise with silence between them, so that direct convolution stays cheap.
std::vector<float> bursts(size_t frames, size_t every, size_t burst, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<float> x(frames, 0.0f);
    for (size_t start = 100; start < frames; start += every)
        for (size_t i = start; i < std::min(frames, start + burst); ++i)
            x[i] = u(rng);
    return x;
}

// What happens before the sample `at` is processed: a user response offered (or the stored
// ones given back), or a select() number.
struct Event {
    size_t at;
    const std::vector<float>* offer;  // null: no offer
    bool giveBack;                    // offer the stored responses again
    int select;                       // -1: no select
};

// The response and the gain in force for each 16-sample block: those of the events
// before the block's last sample.
struct Heard {
    const float* taps;
    int length;
    double gain;
};

std::vector<Heard> heardPerBlock(size_t frames, const std::vector<Event>& events)
{
    std::vector<Heard> heard;
    const std::vector<float>* user = nullptr;
    double userBand = 1.0;
    int number = 0;
    size_t next = 0;
    for (size_t b = 0; b * kStep < frames; ++b) {
        const size_t last = b * kStep + kStep - 1;
        for (; next < events.size() && events[next].at <= last; ++next) {
            if (events[next].offer) {
                user = events[next].offer;
                userBand = cabinetBandGain(user->data(), static_cast<int>(user->size()), 44100.0);
            }
            if (events[next].giveBack)
                user = nullptr;
            if (events[next].select >= 0)
                number = events[next].select;
        }
        if (user) {
            const int length = static_cast<int>(user->size());
            heard.push_back({user->data(), length, CabinetConvolver::bandLevelFor(number) / userBand});
        } else {
            const CabinetResponse& r = kCabinetResponses[CabinetConvolver::responseFor(number)];
            const double gain = static_cast<double>(CabinetConvolver::gainFor(number)) *
                                CabinetConvolver::fftSizeFor(CabinetConvolver::responseFor(number));
            heard.push_back({r.taps, r.length, gain});
        }
    }
    return heard;
}

// Every input sample through the response its block met, 31 samples late, in double.
std::vector<double> directConvolution(const std::vector<float>& x, const std::vector<Event>& events)
{
    const std::vector<Heard> heard = heardPerBlock(x.size(), events);
    std::vector<double> y(x.size(), 0.0);
    for (size_t i = 0; i < x.size(); ++i) {
        if (x[i] == 0.0f)
            continue;
        const Heard& h = heard[i / kStep];
        const double in = h.gain * x[i];
        for (int n = 0; n < h.length && i + kLatency + static_cast<size_t>(n) < y.size(); ++n)
            y[i + kLatency + static_cast<size_t>(n)] += in * h.taps[n];
    }
    return y;
}

// Runs the convolver in host blocks of random lengths, applying each event before its sample.
std::vector<float> runWithEvents(CabinetConvolver& c, const std::vector<float>& x, const std::vector<Event>& events,
                                 unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_int_distribution<size_t> length(1, 333);
    std::vector<float> out(x.size());
    size_t next = 0;
    for (size_t start = 0; start < x.size();) {
        for (; next < events.size() && events[next].at == start; ++next) {
            const Event& e = events[next];
            if (e.offer)
                c.offer(UserCabinet::prepare(e.offer->data(), static_cast<int>(e.offer->size()), 1.0f));
            if (e.giveBack)
                c.offer(nullptr);
            if (e.select >= 0)
                c.select(e.select);
        }
        size_t end = std::min(x.size(), start + length(rng));
        if (next < events.size())
            end = std::min(end, events[next].at);
        c.process(x.data() + start, out.data() + start, static_cast<int>(end - start));
        start = end;
    }
    return out;
}

double largestErrorOverPeak(const std::vector<float>& got, const std::vector<double>& expected)
{
    double error = 0.0, peak = 0.0;
    for (size_t i = 0; i < got.size(); ++i) {
        error = std::max(error, std::fabs(got[i] - expected[i]));
        peak = std::max(peak, std::fabs(expected[i]));
    }
    return error / peak;
}

}  // namespace

// Each length reaches a different set of levels: the head alone, the first level, two
// levels, all three. Two responses of the length take turns with a stored one, with gain
// changes while a user's response sounds, at odd samples and in odd host blocks; every
// change lets the previous response's tail ring out.
TEST(UserCabinet, EqualsDirectConvolutionThroughChangesAndOddBlocks)
{
    for (int length : {16, 316, 4096, 44100}) {
        const std::vector<float> a = noiseResponse(length, 11);
        const std::vector<float> b = noiseResponse(length, 12);
        const size_t span = static_cast<size_t>(length) + 1500;
        const size_t frames = 6 * span;
        const std::vector<Event> events = {
            {0, &a, false, 6},
            {span + 37, &b, false, -1},
            {2 * span + 5, nullptr, false, 14},  // another amplifier: the match follows
            {3 * span + 101, nullptr, true, -1},  // the stored responses again
            {4 * span + 3, &a, false, 2},
            {4 * span + 400, nullptr, false, 9},  // mid-burst
        };
        const std::vector<float> x = bursts(frames, span / 2, 500, 3);
        CabinetConvolver c;
        const std::vector<float> got = runWithEvents(c, x, events, static_cast<unsigned>(length));
        EXPECT_LT(largestErrorOverPeak(got, directConvolution(x, events)), 1e-6) << length << " taps";
        EXPECT_TRUE(c.userResponseInPlace());
    }
}

// A response with a stored response's taps plays at that response's level, whatever the
// amplifier: the match follows select() and each response's own voicing factor.
TEST(UserCabinet, StoredTapsAsAUserResponseSoundAsTheStoredResponse)
{
    const std::vector<float> x = bursts(6000, 1500, 900, 8);
    for (int number : {0, 1, 6, 9, 11}) {
        const CabinetResponse& r = kCabinetResponses[number];
        CabinetConvolver stored, user;
        stored.select(number);
        user.select(number);
        user.offer(UserCabinet::prepare(r.taps, r.length, 1.0f));
        std::vector<float> expected(x.size()), got(x.size());
        stored.process(x.data(), expected.data(), static_cast<int>(x.size()));
        user.process(x.data(), got.data(), static_cast<int>(x.size()));
        double error = 0.0, peak = 0.0;
        for (size_t i = 0; i < x.size(); ++i) {
            error = std::max(error, static_cast<double>(std::fabs(got[i] - expected[i])));
            peak = std::max(peak, static_cast<double>(std::fabs(expected[i])));
        }
        EXPECT_LT(error / peak, 1e-6) << "response " << number;
    }
}

TEST(UserCabinet, UnusableResponsesAreRefused)
{
    const std::vector<float> good = noiseResponse(300, 1);
    std::vector<float> notFinite = good;
    notFinite[200] = std::nanf("");
    const std::vector<float> tooLong = noiseResponse(UserCabinet::kMaxTaps + 1, 2);
    const std::vector<float> silent(300, 1e-7f);  // -140 dB in the band
    std::vector<float> ultrasonic(300);           // 20 kHz only: nothing in the band to level
    for (size_t i = 0; i < ultrasonic.size(); ++i) {
        const double phase = 2.0 * 3.14159265358979 * static_cast<double>(i);
        const double hann = 0.5 - 0.5 * std::cos(phase / static_cast<double>(ultrasonic.size()));
        ultrasonic[i] = static_cast<float>(0.5 * hann * std::cos(phase * 20000.0 / 44100.0));
    }
    struct Case {
        const char* what;
        const float* taps;
        int length;
        float gain;
    } cases[] = {
        {"no taps", nullptr, 300, 1.0f},
        {"length 0", good.data(), 0, 1.0f},
        {"negative length", good.data(), -5, 1.0f},
        {"too long", tooLong.data(), UserCabinet::kMaxTaps + 1, 1.0f},
        {"not finite", notFinite.data(), 300, 1.0f},
        {"gain not finite", good.data(), 300, INFINITY},
        {"gain zero", good.data(), 300, 0.0f},
        {"silent", silent.data(), 300, 1.0f},
        {"nothing in the band", ultrasonic.data(), 300, 1.0f},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UserCabinet::prepare(c.taps, c.length, c.gain), nullptr) << c.what;
    EXPECT_NE(UserCabinet::prepare(tooLong.data(), UserCabinet::kMaxTaps, 1.0f), nullptr);
}

// Offers faster than the audio side takes them: an offer replaced before a process call
// never sounds; a fourth response waits while three still sound, then comes in.
TEST(UserCabinet, OffersReplacedOrWaitingForTheRingingOnes)
{
    const int length = 5000;
    const std::vector<float> a = noiseResponse(length, 21), b = noiseResponse(length, 22);
    const std::vector<float> last = noiseResponse(300, 23);
    const auto prepared = [](const std::vector<float>& h) {
        return UserCabinet::prepare(h.data(), static_cast<int>(h.size()), 1.0f);
    };
    CabinetConvolver c, reference;  // the reference is never offered what c waits for
    const auto offerBoth = [&](const std::vector<float>& h) {
        c.offer(prepared(h));
        reference.offer(prepared(h));
    };
    const auto runBoth = [&](const std::vector<float>& x, int frames) {
        std::vector<float> got(static_cast<size_t>(frames)), expected(got.size());
        c.process(x.data(), got.data(), frames);
        reference.process(x.data(), expected.data(), frames);
        for (size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], expected[i]) << i;
    };
    const std::vector<float> x = bursts(5000, 10000, 4900, 5);

    c.offer(prepared(a));
    offerBoth(b);  // replaces a before it is taken
    runBoth(x, 3000);
    offerBoth(a);
    runBoth(x, 500);
    offerBoth(b);
    runBoth(x, 500);  // b, a and b sound, the first two ringing out
    c.offer(prepared(last));
    // The first b has had silence since sample 3000 and drains some 6200 samples later
    // (its 5088 taps covered, two blocks of its largest level, the head); until then new
    // input still meets the second b, as in the reference.
    runBoth(x, 16);
    runBoth(x, 4900);
    // Then `last` comes in; once the others have rung out, an impulse comes out as its taps.
    std::vector<float> in(8000 + kLatency + 300, 0.0f), y(in.size());
    in[8000] = 1.0f;
    for (size_t i = 0; i < in.size(); i += kStep)
        c.process(in.data() + i, y.data() + i, static_cast<int>(std::min<size_t>(kStep, in.size() - i)));
    const double gain = CabinetConvolver::bandLevelFor(0) / cabinetBandGain(last.data(), 300, 44100.0);
    for (size_t n = 0; n < last.size(); ++n)
        ASSERT_NEAR(y[8000 + kLatency + n], gain * last[n], 1e-5) << n;
}

// Responses offered from another thread while the audio side runs (the thread sanitizer
// build watches the hand-over); the sound stays finite and the last offer ends in place.
TEST(UserCabinet, OffersFromAnotherThreadWhileProcessing)
{
    const std::vector<float> shortOne = noiseResponse(300, 31), longOne = noiseResponse(5000, 32);
    CabinetConvolver c;
    std::atomic<bool> done{false};
    std::thread offering([&] {
        for (int i = 0; i < 40; ++i) {
            const std::vector<float>& h = i % 2 ? shortOne : longOne;
            c.offer(i % 5 == 4 ? nullptr : UserCabinet::prepare(h.data(), static_cast<int>(h.size()), 1.0f));
            c.select(i % 12);
        }
        c.offer(UserCabinet::prepare(shortOne.data(), 300, 1.0f));
        done = true;
    });
    const std::vector<float> x = bursts(4096, 1000, 600, 9);
    std::vector<float> y(x.size());
    double peak = 0.0;
    const auto processRound = [&] {
        c.process(x.data(), y.data(), static_cast<int>(x.size()));
        for (float v : y)
            peak = std::max(peak, static_cast<double>(std::fabs(v)));
    };
    for (int round = 0; !done; ++round) {
        processRound();
        ASSERT_LT(round, 100000);
    }
    offering.join();
    // The last offer is taken at the next call, or once a ringing tail has ended (4.6 s here).
    for (int round = 0; round < 50; ++round)
        processRound();
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LT(peak, 100.0);
    EXPECT_TRUE(c.userResponseInPlace());
}
