#pragma once
// A fixed-size queue from one producer thread to one consumer thread, without locks or
// allocation: the audio thread hands MIDI messages to the main thread through it.

#include <array>
#include <atomic>
#include <cstddef>

namespace live {

template <typename T, std::size_t Capacity>
class SpscQueue {
    static_assert((Capacity & (Capacity - 1)) == 0, "the capacity is a power of two");

public:
    // Producer: false (and the item dropped) when the queue is full.
    bool push(const T& item)
    {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == Capacity)
            return false;
        items_[tail & (Capacity - 1)] = item;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer: false when the queue is empty.
    bool pop(T& item)
    {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire))
            return false;
        item = items_[head & (Capacity - 1)];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

private:
    std::array<T, Capacity> items_{};
    std::atomic<std::size_t> head_{0};
    std::atomic<std::size_t> tail_{0};
};

}  // namespace live
