#include "tests/gui/TestBitmaps.h"

#include <map>

#include "gui/Resources.h"

namespace testbitmaps {

namespace {

// By identifier and scale.
std::map<std::pair<int32_t, int32_t>, std::pair<std::vector<unsigned char>, bool>>& table()
{
    static std::map<std::pair<int32_t, int32_t>, std::pair<std::vector<unsigned char>, bool>> resources;
    return resources;
}

void put16(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32(std::vector<unsigned char>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

uint8_t scale(uint32_t v, uint32_t max) { return uint8_t((v * 255 + max / 2) / max); }

}  // namespace

uint32_t through565(uint32_t rgb)
{
    const uint32_t r = (rgb >> 19) & 31, g = (rgb >> 10) & 63, b = (rgb >> 3) & 31;
    return (uint32_t(scale(r, 31)) << 16) | (uint32_t(scale(g, 63)) << 8) | scale(b, 31);
}

std::vector<unsigned char> makeBmp(int32_t width, int32_t height, const Pixels& pixels, Format format, bool topDown)
{
    const bool fields = format == Format::Rgb565Fields || format == Format::Rgb555Fields;
    const int bits = format == Format::Rgb24 ? 24 : (format == Format::Rgb32 ? 32 : 16);
    const size_t rowBytes = ((size_t(width) * size_t(bits) + 31) / 32) * 4;
    const size_t headerEnd = 14 + 40 + (fields ? 12 : 0);
    std::vector<unsigned char> b(headerEnd + rowBytes * size_t(height), 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 2, uint32_t(b.size()));
    put32(b, 10, uint32_t(headerEnd));
    put32(b, 14, 40);
    put32(b, 18, uint32_t(width));
    put32(b, 22, uint32_t(topDown ? -height : height));
    put16(b, 26, 1);
    put16(b, 28, uint32_t(bits));
    put32(b, 30, fields ? 3 : 0);
    put32(b, 34, uint32_t(rowBytes * size_t(height)));
    if (format == Format::Rgb565Fields) {
        put32(b, 54, 0xF800);
        put32(b, 58, 0x07E0);
        put32(b, 62, 0x001F);
    } else if (format == Format::Rgb555Fields) {
        put32(b, 54, 0x7C00);
        put32(b, 58, 0x03E0);
        put32(b, 62, 0x001F);
    }
    for (int32_t y = 0; y < height; ++y) {
        const size_t row = headerEnd + size_t(topDown ? y : height - 1 - y) * rowBytes;
        for (int32_t x = 0; x < width; ++x) {
            const uint32_t c = pixels(x, y);
            const uint32_t r = c >> 16 & 0xFF, g = c >> 8 & 0xFF, bl = c & 0xFF;
            const size_t at = row + size_t(x) * size_t(bits / 8);
            if (format == Format::Rgb565Fields)
                put16(b, at, ((r >> 3) << 11) | ((g >> 2) << 5) | (bl >> 3));
            else if (bits == 16)
                put16(b, at, ((r >> 3) << 10) | ((g >> 3) << 5) | (bl >> 3));
            else if (bits == 24) {
                b[at] = uint8_t(bl);
                b[at + 1] = uint8_t(g);
                b[at + 2] = uint8_t(r);
            } else
                put32(b, at, c);
        }
    }
    return b;
}

std::vector<unsigned char> dibOf(const std::vector<unsigned char>& bmpFile)
{
    return std::vector<unsigned char>(bmpFile.begin() + 14, bmpFile.end());
}

void install(int32_t id, std::vector<unsigned char> bytes, bool withFileHeader, int32_t scalePercent)
{
    table()[{id, scalePercent}] = {std::move(bytes), withFileHeader};
}

}  // namespace testbitmaps

bool gui::findBitmapResource(int32_t id, int32_t scalePercent, ResourceData& out)
{
    auto it = testbitmaps::table().find({id, scalePercent});
    if (it == testbitmaps::table().end())
        return false;
    out.bytes = it->second.first.data();
    out.size = it->second.first.size();
    out.withFileHeader = it->second.second;
    return true;
}
