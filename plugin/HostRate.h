#pragma once
// The engine at the host's sample rate. Every engine block is designed for 44100 Hz; at that
// rate (and below it, which the plug-in takes as 44100 Hz) the engine runs on the host's
// frames directly. At any higher rate a RateBridge converts the host's frames to 44100 Hz,
// runs the engine on them, and converts its output back, so that every rate sounds as
// 44100 Hz does, for a latency of a millisecond and a half.

#include <atomic>
#include <memory>
#include <vector>

#include "dsp/RateConversion.h"

class AmpEngine;

class RateBridge {
public:
    // The engine runs in blocks of this many frames, its ramps gliding and its switches
    // stepping once per block, as they do once per host block at 44100 Hz. Fixed, so that
    // what the host hears never depends on the lengths of its blocks.
    static constexpr int kEngineBlock = 512;

    // A bridge for `hostRate` Hz (above 44100), or null when memory runs short.
    static std::unique_ptr<RateBridge> create(int hostRate);
    RateBridge(const RateBridge&) = delete;
    RateBridge& operator=(const RateBridge&) = delete;

    int hostRate() const { return kernel_.hostRate(); }
    // Host frames from input to output: the converters' round trip.
    int latency() const { return latency_; }

    // Input and output buffers may be the same memory.
    void process(AmpEngine& engine, const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                 int frames);

private:
    static constexpr int kChunk = 256;  // host frames converted at a time

    explicit RateBridge(int hostRate);
    void runEngine(AmpEngine& engine, int frames);

    ResamplingKernel kernel_;
    int latency_;
    DownConverter down_;
    UpConverter up_;
    int blockOffset_ = 0;  // frames of the current engine block done
    std::vector<float> hostSum_, engineIn_, engineSilence_, engineLeft_, engineRight_;
};

// Which bridge, if any, the audio thread runs. Rates are set, and bridges built and freed, on
// the host's other threads, one call at a time; the audio thread takes the current bridge
// at the start of each block and never waits. A replaced bridge is freed once the audio
// thread has left the block that may still be using it.
class HostRate {
public:
    HostRate() = default;
    ~HostRate();
    HostRate(const HostRate&) = delete;
    HostRate& operator=(const HostRate&) = delete;

    // The host's rate (finite, 44100 or above): a bridge for it unless it is 44100 Hz or
    // the one running is for it already. Answers the latency in host frames.
    int set(float rate);
    // A fresh bridge for the same rate (the host resumes after a pause): the converters
    // start empty and the engine on a new block.
    int restart();
    // The rate the engine's blocks see: 44100 while a bridge converts, else the host's.
    float engineRate() const { return engineRate_.load(std::memory_order_relaxed); }

    // The audio thread's hold on the current bridge for one host block.
    class Block {
    public:
        explicit Block(HostRate& rate);
        ~Block();
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;
        RateBridge* bridge() const { return bridge_; }

    private:
        HostRate& rate_;
        RateBridge* bridge_;
    };

private:
    // Rate changes take turns. They are rare and short, so one that comes second spins
    // until the first is done: no lock object of the system is needed.
    class Turn {
    public:
        explicit Turn(std::atomic<bool>& busy);
        ~Turn();
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;

    private:
        std::atomic<bool>& busy_;
    };

    int install(int hostRate);

    std::atomic<bool> changing_{false};
    std::unique_ptr<RateBridge> owned_;          // what bridge_ points to
    std::atomic<RateBridge*> bridge_{nullptr};   // read by the audio thread
    std::atomic<unsigned> audioBlocks_{0};       // odd while the audio thread is inside a block
    std::atomic<float> engineRate_{44100.0f};
    float hostRate_ = 44100.0f;
};
