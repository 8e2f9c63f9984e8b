#include "dsp/FftwPlanner.h"

#include <fftw3.h>

namespace {

std::mutex& plannerMutex()
{
    static std::mutex m;
    return m;
}

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
