#pragma once
// A second-order section in double precision, for measurements that should add no
// rounding of their own worth speaking of: y = b0 x + b1 x1 + b2 x2 - a1 y1 - a2 y2 (a0 = 1).

struct BiquadCoefficients {
    double b0, b1, b2, a1, a2;
};

class DoubleBiquad {
public:
    explicit DoubleBiquad(const BiquadCoefficients& c) : c_(c) {}

    double operator()(double x)
    {
        const double y = c_.b0 * x + c_.b1 * x1_ + c_.b2 * x2_ - c_.a1 * y1_ - c_.a2 * y2_;
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    BiquadCoefficients c_;
    double x1_ = 0.0, x2_ = 0.0, y1_ = 0.0, y2_ = 0.0;
};
