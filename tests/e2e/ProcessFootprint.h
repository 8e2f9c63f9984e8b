#pragma once
// What a process holds that a plug-in file could leave behind in it.

#include <cstdint>

struct ProcessFootprint {
    std::int64_t heapInUse;  // bytes allocated and not freed
    int threads;
    int openHandles;         // file descriptors on Linux, object handles on Windows
    // Thread-local storage keys are handed out lowest first, so keys left behind move the
    // first free one up.
    int firstFreeThreadKey;

    static ProcessFootprint measure();
};
