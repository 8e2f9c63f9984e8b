#include "tools/korvalex-host-compare/RenderComparison.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include <fftw3.h>

namespace {

double energy(const Channels& signal)
{
    double sum = 0.0;
    for (const auto& channel : signal)
        for (float s : channel)
            sum += double(s) * double(s);
    return sum;
}

template <typename T>
struct FftwFree {
    void operator()(T* p) const { fftw_free(p); }
};
template <typename T>
using FftwBuffer = std::unique_ptr<T, FftwFree<T>>;

struct PlanDestroy {
    void operator()(fftw_plan_s* p) const { fftw_destroy_plan(p); }
};
using Plan = std::unique_ptr<fftw_plan_s, PlanDestroy>;

// c[lag] = sum over channels and i of a[i] * b[i + lag], for lag in [-maxLag, maxLag]
// (c[maxLag + lag]), through the spectra: the transform of the cross-correlation is
// conj(A) B. The transform is long enough (at least both lengths together) that no lag
// wraps around.
std::vector<double> crossCorrelation(const Channels& a, const Channels& b, long maxLag)
{
    std::size_t longest = 1;
    for (const auto& c : a)
        longest = std::max(longest, c.size());
    std::size_t longestB = 1;
    for (const auto& c : b)
        longestB = std::max(longestB, c.size());
    std::size_t n = 2;
    while (n < longest + longestB)
        n <<= 1;
    const std::size_t bins = n / 2 + 1;

    FftwBuffer<double> time(fftw_alloc_real(n));
    FftwBuffer<fftw_complex> spectrumA(fftw_alloc_complex(bins));
    FftwBuffer<fftw_complex> spectrumB(fftw_alloc_complex(bins));
    FftwBuffer<fftw_complex> product(fftw_alloc_complex(bins));
    const Plan forward(fftw_plan_dft_r2c_1d(static_cast<int>(n), time.get(), spectrumA.get(), FFTW_ESTIMATE));
    const Plan inverse(fftw_plan_dft_c2r_1d(static_cast<int>(n), product.get(), time.get(), FFTW_ESTIMATE));
    std::fill(&product.get()[0][0], &product.get()[0][0] + 2 * bins, 0.0);

    auto transform = [&](const std::vector<float>& x, fftw_complex* out) {
        std::fill(time.get(), time.get() + n, 0.0);
        std::copy(x.begin(), x.end(), time.get());
        fftw_execute_dft_r2c(forward.get(), time.get(), out);
    };
    for (std::size_t c = 0; c < a.size(); ++c) {
        transform(a[c], spectrumA.get());
        transform(b[c], spectrumB.get());
        for (std::size_t k = 0; k < bins; ++k) {
            const double ar = spectrumA.get()[k][0], ai = spectrumA.get()[k][1];
            const double br = spectrumB.get()[k][0], bi = spectrumB.get()[k][1];
            product.get()[k][0] += ar * br + ai * bi;
            product.get()[k][1] += ar * bi - ai * br;
        }
    }
    fftw_execute(inverse.get());  // unnormalized: n times the correlation

    std::vector<double> result(static_cast<std::size_t>(2 * maxLag + 1), 0.0);
    const long size = static_cast<long>(n);
    for (long lag = -maxLag; lag <= maxLag; ++lag) {
        if (lag <= -size || lag >= size)
            continue;
        const long index = lag < 0 ? lag + size : lag;
        result[static_cast<std::size_t>(lag + maxLag)] = time.get()[index] / double(n);
    }
    return result;
}

float sampleAt(const std::vector<float>& channel, long index)
{
    return (index >= 0 && index < static_cast<long>(channel.size())) ? channel[static_cast<std::size_t>(index)] : 0.0f;
}

}  // namespace

Alignment findAlignment(const Channels& reference, const Channels& rendered, long maxOffset)
{
    Alignment best;
    const double norm = std::sqrt(energy(reference) * energy(rendered));
    if (reference.size() != rendered.size() || !(norm > 0.0) || !std::isfinite(norm))
        return best;
    maxOffset = std::max(0L, maxOffset);
    const std::vector<double> values = crossCorrelation(reference, rendered, maxOffset);
    double bestValue = -std::numeric_limits<double>::infinity();
    // Visit lags by growing magnitude, negative first, so that a strict improvement is
    // needed to move away from the smaller offset.
    for (long magnitude = 0; magnitude <= maxOffset; ++magnitude) {
        for (long lag : {-magnitude, magnitude}) {
            const double value = values[static_cast<std::size_t>(lag + maxOffset)];
            if (value > bestValue) {
                bestValue = value;
                best.offset = lag;
            }
            if (magnitude == 0)
                break;
        }
    }
    best.correlation = bestValue / norm;
    return best;
}

double relativeRmsError(const Channels& reference, const Channels& rendered, long offset)
{
    if (reference.size() != rendered.size())
        return std::numeric_limits<double>::infinity();
    double difference = 0.0;
    for (std::size_t c = 0; c < reference.size(); ++c) {
        const long refSize = static_cast<long>(reference[c].size());
        const long renSize = static_cast<long>(rendered[c].size());
        // Every reference index i whose own frame or whose aligned rendered frame exists.
        const long first = std::min(0L, -offset);
        const long last = std::max(refSize, renSize - offset);
        for (long i = first; i < last; ++i) {
            const double d = double(sampleAt(rendered[c], i + offset)) - double(sampleAt(reference[c], i));
            difference += d * d;
        }
    }
    const double referenceEnergy = energy(reference);
    if (!std::isfinite(difference) || !std::isfinite(referenceEnergy))
        return std::numeric_limits<double>::infinity();
    if (referenceEnergy == 0.0)
        return difference == 0.0 ? 0.0 : std::numeric_limits<double>::infinity();
    return std::sqrt(difference / referenceEnergy);
}

double rms(const Channels& signal)
{
    std::size_t count = 0;
    for (const auto& channel : signal)
        count += channel.size();
    return count ? std::sqrt(energy(signal) / double(count)) : 0.0;
}

ComparisonResult compareRenders(const Channels& reference, const Channels& rendered, long maxOffset)
{
    ComparisonResult result;
    result.alignment = findAlignment(reference, rendered, maxOffset);
    result.relativeError = relativeRmsError(reference, rendered, result.alignment.offset);
    result.referenceRms = rms(reference);
    result.renderedRms = rms(rendered);
    return result;
}
