#include "dsp/RateConversion.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numeric>

namespace {

constexpr int kEngineRate = EnginePosition::kEngineRate;
constexpr int kHalf = ResamplingKernel::kHalfTaps;
constexpr int kTaps = ResamplingKernel::kTaps;
constexpr int kLanes = 4;  // partial sums of the dot products, which every build rounds alike
static_assert(kTaps % kLanes == 0, "the taps split into lanes");

// The lowpass: its -6 dB point between the flat band (to 18 kHz) and the engine's Nyquist
// frequency (22.05 kHz), placed with the Kaiser window's beta so that, at this length, the
// band stays flat within 0.035 dB and everything from 22.05 kHz on is at least 109 dB down.
constexpr double kCutoffHz = 19700.0;
constexpr double kKaiserBeta = 11.2;
constexpr double kPi = 3.14159265358979323846;

// The modified Bessel function of the first kind, order 0, by its power series.
double besselI0(double x)
{
    double sum = 1.0, term = 1.0;
    for (int k = 1; term > 1e-17 * sum; ++k) {
        const double half = x / (2.0 * k);
        term *= half * half;
        sum += term;
    }
    return sum;
}

// The kernel at t engine frames from its centre.
double kernelAt(double t)
{
    if (std::fabs(t) >= kHalf)
        return 0.0;
    const double band = 2.0 * kCutoffHz / kEngineRate;  // twice the cutoff, in cycles per engine frame
    const double x = band * t;
    const double sinc = x == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
    const double edge = t / kHalf;
    return band * sinc * besselI0(kKaiserBeta * std::sqrt(1.0 - edge * edge)) / besselI0(kKaiserBeta);
}

// Adds a host frame, weighed by the taps, to the sums of the engine frames around it. The
// buffers never overlap, which lets the compiler run the loops four taps at a time.
void spread(float* __restrict sums, const float* __restrict row, float x)
{
    for (int q = 0; q < kTaps; ++q)
        sums[q] += x * row[q];
}

void spreadBlended(float* __restrict sums, const float* __restrict row, const float* __restrict next, float a,
                   float b)
{
    for (int q = 0; q < kTaps; ++q)
        sums[q] += a * row[q] + b * next[q];
}

}  // namespace

ResamplingKernel::ResamplingKernel(int hostRate) : hostRate_(hostRate)
{
    assert(hostRate > kEngineRate);
    const int fractions = hostRate / std::gcd(hostRate, kEngineRate);
    rows_ = std::min(fractions, kMaxRows);
    exact_ = rows_ == fractions;
    rowsPerRemainder_ = static_cast<double>(rows_) / hostRate;
    table_.resize(static_cast<std::size_t>(rows_ + 1) * kTaps);
    for (int r = 0; r <= rows_; ++r) {
        const double fraction = static_cast<double>(r) / rows_;
        for (int q = 0; q < kTaps; ++q)
            table_[static_cast<std::size_t>(r) * kTaps + static_cast<std::size_t>(q)] =
                static_cast<float>(kernelAt(q - kHalf + 1 - fraction));
    }
}

ResamplingKernel::Taps ResamplingKernel::taps(int remainder) const
{
    const double position = remainder * rowsPerRemainder_;
    if (exact_) {
        // Remainders are multiples of gcd(hostRate, 44100): with one row per fraction the
        // position is a whole row (up to the rounding of the product).
        const float* row = table_.data() + static_cast<std::size_t>(position + 0.5) * kTaps;
        return Taps{row, row + kTaps, 0.0f};
    }
    const auto index = static_cast<std::size_t>(position);
    const float* row = table_.data() + index * kTaps;
    return Taps{row, row + kTaps, static_cast<float>(position - static_cast<double>(index))};
}

int ResamplingKernel::roundTripDelay() const
{
    // The host frame at 0 needs engine frames up to kHalfTaps; the last of them is complete
    // once a host frame has passed kHalfTaps beyond it. Later frames sit no later on the grid.
    const std::int64_t span = static_cast<std::int64_t>(kTaps) * hostRate_;
    return static_cast<int>((span + kEngineRate - 1) / kEngineRate);
}

DownConverter::DownConverter(const ResamplingKernel& kernel)
    : kernel_(kernel),
      scale_(static_cast<float>(static_cast<double>(kEngineRate) / kernel.hostRate())),
      sums_(2 * kTaps, 0.0f),
      headFrame_(1 - kHalf)
{
}

int DownConverter::process(const float* in, int n, float* out)
{
    const int hostRate = kernel_.hostRate();
    int written = 0;
    float* sums = sums_.data();
    for (int i = 0; i < n; ++i) {
        // The engine frame kHalfTaps behind this host frame receives nothing from here on.
        while (headFrame_ <= position_.whole - kHalf) {
            if (headFrame_ >= 0)
                out[written++] = sums[head_];
            sums[head_] = 0.0f;
            ++head_;
            ++headFrame_;
        }
        // The sums run to the end of the buffer (all beyond it are still 0): move them to its start.
        const int size = static_cast<int>(sums_.size());
        if (head_ + kTaps > size) {
            std::copy(sums + head_, sums + size, sums);
            std::fill(sums + (size - head_), sums + size, 0.0f);
            head_ = 0;
        }
        const ResamplingKernel::Taps taps = kernel_.taps(position_.remainder);
        const float x = in[i] * scale_;
        if (taps.blend == 0.0f)
            spread(sums + head_, taps.row, x);
        else
            spreadBlended(sums + head_, taps.row, taps.next, x * (1.0f - taps.blend), x * taps.blend);
        position_.advance(hostRate);
    }
    return written;
}

namespace {

int powerOfTwoAtLeast(int n)
{
    int size = 1;
    while (size < n)
        size *= 2;
    return size;
}

// Sums of kTaps products of two channels with the same taps.
void dotTwo(const float* left, const float* right, const float* taps, float& sumLeft, float& sumRight)
{
    float l[kLanes] = {}, r[kLanes] = {};
    for (int q = 0; q < kTaps; q += kLanes)
        for (int k = 0; k < kLanes; ++k) {
            l[k] += left[q + k] * taps[q + k];
            r[k] += right[q + k] * taps[q + k];
        }
    sumLeft = (l[0] + l[1]) + (l[2] + l[3]);
    sumRight = (r[0] + r[1]) + (r[2] + r[3]);
}

}  // namespace

UpConverter::UpConverter(const ResamplingKernel& kernel, int delay, int maxChunk)
    : kernel_(kernel),
      silence_(delay),
      // Between the oldest engine frame a pull still reads and the newest pushed before
      // it lie at most (maxChunk + delay) * 44100 / hostRate, under maxChunk + kTaps + 2.
      size_(powerOfTwoAtLeast(maxChunk + 2 * kTaps)),
      left_(2 * static_cast<std::size_t>(size_), 0.0f),
      right_(2 * static_cast<std::size_t>(size_), 0.0f)
{
}

void UpConverter::push(const float* left, const float* right, int n)
{
    const int mask = size_ - 1;
    for (int i = 0; i < n; ++i) {
        const int slot = static_cast<int>(pushed_ & mask);
        left_[static_cast<std::size_t>(slot)] = left_[static_cast<std::size_t>(slot + size_)] = left[i];
        right_[static_cast<std::size_t>(slot)] = right_[static_cast<std::size_t>(slot + size_)] = right[i];
        ++pushed_;
    }
}

void UpConverter::pull(float* left, float* right, int n)
{
    const int hostRate = kernel_.hostRate();
    const std::int64_t mask = size_ - 1;
    int i = 0;
    for (; i < n && silence_ > 0; ++i, --silence_)
        left[i] = right[i] = 0.0f;
    for (; i < n; ++i) {
        // The engine frames before 0 were silence: zeros in the slots they wrap to.
        const std::int64_t first = position_.whole - kHalf + 1;
        assert(pushed_ > position_.whole + kHalf);
        const std::size_t slot = static_cast<std::size_t>(first & mask);
        const ResamplingKernel::Taps taps = kernel_.taps(position_.remainder);
        float l = 0.0f, r = 0.0f;
        dotTwo(left_.data() + slot, right_.data() + slot, taps.row, l, r);
        if (taps.blend != 0.0f) {
            float nextLeft = 0.0f, nextRight = 0.0f;
            dotTwo(left_.data() + slot, right_.data() + slot, taps.next, nextLeft, nextRight);
            l += taps.blend * (nextLeft - l);
            r += taps.blend * (nextRight - r);
        }
        left[i] = l;
        right[i] = r;
        position_.advance(hostRate);
    }
}
