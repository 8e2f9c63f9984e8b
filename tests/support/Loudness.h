#pragma once
// Integrated loudness of a stereo signal after ITU-R BS.1770: K-weighting (a high-shelf
// pre-filter and the RLB high-pass), mean square per channel over 400 ms blocks that
// overlap by 75 %, an absolute gate at -70 LUFS and a relative gate 10 LU below the
// loudness of the blocks that pass the absolute one. Left and right weigh 1 each.

#include <cstddef>
#include <vector>

#include "tests/support/DoubleBiquad.h"

using KWeightingStage = BiquadCoefficients;

// The two K-weighting stages at `rate`: the pre-filter's shelf and the RLB high-pass,
// derived from their analogue prototypes by the bilinear transform (at 48 kHz they give
// the coefficients the recommendation tabulates).
KWeightingStage kWeightingShelf(double rate);
KWeightingStage kWeightingHighPass(double rate);

// Gain of the whole K-weighting in dB at `frequency`.
double kWeightingGainDb(double rate, double frequency);

// Integrated loudness in LUFS; -infinity when no block passes the absolute gate (silence,
// or a signal shorter than one block).
double integratedLoudness(const std::vector<float>& left, const std::vector<float>& right, double rate);
