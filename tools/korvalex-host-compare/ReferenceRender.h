#pragma once
// The reference render: the plug-in file driven through our own host library, the way a
// host runs it (sample rate, block size, program, switched on, then fixed-size blocks).

#include <string>
#include <vector>

#include "tools/korvalex-host-compare/RenderComparison.h"

struct ReferenceSettings {
    int program = 0;
    float sampleRate = 44100.0f;
    int blockSize = 1024;
};

// Processes the two input channels (same length) into `output` (two channels).
bool renderReference(const std::string& pluginPath, const ReferenceSettings& settings,
                     const std::vector<float>& inLeft, const std::vector<float>& inRight, Channels& output,
                     std::string& error);

// The parameter values and the name of a program, as the plug-in reports them once the
// program is selected.
bool readProgram(const std::string& pluginPath, int program, std::vector<float>& values, std::string& name,
                 std::string& error);
