// fontgen: rasterises the toolkit's glyph atlases with FreeType and writes them as C++.
//
//   fontgen --write FILE      write the atlases (gui/fonts/FontAtlases.inc)
//   fontgen --check FILE      exit 1 if FILE differs from what would be written
//
// Faces: Liberation Sans 2 stands for "Arial" (the 8-bit codes read as Windows-1252) and
// DejaVu Sans for "Symbol" (the codes read as the symbol character set). Glyphs are hinted
// and anti-aliased (FreeType's normal target); coverage is kept in 16 steps.

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kSansFiles[4] = {
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Italic.ttf",
    "/usr/share/fonts/truetype/liberation2/LiberationSans-BoldItalic.ttf",
};
const char* const kSymbolFiles[2] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
};

// The sizes the front panel and its menus use, and their neighbours.
const int kSansSizes[] = {8, 9, 10, 11, 12, 13, 14, 16, 18};
const int kSymbolSizes[] = {10, 12, 13, 14};
// The font table's sizes (9, 10, 11, 12, 14 and 18; the pop-up menus' 13; Symbol's 13) at
// 150 % and 200 %, rounded as the toolkit rounds them, where the sizes above lack them.
// Upright faces only: larger italic text takes the largest italic face.
const int kScaledSansSizes[] = {15, 17, 20, 21, 22, 24, 26, 27, 28, 36};
const int kScaledSymbolSizes[] = {20, 26};

// Windows-1252 codes 128..159 (0 where the code page has no character).
const unsigned kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The symbol character set, codes 32..126 and 160..255.
const unsigned kSymbolLow[95] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7,
    0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F, 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3,
    0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C,
};
const unsigned kSymbolHigh[96] = {
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194,
    0x2190, 0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118,
    0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4,
    0x21D0, 0x21D1, 0x21D2, 0x21D3, 0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA, 0,      0x232A, 0x222B, 0x2320,
    0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0,
};

unsigned unicodeFor(bool symbol, int code)
{
    if (symbol) {
        if (code < 127)
            return kSymbolLow[code - 32];
        return code >= 160 ? kSymbolHigh[code - 160] : 0;
    }
    if (code == 127)
        return 0;
    if (code >= 128 && code < 160)
        return kCp1252High[code - 128];
    return static_cast<unsigned>(code);  // ASCII and Latin-1
}

struct Writer {
    std::ostringstream tables;
    std::ostringstream faces;
    std::string coverage;
    int faceCount = 0;
};

long roundPixels(FT_Pos v26_6) { return (v26_6 + 32) >> 6; }

bool addFace(Writer& out, FT_Library library, const char* file, bool symbol, bool bold, bool italic, int size)
{
    FT_Face face = nullptr;
    if (FT_New_Face(library, file, 0, &face) != 0) {
        std::fprintf(stderr, "fontgen: cannot open %s\n", file);
        return false;
    }
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size));
    const FT_Size_Metrics& m = face->size->metrics;
    const long ascent = m.ascender >> 6;
    const long descent = -(m.descender >> 6);
    long ulThickness = roundPixels(FT_MulFix(face->underline_thickness, m.y_scale));
    if (ulThickness < 1)
        ulThickness = 1;
    long ulPosition = -roundPixels(FT_MulFix(face->underline_position, m.y_scale));
    if (ulPosition < 1)
        ulPosition = 1;

    char name[64];
    std::snprintf(name, sizeof name, "k%s%s%s%d", symbol ? "Symbol" : "Sans", bold ? "Bold" : "",
                  italic ? "Italic" : "", size);
    out.tables << "const Glyph " << name << "[kCodeCount] = {\n";
    for (int code = 32; code < 256; ++code) {
        const unsigned u = unicodeFor(symbol, code);
        const FT_UInt index = u ? FT_Get_Char_Index(face, u) : 0;
        int advance = 0, left = 0, top = 0, width = 0, height = 0;
        const size_t start = out.coverage.size();
        if (index != 0 && FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) == 0 &&
            FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) == 0) {
            const FT_GlyphSlot g = face->glyph;
            advance = static_cast<int>(roundPixels(g->advance.x));
            left = g->bitmap_left;
            top = g->bitmap_top;
            width = static_cast<int>(g->bitmap.width);
            height = static_cast<int>(g->bitmap.rows);
            for (int y = 0; y < height; ++y) {
                const unsigned char* row = g->bitmap.buffer + y * g->bitmap.pitch;
                for (int x = 0; x < width; ++x)
                    out.coverage += "0123456789abcdef"[(row[x] * 15 + 127) / 255];
            }
        } else if (u != 0) {
            advance = static_cast<int>(size / 3);  // a character the face lacks: blank space
        }
        out.tables << "    {" << advance << ", " << left << ", " << top << ", " << width << ", " << height
                   << ", " << start << "},\n";
    }
    out.tables << "};\n\n";
    out.faces << "    {Family::" << (symbol ? "Symbol" : "Sans") << ", " << size << ", "
              << (bold ? "true" : "false") << ", " << (italic ? "true" : "false") << ", " << ascent << ", "
              << descent << ", " << ulPosition << ", " << ulThickness << ", " << name << "},\n";
    ++out.faceCount;
    FT_Done_Face(face);
    return true;
}

bool generate(std::string& text)
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0)
        return false;
    Writer out;
    bool ok = true;
    for (int style = 0; style < 4 && ok; ++style)
        for (int size : kSansSizes)
            ok = ok && addFace(out, library, kSansFiles[style], false, style & 1, style & 2, size);
    for (int style = 0; style < 2 && ok; ++style)
        for (int size : kSymbolSizes)
            ok = ok && addFace(out, library, kSymbolFiles[style], true, style & 1, false, size);
    for (int style = 0; style < 2 && ok; ++style)
        for (int size : kScaledSansSizes)
            ok = ok && addFace(out, library, kSansFiles[style], false, style & 1, false, size);
    for (int style = 0; style < 2 && ok; ++style)
        for (int size : kScaledSymbolSizes)
            ok = ok && addFace(out, library, kSymbolFiles[style], true, style & 1, false, size);
    FT_Done_FreeType(library);
    if (!ok)
        return false;

    std::ostringstream file;
    file << "// Generated by tools/fontgen from Liberation Sans 2 and DejaVu Sans: do not edit.\n"
            "// Licences: gui/fonts/LICENSE-*.txt. Compiled by gui/FontAtlases.cpp.\n\n"
            "namespace gui::fontdata {\n\n";
    file << "const char kCoverage[] =\n";
    const size_t kLine = 120;
    for (size_t i = 0; i < out.coverage.size(); i += kLine)
        file << "    \"" << out.coverage.substr(i, kLine) << "\"\n";
    if (out.coverage.empty())
        file << "    \"\"\n";
    file << "    ;\n\n";
    file << "namespace {\n\n" << out.tables.str() << "}  // namespace\n\n";
    file << "const Face kFaces[] = {\n" << out.faces.str() << "};\n";
    file << "const int kFaceCount = " << out.faceCount << ";\n\n}  // namespace gui::fontdata\n";
    text = file.str();
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "--write") != 0 && std::strcmp(argv[1], "--check") != 0)) {
        std::fprintf(stderr, "usage: fontgen --write|--check FILE\n");
        return 2;
    }
    std::string text;
    if (!generate(text))
        return 2;
    if (std::strcmp(argv[1], "--write") == 0) {
        std::ofstream file(argv[2], std::ios::binary);
        file << text;
        return file ? 0 : 2;
    }
    std::ifstream file(argv[2], std::ios::binary);
    std::ostringstream committed;
    committed << file.rdbuf();
    if (committed.str() != text) {
        std::fprintf(stderr, "fontgen: %s is not what the generator makes; rewrite it with --write\n", argv[2]);
        return 1;
    }
    return 0;
}
