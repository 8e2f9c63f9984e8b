#pragma once
// Compares a host's render with a reference render of the same input: finds the host's
// own offset by cross-correlation within a bounded window, then measures the relative RMS
// difference over the whole of both signals, aligned.

#include <cstddef>
#include <vector>

using Channels = std::vector<std::vector<float>>;

struct Alignment {
    long offset = 0;           // rendered[i + offset] lines up with reference[i]
    double correlation = 0.0;  // normalized cross-correlation at that offset, -1..1
};

// The offset in [-maxOffset, maxOffset] at which the channel-summed cross-correlation of
// the two signals is largest (ties go to the smaller magnitude, then the negative side).
// Both must have the same number of channels. A signal without energy correlates 0.
Alignment findAlignment(const Channels& reference, const Channels& rendered, long maxOffset);

// sqrt(sum (rendered[i + offset] - reference[i])^2 / sum reference[i]^2), over every frame
// that either signal has once aligned: a frame missing on one side counts as 0 there, so
// dropped, extra or shifted audio all count as error. Infinite when the reference is silent
// and the rendered signal is not; NaN never (a non-finite sample gives infinity).
double relativeRmsError(const Channels& reference, const Channels& rendered, long offset);

double rms(const Channels& signal);

struct ComparisonResult {
    Alignment alignment;
    double relativeError = 0.0;
    double referenceRms = 0.0;
    double renderedRms = 0.0;
};

ComparisonResult compareRenders(const Channels& reference, const Channels& rendered, long maxOffset);
