#include "gui/BitmapDecoder.h"

namespace gui {

namespace {

constexpr int32_t kMaxDimension = 32768;
constexpr uint32_t kRgbUncompressed = 0;
constexpr uint32_t kBitFields = 3;
constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;

uint16_t read16(const unsigned char* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t read32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// One colour channel of a bit-field pixel, scaled to 0..255 with rounding.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    bool set(uint32_t m)
    {
        mask = m;
        if (m == 0)
            return false;
        shift = 0;
        while (!((m >> shift) & 1u))
            ++shift;
        const uint64_t run = uint64_t(m) >> shift;
        if ((run & (run + 1)) != 0 || run > 0xFFFFu)
            return false;  // not a contiguous run of bits, or wider than 16
        max = uint32_t(run);
        prepareTable();
        return true;
    }
    uint8_t operator()(uint32_t pixel) const
    {
        const uint32_t v = (pixel & mask) >> shift;
        return max <= 255 ? scaled[v] : uint8_t((uint64_t(v) * 255u + max / 2) / max);
    }
    // Channels of up to 8 bits look their scaled value up.
    void prepareTable()
    {
        for (uint32_t v = 0; v <= max && v <= 255; ++v)
            scaled[v] = uint8_t((v * 255u + max / 2) / max);
    }
    uint8_t scaled[256] = {};
};

struct Layout {
    int32_t width = 0;
    int32_t height = 0;  // rows, positive
    bool topDown = false;
    uint16_t bitsPerPixel = 0;
    Channel red, green, blue;
    size_t rowBytes = 0;
    size_t tableEnd = 0;  // end of header, masks and colour table: where a resource's pixels begin
};

bool readLayout(const unsigned char* dib, size_t length, Layout& l)
{
    if (length < 4)
        return false;
    const uint32_t headerSize = read32(dib);
    if (headerSize < kInfoHeaderSize || headerSize > length)
        return false;  // the old 12-byte core header is not supported
    const int32_t width = int32_t(read32(dib + 4));
    const int32_t height = int32_t(read32(dib + 8));
    const uint16_t planes = read16(dib + 12);
    l.bitsPerPixel = read16(dib + 14);
    const uint32_t compression = read32(dib + 16);
    const uint32_t colorsUsed = read32(dib + 32);
    if (planes != 1 || width <= 0 || width > kMaxDimension || height == 0 || height < -kMaxDimension ||
        height > kMaxDimension)
        return false;
    l.width = width;
    l.topDown = height < 0;
    l.height = height < 0 ? -height : height;
    if (int64_t(l.width) * l.height > PixelSurface::kMaxPixels)
        return false;

    size_t masksEnd = headerSize;
    if (compression == kBitFields) {
        if (l.bitsPerPixel != 16 && l.bitsPerPixel != 32)
            return false;
        const unsigned char* masks = dib + kInfoHeaderSize;  // inside larger headers, after the basic one
        if (headerSize == kInfoHeaderSize)
            masksEnd += 12;
        if (masksEnd > length)
            return false;
        if (!l.red.set(read32(masks)) || !l.green.set(read32(masks + 4)) || !l.blue.set(read32(masks + 8)))
            return false;
    } else if (compression == kRgbUncompressed) {
        if (l.bitsPerPixel == 16) {
            l.red.set(0x7C00);
            l.green.set(0x03E0);
            l.blue.set(0x001F);
        } else if (l.bitsPerPixel == 24 || l.bitsPerPixel == 32) {
            l.red.set(0xFF0000);
            l.green.set(0x00FF00);
            l.blue.set(0x0000FF);
        } else {
            return false;  // palette formats are not supported
        }
    } else {
        return false;
    }
    if (colorsUsed > (1u << 16))
        return false;
    l.tableEnd = masksEnd + size_t(colorsUsed) * 4;
    l.rowBytes = ((size_t(l.width) * l.bitsPerPixel + 31) / 32) * 4;
    return true;
}

bool decodePixels(const Layout& l, const unsigned char* pixels, size_t available, PixelSurface& out)
{
    if (l.rowBytes == 0 || available / l.rowBytes < size_t(l.height))
        return false;
    if (!out.allocate(l.width, l.height, false))
        return false;
    const size_t bytesPerPixel = l.bitsPerPixel / 8;
    for (int32_t y = 0; y < l.height; ++y) {
        const unsigned char* src = pixels + size_t(l.topDown ? y : l.height - 1 - y) * l.rowBytes;
        uint32_t* dst = out.row(y);
        for (int32_t x = 0; x < l.width; ++x) {
            const unsigned char* p = src + size_t(x) * bytesPerPixel;
            uint32_t v = 0;
            if (bytesPerPixel == 2)
                v = read16(p);
            else if (bytesPerPixel == 3)
                v = uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
            else
                v = read32(p);
            dst[x] = packRGB(l.red(v), l.green(v), l.blue(v));
        }
    }
    return true;
}

}  // namespace

bool decodeDib(const unsigned char* data, size_t length, PixelSurface& out)
{
    out.allocate(0, 0);
    Layout l;
    if (!data || !readLayout(data, length, l) || l.tableEnd > length)
        return false;
    return decodePixels(l, data + l.tableEnd, length - l.tableEnd, out);
}

bool decodeBmpFile(const unsigned char* data, size_t length, PixelSurface& out)
{
    out.allocate(0, 0);
    if (!data || length < kFileHeaderSize || data[0] != 'B' || data[1] != 'M')
        return false;
    const uint32_t pixelOffset = read32(data + 10);
    Layout l;
    if (!readLayout(data + kFileHeaderSize, length - kFileHeaderSize, l))
        return false;
    if (pixelOffset < kFileHeaderSize + l.tableEnd || pixelOffset > length)
        return false;
    return decodePixels(l, data + pixelOffset, length - pixelOffset, out);
}

}  // namespace gui
