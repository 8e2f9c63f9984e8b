#include "plugin/HostRate.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>

#include "dsp/AmpEngine.h"
#include "dsp/DenormalGuard.h"
#include "dsp/DspConstants.h"

namespace {

constexpr int kEngineRate = EnginePosition::kEngineRate;

}  // namespace

std::unique_ptr<RateBridge> RateBridge::create(int hostRate)
{
    try {
        return std::unique_ptr<RateBridge>(new RateBridge(hostRate));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

RateBridge::RateBridge(int hostRate)
    : kernel_(hostRate),
      latency_(kernel_.roundTripDelay()),
      down_(kernel_),
      up_(kernel_, latency_, kChunk),
      hostSum_(kChunk),
      // A chunk completes at most one engine frame per host frame, and one more.
      engineIn_(kChunk + 1),
      engineSilence_(kChunk + 1, 0.0f),
      engineLeft_(kChunk + 1),
      engineRight_(kChunk + 1)
{
}

void RateBridge::process(AmpEngine& engine, const float* inLeft, const float* inRight, float* outLeft,
                         float* outRight, int frames)
{
    DenormalGuard guard;
    for (int start = 0; start < frames; start += kChunk) {
        const int n = std::min(kChunk, frames - start);
        // The engine sums its two inputs first thing; so the converter carries the sum, with
        // garbage input silenced as the engine would, before it can reach the converter's memory.
        for (int i = 0; i < n; ++i) {
            const float sum = inLeft[start + i] + inRight[start + i];
            hostSum_[static_cast<std::size_t>(i)] = std::fabs(sum) <= kInputCeiling ? sum : 0.0f;
        }
        const int engineFrames = down_.process(hostSum_.data(), n, engineIn_.data());
        runEngine(engine, engineFrames);
        up_.push(engineLeft_.data(), engineRight_.data(), engineFrames);
        up_.pull(outLeft + start, outRight + start, n);
    }
}

void RateBridge::runEngine(AmpEngine& engine, int frames)
{
    for (int done = 0; done < frames;) {
        if (blockOffset_ == 0)
            engine.stepSwitchFades();
        const int n = std::min(frames - done, kEngineBlock - blockOffset_);
        engine.processPart(engineIn_.data() + done, engineSilence_.data() + done, engineLeft_.data() + done,
                           engineRight_.data() + done, n, blockOffset_, kEngineBlock);
        blockOffset_ = (blockOffset_ + n) % kEngineBlock;
        done += n;
    }
}

HostRate::~HostRate() = default;

int HostRate::set(float rate)
{
    const Turn turn(changing_);
    hostRate_ = rate;
    const int hostRate = static_cast<int>(std::lround(rate));
    RateBridge* running = owned_.get();
    if (running && running->hostRate() == hostRate)
        return running->latency();
    return install(hostRate);
}

int HostRate::restart()
{
    const Turn turn(changing_);
    return install(static_cast<int>(std::lround(hostRate_)));
}

int HostRate::install(int hostRate)
{
    std::unique_ptr<RateBridge> next = hostRate > kEngineRate ? RateBridge::create(hostRate) : nullptr;
    // Without a bridge (at 44100 Hz, or with memory short) the engine runs at the host's rate.
    engineRate_.store(next ? static_cast<float>(kEngineRate) : hostRate_, std::memory_order_relaxed);
    const int latency = next ? next->latency() : 0;

    bridge_.store(next.get());
    // The audio thread takes the bridge after counting its block in, so either it is in a
    // block now (and may hold the old bridge until it leaves) or its next block takes the
    // new one.
    const unsigned blocks = audioBlocks_.load();
    if (blocks & 1u)
        while (audioBlocks_.load() == blocks)
            std::this_thread::yield();
    owned_ = std::move(next);
    return latency;
}

HostRate::Turn::Turn(std::atomic<bool>& busy) : busy_(busy)
{
    while (busy_.exchange(true, std::memory_order_acquire))
        std::this_thread::yield();
}

HostRate::Turn::~Turn()
{
    busy_.store(false, std::memory_order_release);
}

HostRate::Block::Block(HostRate& rate) : rate_(rate)
{
    rate_.audioBlocks_.fetch_add(1);
    bridge_ = rate_.bridge_.load();
}

HostRate::Block::~Block()
{
    rate_.audioBlocks_.fetch_add(1, std::memory_order_release);
}
