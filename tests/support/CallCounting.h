#pragma once
// What a thread does that an audio thread must not: allocate or free memory, take a lock,
// or call the system (the calls that wait or write: read, write, sleeping, polling,
// yielding, semaphores). The test executable that links CallCounting.cpp replaces the C
// library's entry points for these with counting versions that forward to it; code linked
// in or loaded later (a plug-in file, libjack) binds to them, so the executable exports
// them (ENABLE_EXPORTS). Only the thread inside a CountingScope is counted.

namespace callcount {

struct Counts {
    long allocations = 0;
    long releases = 0;
    long locks = 0;
    long systemCalls = 0;

    bool none() const { return allocations == 0 && releases == 0 && locks == 0 && systemCalls == 0; }
    Counts& operator+=(const Counts& o)
    {
        allocations += o.allocations;
        releases += o.releases;
        locks += o.locks;
        systemCalls += o.systemCalls;
        return *this;
    }
};

// Counts what the calling thread does between construction and destruction.
class CountingScope {
public:
    CountingScope();
    ~CountingScope();
    Counts counts() const;

private:
    Counts start_;
};

}  // namespace callcount
