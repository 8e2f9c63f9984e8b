#pragma once
// A rectangle of 32-bit pixels, 0x00RRGGBB, the toolkit's only kind of drawing target:
// windows, off-screen buffers and bitmaps are all surfaces. The memory is the surface's
// own or borrowed from a window backend that presents it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "gui/GuiTypes.h"

namespace gui {

inline uint32_t packRGB(uint8_t r, uint8_t g, uint8_t b)
{
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
}
inline uint32_t packRGB(const CColor& c) { return packRGB(c.red, c.green, c.blue); }
inline uint8_t redOf(uint32_t p) { return static_cast<uint8_t>(p >> 16); }
inline uint8_t greenOf(uint32_t p) { return static_cast<uint8_t>(p >> 8); }
inline uint8_t blueOf(uint32_t p) { return static_cast<uint8_t>(p); }

class PixelSurface {
public:
    // The largest surface the toolkit makes; bigger requests give an empty surface.
    static constexpr int64_t kMaxPixels = int64_t(1) << 26;

    PixelSurface() = default;
    // Own memory, every pixel 0 (black). Negative or oversized dimensions give an empty surface.
    PixelSurface(int32_t width, int32_t height) { allocate(width, height); }
    // Borrowed memory of a window backend; stride in pixels.
    PixelSurface(uint32_t* memory, int32_t width, int32_t height, int32_t stride)
        : w(width), h(height), pitch(stride), data(memory)
    {
    }

    // New memory of the given size; black unless `cleared` is false (for a caller that
    // writes every pixel itself).
    bool allocate(int32_t width, int32_t height, bool cleared = true)
    {
        own.reset();
        w = h = pitch = 0;
        data = nullptr;
        if (width <= 0 || height <= 0 || int64_t(width) * height > kMaxPixels)
            return false;
        const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
        own.reset(cleared ? new (std::nothrow) uint32_t[count]() : new (std::nothrow) uint32_t[count]);
        if (!own)
            return false;  // no memory: an empty surface, drawn on as nothing
        w = width;
        h = height;
        pitch = width;
        data = own.get();
        return true;
    }

    int32_t width() const { return w; }
    int32_t height() const { return h; }
    int32_t stride() const { return pitch; }
    bool isEmpty() const { return data == nullptr || w <= 0 || h <= 0; }
    CRect bounds() const { return CRect(0, 0, w, h); }

    uint32_t* row(int32_t y) { return data + static_cast<ptrdiff_t>(y) * pitch; }
    const uint32_t* row(int32_t y) const { return data + static_cast<ptrdiff_t>(y) * pitch; }
    uint32_t pixel(int32_t x, int32_t y) const { return row(y)[x]; }
    void setPixel(int32_t x, int32_t y, uint32_t rgb) { row(y)[x] = rgb; }

private:
    int32_t w = 0;
    int32_t h = 0;
    int32_t pitch = 0;
    uint32_t* data = nullptr;
    std::unique_ptr<uint32_t[]> own;
};

}  // namespace gui
