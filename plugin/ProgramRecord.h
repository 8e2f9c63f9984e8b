#pragma once
// One program: a value per parameter and a name. The values are stored by every
// setParameter, which hosts call from more than one thread (automation and the editor).

#include "dsp/ParameterIndex.h"
#include "dsp/RelaxedAtomic.h"

constexpr int kProgramNameSize = 28;  // 27 characters and the NUL

struct ProgramRecord {
    SharedFloat values[kNumParameters];
    char name[kProgramNameSize];
};
