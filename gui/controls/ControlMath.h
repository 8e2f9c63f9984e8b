#pragma once
// Small numeric rules the controls share: values a host may send (NaN, infinities) made
// drawable, truncation to pixels without undefined conversions, and the film strip rules
// that turn a value into the top row of one image.

#include <cmath>
#include <cstdint>

namespace gui::controls {

// NaN becomes `lo`, an infinity the nearest end; finite values are kept.
inline float finiteOrNearestEnd(float value, float lo, float hi)
{
    if (std::isnan(value))
        return lo;
    if (std::isinf(value))
        return value > 0 ? hi : lo;
    return value;
}

// Truncation towards zero, saturated at the 32-bit limits; NaN gives 0.
inline int32_t truncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

// Equality for "has the value changed": two NaNs count as the same value.
inline bool sameValue(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

inline int32_t clampIndex(int64_t index, int32_t count)
{
    if (index < 0 || count <= 0)
        return 0;
    return index >= count ? count - 1 : static_cast<int32_t>(index);
}

// Filmstrip knob: the value scales the whole strip and is truncated to a whole image, so
// only 1.0 reaches the last image; negative values show the first.
inline int32_t animKnobImageIndex(float value, int32_t imageCount, int32_t imageHeight)
{
    if (!(value >= 0) || imageCount < 2 || imageHeight <= 0)
        return 0;
    const int64_t span = int64_t(imageHeight) * (imageCount - 1);
    const int64_t y = truncToInt(static_cast<float>(value * static_cast<float>(span)));
    if (y >= span)
        return imageCount - 1;
    return static_cast<int32_t>(y / imageHeight);
}

// Movie bitmaps and switches: the nearest of `positions` images, so that with two images
// the second shows from 0.5 up.
inline int32_t roundedImageIndex(float value, int32_t positions, int32_t imageCount)
{
    if (positions < 2)
        return 0;
    return clampIndex(truncToInt(static_cast<float>(positions - 1) * value + 0.5f), imageCount);
}

}  // namespace gui::controls
