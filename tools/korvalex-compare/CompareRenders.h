#pragma once
// Renders of every factory program through a plug-in file, and their comparison.
//
// A render set is a folder holding programs.txt (one line per program: index, a tab, the
// program's name) and program-NN.f32 per program: the output as raw 32-bit floats in the
// machine's byte order, left and right interleaved.

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

struct RenderSettings {
    double seconds = 3.0;                    // per program
    int blockSize = 512;                     // frames per processing call
    std::string entryPoint = "VSTPluginMain";
};

// Loads a fresh instance for every program, selects it, processes the test signal (on the
// left input, silence on the right) and writes the set into `folder`, which must exist.
// Answers false and sets `error` when anything fails.
bool renderPrograms(const std::string& pluginPath, const std::string& folder, const RenderSettings& settings,
                    std::string& error);

// sqrt(sum (test - reference)^2 / sum reference^2); the denominator is floored at
// kSilenceFloor^2 per sample, so two near-silent signals compare by their absolute
// difference. Infinite when the lengths differ or either holds a non-finite value.
constexpr double kSilenceFloor = 1e-6;
double relativeRmsDifference(const std::vector<float>& reference, const std::vector<float>& test);

// Compares every program of `testFolder` with `referenceFolder`: the same programs with
// the same names, each within `tolerance`. Prints one line per program and a summary to
// `report`; answers whether all agree.
bool compareRenderSets(const std::string& referenceFolder, const std::string& testFolder, double tolerance,
                       std::FILE* report);
