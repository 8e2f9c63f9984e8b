#pragma once
// Bitmaps for the toolkit's tests: .bmp bytes made in memory in the formats the decoder
// reads, and the resource table the test programs link (filled by the tests themselves).

#include <cstdint>
#include <functional>
#include <vector>

namespace testbitmaps {

enum class Format { Rgb565Fields, Rgb555, Rgb555Fields, Rgb24, Rgb32 };

using Pixels = std::function<uint32_t(int32_t x, int32_t y)>;  // 0x00RRGGBB

// A whole .bmp file (file header, 40-byte info header, masks for bit fields, pixels).
std::vector<unsigned char> makeBmp(int32_t width, int32_t height, const Pixels& pixels,
                                   Format format = Format::Rgb565Fields, bool topDown = false);
// The bytes a Windows resource keeps: the file without its 14-byte file header.
std::vector<unsigned char> dibOf(const std::vector<unsigned char>& bmpFile);

// Makes bitmap resource `id` drawn for a scale available to CBitmap; replaces an earlier one.
void install(int32_t id, std::vector<unsigned char> bytes, bool withFileHeader = true, int32_t scalePercent = 100);

// The colour a 5-6-5 pixel decodes to, for expectations.
uint32_t through565(uint32_t rgb);

}  // namespace testbitmaps
