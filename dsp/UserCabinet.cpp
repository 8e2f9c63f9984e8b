#include "dsp/UserCabinet.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "dsp/CabinetLevel.h"
#include "dsp/DspConstants.h"
#include "dsp/SplitRealTransform.h"
#include "dsp/SpectrumProducts.h"

namespace {

constexpr int kStep = CabinetConvolver::kBlockSize;
constexpr int kHeadTransform = 2 * kStep;
constexpr int kLevelBlocks[] = {64, 512, 4096};
// Where each level's first block starts (samples already counted as filled): the blocks
// of the three levels then end on different steps, so no step runs the transforms of two
// levels (64: forward at steps 1 mod 4, inverse at 0 mod 4; 512: 15 and 14 mod 32;
// 4096: 255 and 254 mod 256).
constexpr int kLevelStarts[] = {32, 256, 0};
constexpr int kLargestBlock = kLevelBlocks[std::size(kLevelBlocks) - 1];

// The first tap of the level with blocks of `block` samples (see the header).
constexpr int levelOffset(int block)
{
    return 2 * block - 2 * kStep;
}

static_assert(levelOffset(kLevelBlocks[0]) == UserCabinet::kHeadTaps, "the head ends where the first level starts");

}  // namespace

// One level: the partitions of taps [offset, offset + partitions x block), each the
// spectrum of a 2B-point transform, and the spectra of the latest input windows (the
// previous block and the current one: overlap-save).
struct UserCabinet::Level {
    Level(const float* taps, int length, int blockSize, int start, int end)
        : block(blockSize),
          offset(levelOffset(blockSize)),
          partitions((std::min(length, end) - offset + blockSize - 1) / blockSize),
          steps(blockSize / kStep),
          bins(SplitRealTransform::paddedBinsFor(2 * blockSize)),
          transform(2 * blockSize, true),
          hRe(static_cast<size_t>(partitions * bins)),
          hIm(hRe.size()),
          xRe(hRe.size()),
          xIm(hRe.size()),
          xSilent(static_cast<size_t>(partitions), 1),
          accRe(static_cast<size_t>(bins)),
          accIm(static_cast<size_t>(bins)),
          filled(start)
    {
        // The input arrives scaled for the convolver's 32-point pair; this pair scales by 2B.
        const float scale = static_cast<float>(kHeadTransform) / static_cast<float>(2 * block);
        float* time = transform.time();
        for (int p = 0; p < partitions; ++p) {
            const int first = offset + p * block;
            const int count = std::min(block, length - first);
            std::fill(time, time + 2 * block, 0.0f);
            for (int i = 0; i < count; ++i)
                time[i] = taps[first + i] * scale;
            transform.forward(&hRe[static_cast<size_t>(p * bins)], &hIm[static_cast<size_t>(p * bins)]);
        }
        std::fill(time, time + 2 * block, 0.0f);
    }

    void step(const float* in, float* ring, int ringMask, int position);
    void takeBlock();
    void multiplyShare(int share);
    void emit(float* ring, int ringMask, int position);

    const int block;
    const int offset;
    const int partitions;
    const int steps;  // 16-sample steps per block
    const int bins;
    SplitRealTransform transform;  // its time() is the input window: previous block, current block
    std::vector<float> hRe, hIm;   // partition spectra, partition by partition
    std::vector<float> xRe, xIm;   // the latest window spectra, a ring of `partitions`
    std::vector<unsigned char> xSilent;
    std::vector<float> accRe, accIm;
    int filled = 0;   // samples of the current block
    int newest = 0;   // ring entry of the latest window
    int share = -1;   // work step of the latest block, -1 when its work is done
    bool currentSilent = true, previousSilent = true, outputSilent = true;
};

void UserCabinet::Level::step(const float* in, float* ring, int ringMask, int position)
{
    float* window = transform.time() + block + filled;
    if (in) {
        std::copy(in, in + kStep, window);
        currentSilent = false;
    } else {
        std::fill(window, window + kStep, 0.0f);
    }
    filled += kStep;
    if (filled == block)
        takeBlock();
    if (share < 0)
        return;
    multiplyShare(share);
    if (share == steps - 1) {
        emit(ring, ringMask, position);
        share = -1;
    } else {
        ++share;
    }
}

// The block is complete: its window's spectrum joins the ring; the work on it begins.
void UserCabinet::Level::takeBlock()
{
    newest = newest + 1 == partitions ? 0 : newest + 1;
    const bool silent = previousSilent && currentSilent;
    xSilent[static_cast<size_t>(newest)] = silent;
    float* time = transform.time();
    if (!silent)
        transform.forward(&xRe[static_cast<size_t>(newest * bins)], &xIm[static_cast<size_t>(newest * bins)]);
    std::memmove(time, time + block, sizeof(float) * static_cast<size_t>(block));
    filled = 0;
    previousSilent = currentSilent;
    currentSilent = true;
    share = 0;
    outputSilent = true;
}

// Work step `k` of `steps`: the sum of products over its share of the bins (whole lanes).
void UserCabinet::Level::multiplyShare(int k)
{
    const int groups = bins / spectrum::kLanes;
    const int from = groups * k / steps * spectrum::kLanes;
    const int to = groups * (k + 1) / steps * spectrum::kLanes;
    if (from == to)
        return;
    std::fill(accRe.begin() + from, accRe.begin() + to, 0.0f);
    std::fill(accIm.begin() + from, accIm.begin() + to, 0.0f);
    for (int age = 0; age < partitions; ++age) {
        const int entry = newest - age < 0 ? newest - age + partitions : newest - age;
        if (xSilent[static_cast<size_t>(entry)])
            continue;
        outputSilent = false;
        const size_t x = static_cast<size_t>(entry * bins);
        const size_t h = static_cast<size_t>(age * bins);
        spectrum::accumulateProduct(accRe.data(), accIm.data(), &xRe[x], &xIm[x], &hRe[h], &hIm[h], from, to);
    }
}

// The last work step: the block's output (the second half of the window's inverse) is due
// from this step on.
void UserCabinet::Level::emit(float* ring, int ringMask, int position)
{
    if (outputSilent)
        return;
    transform.inverse(accRe.data(), accIm.data());
    const float* y = transform.result() + block;
    for (int i = 0; i < block; ++i)
        ring[(position + i) & ringMask] += y[i];
}

int UserCabinet::ringSize()
{
    return 2 * kLargestBlock;
}

std::unique_ptr<UserCabinet> UserCabinet::prepare(const float* taps, int length, float gain)
{
    if (!taps || length < 1 || length > kMaxTaps || !std::isfinite(gain) || !(gain > 0.0f))
        return nullptr;
    for (int i = 0; i < length; ++i)
        if (!std::isfinite(taps[i]))
            return nullptr;
    const double band = cabinetBandGain(taps, length, kDesignSampleRate);
    if (!(band >= kMinBandGain))
        return nullptr;
    return std::unique_ptr<UserCabinet>(new UserCabinet(taps, length, gain / band));
}

UserCabinet::UserCabinet(const float* taps, int length, double levelScale) : length_(length), levelScale_(levelScale)
{
    // The head: 16-tap pieces on the convolver's own transform size and rounding.
    SplitRealTransform headTransform(kHeadTransform, false);
    const int headTaps = std::min(length, kHeadTaps);
    head_.resize(static_cast<size_t>((headTaps + kStep - 1) / kStep));
    for (size_t p = 0; p < head_.size(); ++p) {
        const int first = static_cast<int>(p) * kStep;
        const int count = std::min(kStep, headTaps - first);
        std::fill(headTransform.time(), headTransform.time() + kHeadTransform, 0.0f);
        std::copy(taps + first, taps + first + count, headTransform.time());
        headTransform.forward(head_[p].re, head_[p].im);
    }

    int covered = kHeadTaps;
    for (size_t i = 0; i < std::size(kLevelBlocks) && length > levelOffset(kLevelBlocks[i]); ++i) {
        const int end = i + 1 < std::size(kLevelBlocks) ? levelOffset(kLevelBlocks[i + 1]) : kMaxTaps + kLargestBlock;
        levels_.push_back(std::make_unique<Level>(taps, length, kLevelBlocks[i], kLevelStarts[i], end));
        const Level& level = *levels_.back();
        covered = level.offset + level.partitions * level.block;
    }
    // After the last input, the longest level still owes its partitions' worth of output,
    // up to two of its blocks late; the head owes its six partitions.
    const int largest = levels_.empty() ? kStep : levels_.back()->block;
    drainSamples_ = covered + 2 * largest + kHeadTaps;
}

UserCabinet::~UserCabinet() = default;

void UserCabinet::step(const float* block, float* ring, int ringMask, int position)
{
    silentSamples_ = block ? 0 : silentSamples_ + kStep;
    for (const std::unique_ptr<Level>& level : levels_)
        level->step(block, ring, ringMask, position);
}
