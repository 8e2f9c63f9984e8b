// The latency a pair of libsoxr converters would add around the engine (host rate to
// 44.1 kHz and back), for the configurations that bring its latency down, against the
// plug-in's own converters. It is why the plug-in converts with a filter of its own: at
// the quality asked for, libsoxr's block-wise (FFT) filtering holds back 8 ms or more.
//
// Each pair is fed one host frame at a time and drained completely after each, as a
// plug-in must to hand out every block whole; the latency is the most output frames ever
// owed to input frames, which the plug-in would have to hold back from the start.
//
// usage: korvalex-soxr-latency

#include <soxr.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "dsp/RateConversion.h"

namespace {

constexpr double kEngineRate = 44100.0;
constexpr double kSeconds = 2.0;

struct Configuration {
    const char* name;
    unsigned long recipe;
    double precision, phase, passbandEnd;
    unsigned long flags;
    unsigned minDft, largeDft;
};

// libsoxr's defaults, then each option that lowers the latency: the smallest transforms it
// allows, a passband ending nearer 18 kHz (0.816 of 22.05 kHz), fewer bits, intermediate
// and minimum phase, and its variable-rate engine.
const Configuration kConfigurations[] = {
    {"high quality, as shipped", SOXR_HQ, 20, 50, 0.913, 0, 10, 17},
    {"  smallest transforms", SOXR_HQ, 20, 50, 0.913, 0, 8, 8},
    {"  passband to 0.88, 18 bits", SOXR_HQ, 18, 50, 0.88, 0, 8, 8},
    {"  passband to 0.85", SOXR_HQ, 20, 50, 0.85, 0, 8, 8},
    {"  intermediate phase, passband 0.82, 17 bits", SOXR_HQ, 17, 25, 0.82, 0, 8, 8},
    {"  minimum phase, passband 0.85", SOXR_HQ, 20, 0, 0.85, 0, 8, 8},
    {"  variable-rate engine, smallest transforms", SOXR_HQ, 20, 50, 0.913, SOXR_VR, 8, 8},
};

soxr_t create(const Configuration& c, double from, double to)
{
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_quality_spec_t quality = soxr_quality_spec(c.recipe, c.flags);
    quality.precision = c.precision;
    quality.phase_response = c.phase;
    quality.passband_end = c.passbandEnd;
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    runtime.log2_min_dft_size = c.minDft;
    runtime.log2_large_dft_size = c.largeDft;
    soxr_error_t error = nullptr;
    soxr_t converter = soxr_create(from, to, 1, &error, &io, &quality, &runtime);
    return error ? nullptr : converter;
}

// Feeds `n` frames and appends everything the converter gives back. (Input must never be
// null: that would end the stream.)
void feed(soxr_t converter, const float* in, std::size_t n, std::vector<float>& out)
{
    static const float nothing = 0.0f;
    if (!in)
        in = &nothing;
    float buffer[256];
    for (;;) {
        std::size_t taken = 0, given = 0;
        soxr_process(converter, in, n, &taken, buffer, 256, &given);
        out.insert(out.end(), buffer, buffer + given);
        in += taken;
        n -= taken;
        if (n == 0 && given < 256)
            return;
    }
}

// Host frames of the most output owed to input, or -1 when libsoxr refuses the configuration.
long roundTripLatency(const Configuration& c, double hostRate)
{
    soxr_t down = create(c, hostRate, kEngineRate), up = create(c, kEngineRate, hostRate);
    long latency = -1;
    if (down && up) {
        latency = 0;
        long in = 0, out = 0;
        const float silence = 0.0f;
        std::vector<float> engine, host;
        for (long n = 0; n < static_cast<long>(kSeconds * hostRate); ++n) {
            engine.clear();
            host.clear();
            feed(down, &silence, 1, engine);
            feed(up, engine.data(), engine.size(), host);
            ++in;
            out += static_cast<long>(host.size());
            latency = std::max(latency, in - out);
        }
    }
    if (down)
        soxr_delete(down);
    if (up)
        soxr_delete(up);
    return latency;
}

void printCell(long frames, double rate)
{
    if (frames < 0)
        std::printf(" %16s", "refused");
    else
        std::printf(" %6ld (%5.2f ms)", frames, 1000.0 * static_cast<double>(frames) / rate);
}

}  // namespace

int main()
{
    const double rates[] = {48000.0, 96000.0};
    std::printf("round-trip latency, host rate to 44.1 kHz and back, in host frames (%s)\n\n", soxr_version());
    std::printf("  %-48s %16s %16s\n", "converters", "at 48 kHz", "at 96 kHz");
    std::printf("  libsoxr:\n");
    for (const Configuration& c : kConfigurations) {
        std::printf("  %-48s", c.name);
        for (double rate : rates)
            printCell(roundTripLatency(c, rate), rate);
        std::printf("\n");
    }
    std::printf("  %-48s", "the plug-in's own (68-tap Kaiser-windowed sinc)");
    for (double rate : rates)
        printCell(ResamplingKernel(static_cast<int>(rate)).roundTripDelay(), rate);
    std::printf("\n");
    return 0;
}
