#pragma once
// The most recent input samples, written by the audio thread and read by the tuner on
// another thread. The writer never waits: it overwrites the oldest samples, and a reader
// that was overtaken while copying is told so and tries again later. Every sample is an
// atomic of its own (plain loads and stores on the machines we run on), so the two
// threads share no memory unsynchronised.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace live {

class SampleRing {
public:
    // `capacity`: a power of two, the longest stretch a reader can ask for.
    explicit SampleRing(std::size_t capacity)
        : capacity_(capacity), samples_(std::make_unique<std::atomic<float>[]>(capacity))
    {
    }

    std::size_t capacity() const { return capacity_; }

    // Audio thread.
    void write(const float* samples, std::size_t count)
    {
        uint64_t at = written_.load(std::memory_order_relaxed);
        for (std::size_t i = 0; i < count; ++i, ++at)
            samples_[at & (capacity_ - 1)].store(samples[i], std::memory_order_relaxed);
        written_.store(at, std::memory_order_release);
    }

    // The number of samples written so far.
    uint64_t written() const { return written_.load(std::memory_order_acquire); }

    // Copies the newest `count` samples (at most the capacity), oldest first. False when
    // fewer have been written yet, or when the writer overwrote some of them meanwhile.
    bool readLatest(float* out, std::size_t count) const
    {
        const uint64_t end = written_.load(std::memory_order_acquire);
        if (count > capacity_ || end < count)
            return false;
        const uint64_t start = end - count;
        for (std::size_t i = 0; i < count; ++i)
            out[i] = samples_[(start + i) & (capacity_ - 1)].load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        return written_.load(std::memory_order_relaxed) - start <= capacity_;
    }

private:
    std::size_t capacity_;
    std::unique_ptr<std::atomic<float>[]> samples_;
    std::atomic<uint64_t> written_{0};
};

}  // namespace live
