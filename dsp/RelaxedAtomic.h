#pragma once
// A value written by one thread (parameter changes) and read whole by another (audio).
// Relaxed ordering is enough: each value stands alone and the audio thread only needs
// to see some recent whole value, never a torn one.

#include <atomic>

template <typename T>
class RelaxedAtomic {
public:
    constexpr RelaxedAtomic(T initial = T()) noexcept : value_(initial) {}
    RelaxedAtomic(const RelaxedAtomic& other) noexcept : value_(other.load()) {}
    RelaxedAtomic& operator=(const RelaxedAtomic& other) noexcept
    {
        store(other.load());
        return *this;
    }
    RelaxedAtomic& operator=(T v) noexcept
    {
        store(v);
        return *this;
    }
    operator T() const noexcept { return load(); }

    T load() const noexcept { return value_.load(std::memory_order_relaxed); }
    void store(T v) noexcept { value_.store(v, std::memory_order_relaxed); }
    // For values published as a group under a sequence number (a filter's coefficients).
    T loadAcquire() const noexcept { return value_.load(std::memory_order_acquire); }
    void storeRelease(T v) noexcept { value_.store(v, std::memory_order_release); }

private:
    std::atomic<T> value_;
};

using SharedFloat = RelaxedAtomic<float>;
using SharedInt = RelaxedAtomic<int>;
