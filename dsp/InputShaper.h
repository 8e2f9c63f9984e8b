#pragma once
// Stateless soft saturation: x (|x| + 1.5) / (x^2 + 0.5 |x| + 1). Odd-symmetric, a
// small-signal gain of 1.5, exactly +-1 at +-1, and tending to +-1 for large inputs.

class InputShaper {
public:
    float process(float x) const;
    // `n` samples in place.
    void process(float* samples, int n) const;
};
