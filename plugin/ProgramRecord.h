#pragma once
// One program: a value per parameter and a name.

#include "dsp/ParameterIndex.h"

constexpr int kProgramNameSize = 28;  // 27 characters and the NUL

struct ProgramRecord {
    float values[kNumParameters];
    char name[kProgramNameSize];
};
