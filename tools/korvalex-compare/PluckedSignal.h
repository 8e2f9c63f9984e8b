#pragma once
// A guitar-like test signal made with additions, multiplications and an integer noise
// generator only (plucked strings by the Karplus-Strong recurrence), so that every
// platform and compiler produces exactly the same samples: no library sine or exp, whose
// last bits differ between C libraries.

#include <cstddef>
#include <vector>

// `frames` mono samples at 44.1 kHz: a few plucked notes and a chord, peaks near `peak`,
// then the last quarter silent so that effect tails and the noise gate are exercised.
std::vector<float> makePluckedSignal(std::size_t frames, float peak = 0.5f);
