// Realtime factors (seconds of audio per CPU second) of the cabinet convolution alone and
// of the built plug-in, driven through the VST interface as a host drives it: program 0,
// a bank-B amplifier without effects, every block on, and the three heaviest factory
// programs; then program 0 with impulse responses of 10 ms, 100 ms and 1 s in place of its
// own cabinet (the private cabinet request, as korvalex-render --cabinet sends it); then
// program 0 and the heaviest program at 48 and 96 kHz, where the plug-in converts to its
// engine's 44.1 kHz and back, against 44.1 kHz. All cases run on the same guitar DI signal
// (made at each rate), interleaved, on one core; each figure is the median of several
// runs. Reports ratios, never pass/fail.
//
// usage: korvalex-bench [--seconds S] [--runs N] [--block N] [--previous PLUGIN] [PLUGIN]
//   PLUGIN      the plug-in file to measure (default: korvalex.so beside this program)
//   --previous  an earlier build of the plug-in, run through the same cases for the
//               "vs previous" column

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <ctime>
#include <functional>
#include <random>
#include <memory>
#include <string>
#include <vector>

#include "dsp/CabinetConvolver.h"
#include "dsp/ParameterIndex.h"
#include "host/PluginHost.h"
#include "tests/dsp/BlockFftCabinetConvolver.h"
#include "tools/korvalex-validate/TestSignal.h"
#include "vst/KorvalexRequests.h"

namespace {

constexpr double kRate = 44100.0;
constexpr double kHostRates[] = {48000.0, 96000.0};
constexpr int kHeaviestCount = 3;
constexpr double kSurveySeconds = 3.0;  // per program, to find the heaviest ones

// guitarix's gx_amp LV2 plug-in (amplifier and cabinet) on this machine, as recorded in
// the issue that asked for this comparison: the same DI, blocks of 256, one core, CPU
// time of the processing loop, median of five. It is not run here.
constexpr double kGxAmpRecorded = 126.0;

struct Options {
    double seconds = 60.0;
    int runs = 5;
    int blockSize = 256;
    std::string plugin;
    std::string previous;
};

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// Keeps the measurement on the processor it started on, so that every case sees the same
// core and caches.
int pinToOneCore()
{
    const int cpu = sched_getcpu();
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(cpu, &set);
    return sched_setaffinity(0, sizeof set, &set) == 0 ? cpu : -1;
}

std::string besideThisProgram(const char* name)
{
    std::vector<char> path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    std::string dir = n > 0 ? std::string(path.data(), static_cast<size_t>(n)) : std::string();
    const size_t slash = dir.rfind('/');
    return slash == std::string::npos ? name : dir.substr(0, slash + 1) + name;
}

// The DI signal and the output buffers every case at one rate shares.
struct Signal {
    std::vector<float> left, right, outLeft, outRight;
    double rate;
    Signal(double seconds, double sampleRate)
        : left(static_cast<size_t>(seconds * sampleRate)),
          right(left.size(), 0.0f),
          outLeft(left.size()),
          outRight(left.size()),
          rate(sampleRate)
    {
        GuitarSignal(1, sampleRate).fill(left.data(), left.size());
    }
    size_t frames() const { return left.size(); }
};

// A plug-in instance set up like a host does before playback.
std::unique_ptr<PluginHost> startInstance(const std::string& path, int blockSize,
                                          const std::function<void(PluginHost&)>& setUp, double rate = kRate)
{
    std::string error;
    std::unique_ptr<PluginHost> host = PluginHost::load(path, error);
    if (!host) {
        std::fprintf(stderr, "korvalex-bench: %s\n", error.c_str());
        std::exit(1);
    }
    host->dispatch(effOpen);
    host->setSampleRate(static_cast<float>(rate));
    host->setBlockSize(blockSize);
    host->setMainsOn(true);
    setUp(*host);
    return host;
}

// CPU seconds to process `frames` of the signal through a fresh instance.
double pluginCost(const std::string& path, int blockSize, const std::function<void(PluginHost&)>& setUp,
                  Signal& s, size_t frames)
{
    std::unique_ptr<PluginHost> host = startInstance(path, blockSize, setUp, s.rate);
    const double start = threadCpuSeconds();
    host->processStereo(s.left.data(), s.right.data(), s.outLeft.data(), s.outRight.data(), frames, blockSize);
    return threadCpuSeconds() - start;
}

// CPU seconds of a cabinet convolver alone on the signal, one sample per call for the
// previous convolver (its only interface), host-sized blocks for the partitioned one.
template <typename Convolver>
double cabinetCost(int response, int blockSize, Signal& s)
{
    Convolver c;
    c.select(response);
    const double start = threadCpuSeconds();
    for (size_t begin = 0; begin < s.frames(); begin += static_cast<size_t>(blockSize)) {
        const size_t end = std::min(s.frames(), begin + static_cast<size_t>(blockSize));
        if constexpr (std::is_same_v<Convolver, CabinetConvolver>) {
            c.process(s.left.data() + begin, s.outLeft.data() + begin, static_cast<int>(end - begin));
        } else {
            for (size_t i = begin; i < end; ++i)
                s.outLeft[i] = c.process(s.left[i]);
        }
    }
    return threadCpuSeconds() - start;
}

struct Case {
    std::string name;
    std::function<double(Signal&)> measure;          // CPU seconds of one run
    std::function<double(Signal&)> measurePrevious;  // the same through the previous build, if any
    bool comparableToGxAmp = true;                   // a whole amplifier, as gx_amp is
    std::vector<double> costs, previousCosts;
    bool impulseResponse = false;                    // program 0 with an impulse response of its own
    double rate = kRate;      // the host's rate
    std::string sameAs = {};  // at another rate: the name of the case at 44.1 kHz
};

// A cabinet-like impulse response of `seconds`: decaying noise through a one-pole low-pass,
// made here (no file), so every run measures the same taps.
std::vector<float> impulseResponse(double seconds)
{
    std::mt19937 rng(17);
    std::normal_distribution<float> n(0.0f, 1.0f);
    std::vector<float> taps(static_cast<size_t>(seconds * kRate));
    float smooth = 0.0f;
    for (size_t i = 0; i < taps.size(); ++i) {
        smooth += 0.3f * (n(rng) - smooth);
        taps[i] = smooth * std::exp(-6.0f * static_cast<float>(i) / static_cast<float>(taps.size()));
    }
    return taps;
}

void sendImpulseResponse(PluginHost& host, const std::vector<float>& taps)
{
    const KorvalexCabinetRequest request{sizeof(KorvalexCabinetRequest), static_cast<VstInt32>(taps.size()),
                                         taps.data(), 0.0f};
    if (host.dispatch(effVendorSpecific, kKorvalexVendorIndex, kKorvalexCabinetRequest,
                      const_cast<KorvalexCabinetRequest*>(&request)) != 1) {
        std::fprintf(stderr, "korvalex-bench: the plug-in did not take the impulse response\n");
        std::exit(1);
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

std::string programName(const std::string& path, int program)
{
    std::unique_ptr<PluginHost> host = startInstance(path, 256, [](PluginHost&) {});
    std::string name;
    host->programNameIndexed(program, name);
    return name;
}

// The `count` programs that cost most on the first seconds of the signal.
std::vector<int> heaviestPrograms(const Options& o, Signal& s, int count)
{
    std::unique_ptr<PluginHost> probe = startInstance(o.plugin, o.blockSize, [](PluginHost&) {});
    const int programs = probe->numPrograms();
    probe.reset();
    const size_t frames = std::min(s.frames(), static_cast<size_t>(kSurveySeconds * kRate));
    std::vector<std::pair<double, int>> costs;
    for (int p = 0; p < programs; ++p)
        costs.emplace_back(pluginCost(o.plugin, o.blockSize, [p](PluginHost& h) { h.setProgram(p); }, s, frames), p);
    std::sort(costs.rbegin(), costs.rend());
    std::vector<int> heaviest;
    for (int i = 0; i < count && i < static_cast<int>(costs.size()); ++i)
        heaviest.push_back(costs[static_cast<size_t>(i)].second);
    return heaviest;
}

void everyBlockOn(PluginHost& host)
{
    host.setProgram(0);
    for (int index : {kChorusBypass, kDelayBypass, kTremoloBypass, kSpaceBypass, kCompBypass, kGateBypass,
                      kPeqBypass, kCenterPan, kBankAB})
        host.setParameter(index, 1.0f);
    host.setParameter(kDrive, 0.7f);
    host.setParameter(kReverb, 0.4f);
    host.setParameter(kInputHiLow, 0.0f);
    host.setParameter(kAmplifier, 16.0f / 19.0f);
}

std::vector<Case> buildCases(const Options& o, Signal& s)
{
    int heaviest = 0;
    std::vector<Case> cases;
    const int block = o.blockSize;
    for (int response : {0, 6}) {
        const std::string bank = response < 6 ? "bank A" : "bank B";
        const std::string taps = std::to_string(kCabinetResponses[response].length);
        cases.push_back({"cabinet alone, response " + std::to_string(response) + " (" + bank + ", " + taps +
                             " taps)",
                         [response, block](Signal& sig) { return cabinetCost<CabinetConvolver>(response, block, sig); },
                         [response, block](Signal& sig) {
                             return cabinetCost<BlockFftCabinetConvolver>(response, block, sig);
                         },
                         false, {}, {}});
    }

    auto pluginCase = [&](const std::string& name, std::function<void(PluginHost&)> setUp) {
        Case c{name, [&o, setUp](Signal& sig) { return pluginCost(o.plugin, o.blockSize, setUp, sig, sig.frames()); },
               nullptr, true, {}, {}};
        if (!o.previous.empty())
            c.measurePrevious = [&o, setUp](Signal& sig) {
                return pluginCost(o.previous, o.blockSize, setUp, sig, sig.frames());
            };
        cases.push_back(c);
    };
    pluginCase("program 0 \"" + programName(o.plugin, 0) + "\"", [](PluginHost& h) { h.setProgram(0); });
    pluginCase("bank-B amplifier, no effects (program 0, bank B)", [](PluginHost& h) {
        h.setProgram(0);
        h.setParameter(kBankAB, 1.0f);
    });
    pluginCase("every block on", everyBlockOn);
    for (int p : heaviestPrograms(o, s, kHeaviestCount)) {
        if (cases.back().name.rfind("heavy", 0) != 0)
            heaviest = p;
        pluginCase("heavy: program " + std::to_string(p) + " \"" + programName(o.plugin, p) + "\"",
                   [p](PluginHost& h) { h.setProgram(p); });
    }

    const auto responseCase = [&](const std::string& name, std::vector<float> taps) {
        auto shared = std::make_shared<std::vector<float>>(std::move(taps));
        cases.push_back({name,
                         [&o, shared](Signal& sig) {
                             return pluginCost(
                                 o.plugin, o.blockSize,
                                 [shared](PluginHost& h) {
                                     h.setProgram(0);
                                     if (!shared->empty())
                                         sendImpulseResponse(h, *shared);
                                 },
                                 sig, sig.frames());
                         },
                         nullptr, true, {}, {}, true});
    };
    responseCase("own response (stored response 0, 41 taps)", {});
    for (double seconds : {0.01, 0.1, 1.0}) {
        std::vector<float> taps = impulseResponse(seconds);
        const std::string length = seconds < 0.1 ? "10 ms" : seconds < 1.0 ? "100 ms" : "1 s";
        const std::string name = length + " impulse response (" + std::to_string(taps.size()) + " taps)";
        responseCase(name, std::move(taps));
    }

    // Program 0 and the heaviest program again at the other host rates.
    const std::string program0 = cases[2].name;
    const std::string heaviestName = "heavy: program " + std::to_string(heaviest) + " \"" +
                                     programName(o.plugin, heaviest) + "\"";
    for (double rate : kHostRates) {
        for (const auto& [name, program] : {std::pair<std::string, int>{program0, 0}, {heaviestName, heaviest}}) {
            Case c{name + " at " + std::to_string(static_cast<int>(rate / 1000)) + " kHz",
                   [&o, program](Signal& sig) {
                       return pluginCost(o.plugin, o.blockSize, [program](PluginHost& h) { h.setProgram(program); },
                                         sig, sig.frames());
                   },
                   nullptr, true, {}, {}, false, rate, name};
            cases.push_back(c);
        }
    }
    return cases;
}

bool parse(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--seconds" && hasValue)
            o.seconds = std::atof(argv[++i]);
        else if (arg == "--runs" && hasValue)
            o.runs = std::atoi(argv[++i]);
        else if (arg == "--block" && hasValue)
            o.blockSize = std::atoi(argv[++i]);
        else if (arg == "--previous" && hasValue)
            o.previous = argv[++i];
        else if (!arg.empty() && arg[0] != '-' && o.plugin.empty())
            o.plugin = arg;
        else
            return false;
    }
    if (o.plugin.empty())
        o.plugin = besideThisProgram("korvalex.so");
    return o.seconds > 0.0 && o.runs > 0 && o.blockSize > 0;
}

void printRow(const Case& c, double seconds)
{
    const double factor = seconds / median(c.costs);
    std::printf("  %-58s %9.1fx", c.name.c_str(), factor);
    if (c.measurePrevious) {
        const double previous = seconds / median(c.previousCosts);
        std::printf(" %9.1fx %8.2fx", previous, factor / previous);
    } else {
        std::printf(" %10s %9s", "-", "-");
    }
    if (c.comparableToGxAmp)
        std::printf(" %20.2fx", factor / kGxAmpRecorded);
    else
        std::printf(" %21s", "-");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parse(argc, argv, o)) {
        std::fprintf(stderr, "usage: korvalex-bench [--seconds S] [--runs N] [--block N] [--previous PLUGIN] [PLUGIN]\n");
        return 2;
    }
    const int cpu = pinToOneCore();
    Signal signal(o.seconds, kRate);
    std::vector<Signal> atHostRates;
    for (double rate : kHostRates)
        atHostRates.emplace_back(o.seconds, rate);
    auto signalFor = [&](double rate) -> Signal& {
        for (Signal& other : atHostRates)
            if (other.rate == rate)
                return other;
        return signal;
    };
    std::vector<Case> cases = buildCases(o, signal);

    // Interleaved: every case once per round, so that a slower spell of the machine falls
    // on all of them alike.
    for (int run = 0; run < o.runs; ++run) {
        for (Case& c : cases) {
            Signal& sig = signalFor(c.rate);
            c.costs.push_back(c.measure(sig));
            if (c.measurePrevious)
                c.previousCosts.push_back(c.measurePrevious(sig));
        }
    }

    std::printf("korvalex-bench: %s\n", o.plugin.c_str());
    if (!o.previous.empty())
        std::printf("previous build: %s\n", o.previous.c_str());
    std::printf("%.0f s of guitar DI, blocks of %d, CPU time of the processing loop, median of %d interleaved "
                "runs, on CPU %d\n",
                o.seconds, o.blockSize, o.runs, cpu);
    std::printf("previous cabinet: one FFT pair of the response's size per 16 samples (the convolver before the "
                "partitioned one)\n");
    std::printf("gx_amp: %.0fx realtime, RECORDED on this machine in the issue, NOT measured in this run\n\n",
                kGxAmpRecorded);
    std::printf("  %-58s %10s %10s %9s %21s\n", "case", "realtime", "previous", "speed-up", "vs gx_amp (recorded)");
    for (const Case& c : cases)
        if (!c.impulseResponse && c.sameAs.empty())
            printRow(c, o.seconds);

    std::printf("\n  %-58s %10s %20s\n", "program 0 with an impulse response", "realtime", "of its own response");
    double own = 0.0;
    for (const Case& c : cases) {
        if (!c.impulseResponse)
            continue;
        const double factor = o.seconds / median(c.costs);
        if (own == 0.0)
            own = factor;
        std::printf("  %-58s %9.1fx %19.2fx\n", c.name.c_str(), factor, factor / own);
    }

    // The host rates: the same program against itself at 44.1 kHz.
    std::printf("\n  %-58s %10s %12s\n", "at another host rate (converted to 44.1 kHz and back)", "realtime",
                "vs 44.1 kHz");
    for (const Case& c : cases) {
        if (c.sameAs.empty())
            continue;
        for (const Case& base : cases)
            if (base.name == c.sameAs)
                std::printf("  %-58s %9.1fx %11.2fx\n", c.name.c_str(), o.seconds / median(c.costs),
                            median(base.costs) / median(c.costs));
    }
    return 0;
}
