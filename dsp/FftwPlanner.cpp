#include "dsp/FftwPlanner.h"

#include <fftw3.h>
#include <pthread.h>

namespace {

// FFTW's planner keeps global state and is not thread-safe: every plan creation and
// destruction in the process goes through this one lock, never the audio path.
//
// It is built when the file is loaded, not on first use: the runtime's first-use guard
// works with a mutex of its own, which on Windows is a threads-library object that
// unloading the DLL never frees. There the threads library also allocates this mutex's
// state on its first lock; destroying the mutex at unload frees it (std::mutex's
// destructor does nothing).
class PlannerMutex {
public:
    ~PlannerMutex() { pthread_mutex_destroy(mutex_.native_handle()); }
    std::mutex& get() { return mutex_; }

private:
    std::mutex mutex_;
};
PlannerMutex planner;

std::mutex& plannerMutex() { return planner.get(); }

// Users alive in the process, guarded by the planner mutex.
int liveUsers = 0;

}  // namespace

FftwPlannerSession::FftwPlannerSession(Purpose purpose) : lock_(plannerMutex()), purpose_(purpose)
{
    if (purpose_ == kJoining)
        ++liveUsers;
}

// Plans are destroyed inside the session, so the cleanup comes after them.
FftwPlannerSession::~FftwPlannerSession()
{
    if (purpose_ == kLeaving && --liveUsers == 0)
        fftwf_cleanup();
}
