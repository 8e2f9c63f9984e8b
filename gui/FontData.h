#pragma once
// The glyph atlases text is drawn from (generated into gui/fonts/FontAtlases.inc).
//
// Each face covers the 8-bit codes 32..255 of its character set. A glyph's coverage is
// stored one hexadecimal digit per pixel, row by row ('0' nothing .. 'f' full), in one
// shared text; a digit d stands for coverage d * 17 on the 0..255 scale.

#include <cstdint>

namespace gui::fontdata {

constexpr int kFirstCode = 32;
constexpr int kCodeCount = 224;  // codes 32..255

enum class Family : uint8_t { Sans, Symbol };

struct Glyph {
    int16_t advance;  // pen advance, pixels
    int16_t left;     // bitmap's left edge from the pen position
    int16_t top;      // bitmap's top row above the baseline
    uint8_t width;
    uint8_t height;
    uint32_t coverage;  // index of the first digit in the coverage text
};

struct Face {
    Family family;
    int16_t pixelSize;  // character height (em size) in pixels
    bool bold;
    bool italic;
    int16_t ascent;               // pixels above the baseline
    int16_t descent;              // pixels below it
    int16_t underlinePosition;    // top row of the underline, pixels below the baseline
    int16_t underlineThickness;   // pixels
    const Glyph* glyphs;          // kCodeCount entries
};

extern const Face kFaces[];
extern const int kFaceCount;
extern const char kCoverage[];

}  // namespace gui::fontdata
