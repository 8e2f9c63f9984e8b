#pragma once
// Pictures for tests: PNG files read and written with libpng, and comparison with the
// reference images committed beside the tests. A failing comparison writes the actual
// picture and a difference picture (changed pixels in red over a faded copy) into the build
// folder's test-output/ so that a person can look at them. With KORVALEX_UPDATE_REFERENCES=1
// in the environment the actual picture becomes the reference instead.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testimage {

struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, row by row

    uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

bool readPng(const std::string& path, Image& image);
bool writePng(const std::string& path, const Image& image);

// Compares with `referenceDir`/`name`.png.
::testing::AssertionResult matchesReference(const Image& actual, const std::string& referenceDir,
                                            const std::string& name);

// Where failing comparisons and other pictures for people go (created on demand).
std::string outputDir();

}  // namespace testimage
