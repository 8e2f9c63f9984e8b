// Realtime factor of the built plug-in: seconds of audio processed per CPU second, for a
// few representative settings, through the VST interface as a host drives it.
//
// usage: korvalex-bench [PLUGIN] [SECONDS]

#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "host/PluginHost.h"

namespace {

constexpr int kBlockSize = 512;
constexpr double kRate = 44100.0;

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

struct Case {
    const char* name;
    std::function<void(PluginHost&)> setUp;
};

void everythingOn(PluginHost& host)
{
    for (int index : {kChorusBypass, kDelayBypass, kTremoloBypass, kSpaceBypass, kCompBypass, kGateBypass,
                      kPeqBypass, kCenterPan, kBankAB})
        host.setParameter(index, 1.0f);
    host.setParameter(kDrive, 0.7f);
    host.setParameter(kReverb, 0.4f);
    host.setParameter(kInputHiLow, 0.0f);
    host.setParameter(kAmplifier, 16.0f / 19.0f);
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[1] : "korvalex.so";
    const double seconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    const auto frames = static_cast<std::size_t>(seconds * kRate);

    std::vector<float> in(frames), silence(frames, 0.0f), left(frames), right(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;
        in[i] = static_cast<float>(0.3 * std::sin(2.0 * M_PI * 82.4 * t) * std::exp(-std::fmod(t, 2.0)));
    }

    const std::vector<Case> cases = {
        {"program 0 (clean, bank A cabinet)", [](PluginHost& h) { h.setProgram(0); }},
        {"bank B cabinet (512-point convolution)",
         [](PluginHost& h) {
             h.setProgram(0);
             h.setParameter(kBankAB, 1.0f);
         }},
        {"every block on", [](PluginHost& h) {
             h.setProgram(0);
             everythingOn(h);
         }},
    };

    std::printf("realtime factor of %s on %.0f s of audio (higher is faster)\n", path.c_str(), seconds);
    for (const Case& c : cases) {
        std::string error;
        auto host = PluginHost::load(path, error);
        if (!host) {
            std::fprintf(stderr, "korvalex-bench: %s\n", error.c_str());
            return 1;
        }
        c.setUp(*host);
        const double start = cpuSeconds();
        host->processStereo(in.data(), silence.data(), left.data(), right.data(), frames, kBlockSize);
        const double used = cpuSeconds() - start;
        std::printf("  %-42s %8.1fx\n", c.name, used > 0.0 ? seconds / used : 0.0);
    }
    return 0;
}
