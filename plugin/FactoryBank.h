#pragma once
// The 82 factory programs, as data: a name and the values of parameters 0..51.

#include "dsp/ParameterIndex.h"

struct FactoryProgram {
    const char* name;
    float values[kNumPanelParameters];
};

extern const FactoryProgram kFactoryBank[kNumPrograms];
