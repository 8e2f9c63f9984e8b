// A host at 48, 88.2 or 96 kHz hears what a host at 44.1 kHz hears: the plug-in runs its
// engine at 44.1 kHz between two converters, reports their latency, sounds the same for any
// block lengths, and changes rate safely while suspended, resumed or even processing.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"
#include "tests/e2e/ProcessFootprint.h"
#include "tools/korvalex-validate/TestSignal.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Stereo {
    std::vector<float> left, right;
};

// A plug-in at `rate`, set up the way hosts do it: switched off, rate and block size, on.
std::unique_ptr<PluginHost> pluginAt(float rate, VstIntPtr blockSize = 512)
{
    std::unique_ptr<PluginHost> host = loadPlugin();
    if (!host)
        return host;
    host->setMainsOn(false);
    host->setSampleRate(rate);
    host->setBlockSize(blockSize);
    host->setMainsOn(true);
    return host;
}

Stereo run(PluginHost& host, const std::vector<float>& left, const std::vector<float>& right, int block)
{
    Stereo out{std::vector<float>(left.size()), std::vector<float>(left.size())};
    host.processStereo(left.data(), right.data(), out.left.data(), out.right.data(), left.size(), block);
    return out;
}

Stereo run(PluginHost& host, const std::vector<float>& mono, int block = 512)
{
    return run(host, mono, std::vector<float>(mono.size(), 0.0f), block);
}

std::vector<float> sines(int rate, double seconds, const std::vector<double>& frequencies, double amplitude)
{
    std::vector<float> x(static_cast<std::size_t>(seconds * rate));
    for (std::size_t n = 0; n < x.size(); ++n) {
        double v = 0.0;
        for (double f : frequencies)
            v += amplitude * std::sin(2.0 * kPi * f * static_cast<double>(n) / rate);
        x[n] = static_cast<float>(v);
    }
    return x;
}

// The amplitude at an even frequency over half a second of `y` from `begin` (whole cycles,
// so that other even frequencies do not leak into it).
double amplitudeAt(const std::vector<float>& y, std::size_t begin, int rate, double frequency)
{
    const int frames = rate / 2;
    double s = 0.0, c = 0.0;
    for (int n = 0; n < frames; ++n) {
        const double phase = 2.0 * kPi * frequency * static_cast<double>(n) / rate;
        s += y[begin + static_cast<std::size_t>(n)] * std::sin(phase);
        c += y[begin + static_cast<std::size_t>(n)] * std::cos(phase);
    }
    return 2.0 * std::hypot(s, c) / frames;
}

double toDb(double ratio)
{
    return 20.0 * std::log10(ratio);
}

// The amplifier alone: bank B's first cabinet, tone stack flat, no drive, every effect off.
void plainCabinet(PluginHost& host)
{
    host.setProgram(0);
    for (int index : {kChorusBypass, kDelayBypass, kTremoloBypass, kSpaceBypass, kCompBypass, kGateBypass,
                      kPeqBypass, kDrive, kReverb, kAmplifier})
        host.setParameter(index, 0.0f);
    for (int index : {kTreble, kMiddle, kBass, kPresence})
        host.setParameter(index, 0.5f);
    host.setParameter(kBankAB, 1.0f);
}

}  // namespace

TEST(HostRates, ReportedLatencyIsTheMeasuredOne)
{
    // With Power off the plug-in passes the sum of its inputs, so at any rate the output is
    // twice the input, delayed by the converters' round trip and by nothing else.
    for (float rate : {22050.0f, 44100.0f, 48000.0f, 88200.0f, 96000.0f, 192000.0f}) {
        SCOPED_TRACE(rate);
        std::unique_ptr<PluginHost> host = pluginAt(rate);
        ASSERT_TRUE(host);
        const int delay = host->effect()->initialDelay;
        if (rate <= 44100.0f) {
            EXPECT_EQ(delay, 0);
        }
        EXPECT_LT(delay, 0.002 * rate) << "a latency of two milliseconds at most";
        host->setParameter(kPower, 0.0f);
        const int hostRate = static_cast<int>(rate < 44100.0f ? 44100.0f : rate);
        const std::vector<float> x = sines(hostRate, 0.25, {110.0, 1234.0, 5555.0, 12000.0, 17000.0}, 0.1);
        const Stereo y = run(*host, x, x, 333);
        // The error against the delayed input: tiny at the reported delay, large a frame off.
        auto errorDb = [&](int shift) {
            double error = 0.0, power = 0.0;
            for (std::size_t n = static_cast<std::size_t>(hostRate / 20); n < x.size(); ++n) {
                const double expected = 2.0 * x[n - static_cast<std::size_t>(shift)];
                error += (y.left[n] - expected) * (y.left[n] - expected);
                power += expected * expected;
            }
            return 10.0 * std::log10(error / power);
        };
        EXPECT_LT(errorDb(delay), -90.0);
        EXPECT_GT(errorDb(delay + 1), -40.0);
        if (delay > 0) {
            EXPECT_GT(errorDb(delay - 1), -40.0);
        }
        EXPECT_EQ(y.left, y.right);
    }
}

TEST(HostRates, HostsAreToldWhenTheLatencyChanges)
{
    std::unique_ptr<PluginHost> host = loadPlugin();
    ASSERT_TRUE(host);
    EXPECT_EQ(host->effect()->initialDelay, 0);
    host->clearCalls();
    host->setSampleRate(48000.0f);
    const int at48 = host->effect()->initialDelay;
    EXPECT_GT(at48, 0);
    EXPECT_EQ(host->countCalls(audioMasterIOChanged), 1u);
    host->setMainsOn(false);
    host->setSampleRate(48000.0f);
    host->setMainsOn(true);
    EXPECT_EQ(host->effect()->initialDelay, at48);
    EXPECT_EQ(host->countCalls(audioMasterIOChanged), 1u) << "nothing changed";
    host->setSampleRate(96000.0f);
    EXPECT_GT(host->effect()->initialDelay, at48);
    EXPECT_EQ(host->countCalls(audioMasterIOChanged), 2u);
    host->setSampleRate(44100.0f);
    EXPECT_EQ(host->effect()->initialDelay, 0);
    EXPECT_EQ(host->countCalls(audioMasterIOChanged), 3u);
}

TEST(HostRates, BlockLengthsDoNotChangeTheOutput)
{
    // Programs with the modulation, the delay and the Space widener, whose ramps, fades and
    // gains follow the engine's blocks: from a new instance on, through their fades opening,
    // every block length gives the same samples.
    constexpr int kRate = 48000;
    GuitarSignal guitar(7, kRate);
    std::vector<float> x(static_cast<std::size_t>(kRate * 3 / 2));
    for (float& v : x)
        v = guitar.next();
    for (int program : {17, 58, 78}) {
        SCOPED_TRACE(program);
        Stereo reference;
        for (int block : {4096, 1, 7, 64, 1000}) {
            std::unique_ptr<PluginHost> host = pluginAt(static_cast<float>(kRate));
            ASSERT_TRUE(host);
            host->setProgram(program);
            const Stereo y = run(*host, x, block);
            if (reference.left.empty()) {
                reference = y;
                continue;
            }
            EXPECT_EQ(y.left, reference.left) << "blocks of " << block;
            EXPECT_EQ(y.right, reference.right) << "blocks of " << block;
        }
    }
}

TEST(HostRates, CabinetAndEqualiserSoundTheSameAtEveryRate)
{
    // Bank B's first cabinet, its level at 5, 8 and 12 kHz against 1 kHz (-14, -35 and -57 dB
    // at 44.1 kHz; at 96 kHz the cabinet used to sound an octave up, at +5, -1 and -14 dB);
    // then the equaliser's mid band, 15 dB up at 2.2 kHz and a quarter octave wide, which is
    // designed for the rate it runs at (44.1 kHz) whatever the host's.
    const std::vector<double> frequencies = {1000.0, 5000.0, 8000.0, 12000.0, 2200.0};
    auto equaliser = [](PluginHost& host) {
        plainCabinet(host);
        host.setParameter(kPeqBypass, 1.0f);
        host.setParameter(kMidGain, 1.0f);
        host.setParameter(kMidFreq, 0.5f);
        host.setParameter(kMidBand, 0.0f);
    };
    std::vector<double> designed[2];
    for (float rate : {44100.0f, 48000.0f, 88200.0f, 96000.0f}) {
        SCOPED_TRACE(rate);
        const int hostRate = static_cast<int>(rate);
        for (int withEqualiser = 0; withEqualiser < 2; ++withEqualiser) {
            // All the tones at once, low enough for every stage to stay linear.
            std::unique_ptr<PluginHost> host = pluginAt(rate);
            ASSERT_TRUE(host);
            withEqualiser ? equaliser(*host) : plainCabinet(*host);
            const Stereo y = run(*host, sines(hostRate, 0.8, frequencies, 0.01));
            std::vector<double> levels;
            for (double frequency : frequencies)
                levels.push_back(toDb(amplitudeAt(y.left, static_cast<std::size_t>(hostRate / 4), hostRate, frequency)));
            const double reference = levels[0];
            for (double& level : levels)
                level -= reference;
            if (rate == 44100.0f)
                designed[withEqualiser] = levels;
            for (std::size_t k = 1; k < levels.size(); ++k)
                EXPECT_NEAR(levels[k], designed[withEqualiser][k], 0.5) << frequencies[k] << " Hz";
        }
    }
    EXPECT_NEAR(designed[0][1], -14.1, 0.5);
    EXPECT_GT(designed[1][4] - designed[0][4], 12.0) << "the equaliser's boost at 2.2 kHz";
}

TEST(HostRates, DelayAndTremoloKeepTheirTimes)
{
    // The first repeat of a short burst, and the tremolo's period, in seconds, at 96 kHz as
    // at 44.1 kHz.
    auto measure = [](float rate, bool tremolo) {
        const int hostRate = static_cast<int>(rate);
        std::unique_ptr<PluginHost> host = pluginAt(rate);
        EXPECT_TRUE(host);
        plainCabinet(*host);
        std::vector<float> x;
        if (tremolo) {
            host->setParameter(kTremoloBypass, 1.0f);
            host->setParameter(kTremoloDepth, 1.0f);
            host->setParameter(kTremoloSpeed, 0.4f);
            x = sines(hostRate, 3.0, {440.0}, 0.05);
        } else {
            host->setParameter(kDelayBypass, 1.0f);
            host->setParameter(kDelayMix, 0.7f);
            host->setParameter(kDelaySpeed, 0.1f);
            host->setParameter(kDelaySustain, 0.3f);
            x.assign(static_cast<std::size_t>(hostRate / 2), 0.0f);
            const int burst = hostRate / 200;  // 5 ms of 2 kHz under a raised cosine, at 100 ms
            for (int n = 0; n < burst; ++n)
                x[static_cast<std::size_t>(hostRate / 10 + n)] = static_cast<float>(
                    0.3 * (0.5 - 0.5 * std::cos(2.0 * kPi * n / burst)) * std::sin(2.0 * kPi * 2000.0 * n / hostRate));
        }
        const Stereo y = run(*host, x);
        // The envelope: the largest magnitude in each step of about a millisecond.
        const int hop = hostRate / 1000;
        const double secondsPerStep = static_cast<double>(hop) / hostRate;
        std::vector<double> envelope;
        for (std::size_t start = 0; start + static_cast<std::size_t>(hop) <= y.left.size(); start += hop) {
            double peak = 0.0;
            for (int i = 0; i < hop; ++i)
                peak = std::max(peak, static_cast<double>(std::fabs(y.left[start + i]) + std::fabs(y.right[start + i])));
            envelope.push_back(peak);
        }
        if (!tremolo) {
            // Time from the burst's loudest sample to its first repeat's, in seconds.
            auto loudest = [&](std::size_t from, std::size_t to) {
                std::size_t best = from;
                for (std::size_t n = from; n < to; ++n)
                    if (std::fabs(y.left[n]) + std::fabs(y.right[n]) > std::fabs(y.left[best]) + std::fabs(y.right[best]))
                        best = n;
                return best;
            };
            const std::size_t direct = loudest(static_cast<std::size_t>(hostRate / 10), static_cast<std::size_t>(hostRate * 3 / 20));
            const std::size_t repeat = loudest(direct + static_cast<std::size_t>(hostRate / 50), y.left.size());
            return static_cast<double>(repeat - direct) / hostRate;
        }
        // The tremolo's period: the strongest modulation frequency of the envelope's last two
        // seconds, found to a thousandth of a hertz.
        const std::size_t begin = envelope.size() - 2000;
        double mean = 0.0;
        for (std::size_t i = begin; i < envelope.size(); ++i)
            mean += envelope[i] / 2000.0;
        auto power = [&](double f) {
            double s = 0.0, c = 0.0;
            for (std::size_t i = begin; i < envelope.size(); ++i) {
                const double phase = 2.0 * kPi * f * static_cast<double>(i) * secondsPerStep;
                s += (envelope[i] - mean) * std::sin(phase);
                c += (envelope[i] - mean) * std::cos(phase);
            }
            return s * s + c * c;
        };
        double best = 0.0;
        for (double step : {0.01, 0.0001}) {
            const double from = best == 0.0 ? 0.5 : best - 100.0 * step, to = best == 0.0 ? 20.0 : best + 100.0 * step;
            double bestPower = -1.0;
            for (double f = from; f < to; f += step) {
                const double p = power(f);
                if (p > bestPower) {
                    bestPower = p;
                    best = f;
                }
            }
        }
        return 1.0 / best;
    };
    const double repeat = measure(44100.0f, false), period = measure(44100.0f, true);
    EXPECT_GT(repeat, 0.09);
    EXPECT_NEAR(measure(96000.0f, false), repeat, 2.0 / 44100.0);
    EXPECT_NEAR(measure(96000.0f, true), period, 0.001 * period);
}

TEST(HostRates, RateChangesLeaveNoMemoryBehind)
{
    std::unique_ptr<PluginHost> host = pluginAt(96000.0f);
    ASSERT_TRUE(host);
    std::vector<float> x(512, 0.1f), l(512), r(512);
    auto cycle = [&](int times) {
        const float rates[] = {48000.0f, 96000.0f, 44100.0f, 192000.0f, 50021.0f, 88200.0f, 96000.0f};
        for (int i = 0; i < times; ++i) {
            for (float rate : rates) {
                host->setMainsOn(false);
                host->setSampleRate(rate);
                host->setMainsOn(true);
                host->processStereo(x.data(), x.data(), l.data(), r.data(), x.size(), 512);
            }
            host->clearCalls();  // the host's own record of the calls must not grow either
        }
    };
    cycle(2);  // the allocator settles: the largest kernels come from the heap, not the system, from then on
    ProcessFootprint::measure();  // its own first call keeps a little
    const std::int64_t before = ProcessFootprint::measure().heapInUse;
    constexpr int kCycles = 10;
    cycle(kCycles);
    const std::int64_t after = ProcessFootprint::measure().heapInUse;
    // Nothing at all on Linux; a system heap may move by a few bytes. The smallest converter
    // pair left behind would be over 40 kB, and 140 are built here.
    EXPECT_LT(after - before, 1024 * kCycles) << "heap in use " << before << " -> " << after << " bytes";
}

TEST(HostRates, RateChangesWhileProcessingStayFinite)
{
    // Some hosts set the rate (and resume) on another thread while the audio thread runs:
    // blocks run until the other thread has replaced the converters two hundred times.
    std::unique_ptr<PluginHost> host = pluginAt(48000.0f, 128);
    ASSERT_TRUE(host);
    host->setProgram(58);
    std::atomic<bool> done{false};
    std::atomic<unsigned> changes{0};
    std::thread control([&] {
        const float rates[] = {96000.0f, 44100.0f, 88200.0f, 48000.0f, 50021.0f};
        for (unsigned step = 0; !done.load(); changes = ++step) {
            host->setSampleRate(rates[step % 5]);
            if (step % 3 == 0)
                host->setMainsOn(true);
        }
    });
    GuitarSignal guitar(3);
    std::vector<float> x(128), l(128), r(128);
    bool finite = true;
    for (int block = 0; block < 1500 || changes < 200; ++block) {
        for (float& v : x)
            v = guitar.next();
        host->processStereo(x.data(), x.data(), l.data(), r.data(), x.size(), 128);
        for (int i = 0; i < 128; ++i)
            finite = finite && std::isfinite(l[i]) && std::isfinite(r[i]) && std::fabs(l[i]) < 10.0f;
    }
    done = true;
    control.join();
    EXPECT_TRUE(finite);
}
