#pragma once
// Screenshots: 0x00RRGGBB pictures written as PNG files by a small encoder of our own
// (stored deflate blocks, so it needs no compression library on any platform).

#include <cstdint>
#include <string>
#include <vector>

struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, row by row

    uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

// The PNG file's bytes (8-bit RGB, no interlacing); empty for an empty picture.
std::vector<unsigned char> encodePng(const Picture& picture);
// Writes the file; false (with the reason) when it cannot.
bool writePng(const std::string& path, const Picture& picture, std::string& error);
