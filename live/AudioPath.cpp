#include "live/AudioPath.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#include "host/PluginHost.h"

namespace live {

namespace {

constexpr float kFullScale = 1.0f;

}  // namespace

AudioPath::AudioPath(AEffect* effect) : effect_(effect), input_(kMaxBlock) {}

void AudioPath::setUp(PluginHost& plugin, uint32_t sampleRate, uint32_t blockSize)
{
    const std::size_t block = std::clamp<std::size_t>(blockSize, 1, kMaxBlock);
    pause();
    plugin.setMainsOn(false);
    plugin.setSampleRate(static_cast<float>(sampleRate));
    plugin.setBlockSize(static_cast<VstIntPtr>(block));
    plugin.setMainsOn(true);
    blockSize_.store(block);
    resume();
}

void AudioPath::setInputGainDb(double db)
{
    gainDb_.store(db);
    gain_.store(static_cast<float>(std::pow(10.0, db / 20.0)));  // as korvalex-render --input-gain
}

void AudioPath::pause()
{
    paused_.store(true);
    // The audio thread marks itself inside before it looks at the pause flag, so once it
    // is seen outside after the flag was set, it does not enter the plug-in again.
    while (inside_.load())
        std::this_thread::yield();
}

void AudioPath::resume() { paused_.store(false); }

float AudioPath::takePeak() { return peak_.exchange(0.0f, std::memory_order_relaxed); }

void AudioPath::process(const float* in, float* outLeft, float* outRight, std::size_t frames)
{
    inside_.store(true);
    if (paused_.load()) {
        inside_.store(false);
        std::memset(outLeft, 0, frames * sizeof(float));
        std::memset(outRight, 0, frames * sizeof(float));
        return;
    }
    const std::size_t block = blockSize_.load(std::memory_order_relaxed);
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(block, frames - done);
        processBlock(in + done, outLeft + done, outRight + done, n);
        done += n;
    }
    inside_.store(false);
}

void AudioPath::processBlock(const float* in, float* outLeft, float* outRight, std::size_t frames)
{
    // A new gain glides over the block, so that turning it does not click.
    const float target = gain_.load(std::memory_order_relaxed);
    float peak = 0.0f;
    if (target == currentGain_) {
        for (std::size_t i = 0; i < frames; ++i) {
            input_[i] = in[i] * target;
            peak = std::max(peak, std::fabs(input_[i]));
        }
    } else {
        const float step = (target - currentGain_) / static_cast<float>(frames);
        for (std::size_t i = 0; i < frames; ++i) {
            input_[i] = in[i] * (currentGain_ + step * static_cast<float>(i + 1));
            peak = std::max(peak, std::fabs(input_[i]));
        }
        currentGain_ = target;
    }
    float seen = peak_.load(std::memory_order_relaxed);
    while (peak > seen && !peak_.compare_exchange_weak(seen, peak, std::memory_order_relaxed)) {
    }
    if (peak >= kFullScale)
        clipped_.fetch_add(1, std::memory_order_relaxed);
    tunerInput_.write(in, frames);

    // The guitar feeds both inputs, as a host feeds a mono track into a stereo effect.
    float* inputs[2] = {input_.data(), input_.data()};
    float* outputs[2] = {outLeft, outRight};
    effect_->processReplacing(effect_, inputs, outputs, static_cast<VstInt32>(frames));
}

}  // namespace live
