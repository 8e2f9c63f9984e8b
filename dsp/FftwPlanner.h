#pragma once
// FFTW's planner keeps process-wide state and is not thread-safe: every plan creation and
// destruction in the process goes through one lock, and the planner's caches are freed
// when the last user goes, so that a host unloading the plug-in gets all of its memory
// back. Only construction and destruction of FFT users come here, never the audio path.

#include <mutex>

class FftwPlannerSession {
public:
    // Holds the planner lock for the lifetime of the session; `joining` counts a new user
    // in, `leaving` counts one out (and cleans the planner up after the last).
    enum Purpose { kJoining, kLeaving };
    explicit FftwPlannerSession(Purpose purpose);
    ~FftwPlannerSession();
    FftwPlannerSession(const FftwPlannerSession&) = delete;
    FftwPlannerSession& operator=(const FftwPlannerSession&) = delete;

private:
    std::lock_guard<std::mutex> lock_;
    Purpose purpose_;
};
