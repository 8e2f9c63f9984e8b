// The committed front-panel bitmaps at each scale, read as the plug-in's resources: their
// file format, sizes and image counts, the two lists that name them, film strips whose
// images change in order, and pages that meet every control without a seam.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "gui/CBitmap.h"
#include "gui/Scale.h"

namespace {

const std::string resourceDir = KORVALEX_RESOURCES_DIR;
const int kScales[] = {100, 150, 200};

// Pixels of an image `size` logical pixels long at a scale: ceil(size * scale).
int cell(int size, int scale) { return (size * scale + 99) / 100; }
int edge(int x, int scale) { return gui::Scale(scale).toDeviceX(x); }

struct BitmapEntry {
    int id;
    int width;
    int height;
    int images;
};

// Identifier, size and image count of every bitmap the editor loads (10134 is unused).
const BitmapEntry bitmapTable[] = {
    {10005, 899, 421, 1}, {10100, 4, 44, 1},     {10101, 4, 44, 1},      {10128, 899, 421, 1},
    {10129, 899, 421, 1}, {10130, 26, 78, 2},    {10131, 39, 2067, 53},  {10132, 67, 6767, 101},
    {10133, 32, 62, 2},   {10134, 17, 366, 1},   {10135, 130, 70, 7},    {10136, 24, 40, 2},
    {10137, 10, 90, 3},   {10138, 111, 16, 1},   {10139, 32, 148, 2},    {10140, 152, 190, 2},
    {10141, 28, 28, 2},   {10142, 10, 50, 2},
};

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t le32(const std::vector<uint8_t>& b, size_t at) { return le16(b, at) | le16(b, at + 2) << 16; }

std::string bitmapPath(int id, int scale = 100)
{
    return resourceDir + (scale == 100 ? "" : "/" + std::to_string(scale)) + "/" + std::to_string(id) + ".bmp";
}

// A decoded bitmap, top row first, pixels as 16-bit 5-6-5 values.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> pixels;

    uint16_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
    double luminance(int x, int y) const
    {
        const uint16_t p = at(x, y);
        return 0.299 * ((p >> 11) & 31) * 255 / 31 + 0.587 * ((p >> 5) & 63) * 255 / 63
            + 0.114 * (p & 31) * 255 / 31;
    }
    std::vector<uint16_t> image(int index, int count) const
    {
        const int h = height / count;
        return std::vector<uint16_t>(pixels.begin() + size_t(index) * h * width,
                                     pixels.begin() + size_t(index + 1) * h * width);
    }
};

// Assumes the header checks of the format test; rows are stored bottom-up.
Bitmap load(int id, int scale = 100)
{
    const std::vector<uint8_t> file = readFile(bitmapPath(id, scale));
    Bitmap bitmap;
    if (file.size() < 66)
        return bitmap;
    bitmap.width = int(le32(file, 18));
    bitmap.height = int(le32(file, 22));
    const size_t stride = (size_t(bitmap.width) * 2 + 3) & ~size_t(3);
    if (file.size() < 66 + stride * bitmap.height)
        return Bitmap{};
    bitmap.pixels.resize(size_t(bitmap.width) * bitmap.height);
    for (int y = 0; y < bitmap.height; ++y)
        for (int x = 0; x < bitmap.width; ++x)
            bitmap.pixels[size_t(y) * bitmap.width + x]
                = uint16_t(le16(file, 66 + stride * (bitmap.height - 1 - y) + 2 * x));
    return bitmap;
}

TEST(ResourceFiles, EveryIdentifierHasItsBitmapAtEveryScaleAndThereIsNoOther)
{
    for (int scale : kScales) {
        std::set<std::string> expected, found;
        for (const BitmapEntry& entry : bitmapTable)
            expected.insert(std::to_string(entry.id) + ".bmp");
        const std::string folder = resourceDir + (scale == 100 ? "" : "/" + std::to_string(scale));
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".bmp")
                found.insert(entry.path().filename().string());
        EXPECT_EQ(found, expected) << scale << " %";
    }
}

// At a scale each image is ceil(size * scale) pixels, so that every placement of a control
// (one pixel narrower at some) finds its pixels.
TEST(ResourceFiles, HeadersDescribeUncompressedSixteenBitFiveSixFiveBottomUpBitmaps)
{
    for (int scale : kScales)
    for (BitmapEntry entry : bitmapTable) {
        SCOPED_TRACE(testing::Message() << entry.id << " at " << scale << " %");
        entry.width = cell(entry.width, scale);
        entry.height = entry.images * cell(entry.height / entry.images, scale);
        const std::vector<uint8_t> file = readFile(bitmapPath(entry.id, scale));
        ASSERT_GE(file.size(), 66u);
        const uint32_t stride = (uint32_t(entry.width) * 2 + 3) & ~3u;
        EXPECT_EQ(file[0], 'B');
        EXPECT_EQ(file[1], 'M');
        EXPECT_EQ(le32(file, 2), file.size());                // bfSize
        EXPECT_EQ(le32(file, 10), 66u);                       // pixels after the masks
        EXPECT_EQ(le32(file, 14), 40u);                       // BITMAPINFOHEADER
        EXPECT_EQ(int32_t(le32(file, 18)), entry.width);
        EXPECT_EQ(int32_t(le32(file, 22)), entry.height);      // positive: bottom-up rows
        EXPECT_EQ(le16(file, 26), 1u);                        // planes
        EXPECT_EQ(le16(file, 28), 16u);                       // bits per pixel
        EXPECT_EQ(le32(file, 30), 3u);                        // BI_BITFIELDS
        EXPECT_EQ(le32(file, 34), stride * entry.height);      // biSizeImage
        EXPECT_EQ(le32(file, 46), 0u);                        // no palette
        EXPECT_EQ(le32(file, 54), 0xF800u);
        EXPECT_EQ(le32(file, 58), 0x07E0u);
        EXPECT_EQ(le32(file, 62), 0x001Fu);
        EXPECT_EQ(file.size(), 66u + stride * entry.height);
        EXPECT_EQ(entry.height % entry.images, 0);
    }
}

// A line of a list: the bitmap, its scale, and the folder and name of its file; false
// when the line has none of the forms given (each with "%n" last, the scale's folder
// and the file's name as the last two numbers; without a scale the line is at 100 %).
struct Listed {
    int id = 0, scale = 100, folder = 100, name = 0;
};
bool parseListed(const std::string& line, const char* withScale, const char* atDesignSize, bool scaleFirst,
                 Listed& out)
{
    int n = 0;
    out = Listed{};
    int* first = scaleFirst ? &out.scale : &out.id;
    int* second = scaleFirst ? &out.id : &out.scale;
    if (std::sscanf(line.c_str(), withScale, first, second, &out.folder, &out.name, &n) == 4 && size_t(n) == line.size())
        return true;
    out = Listed{};
    return std::sscanf(line.c_str(), atDesignSize, &out.id, &out.name, &n) == 2 && size_t(n) == line.size();
}

// "scale:id" for every line, in order, checking that each file is named after its
// identifier and lies in the folder of its scale.
std::vector<std::string> listedBitmaps(const std::string& file, const char* withScale, const char* atDesignSize,
                                       bool scaleFirst)
{
    std::ifstream in(resourceDir + "/" + file);
    std::vector<std::string> listed;
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty() || text.rfind("//", 0) == 0)
            continue;
        Listed entry;
        EXPECT_TRUE(parseListed(text, withScale, atDesignSize, scaleFirst, entry)) << file << ": " << text;
        EXPECT_EQ(entry.id, entry.name) << "the file is named after its identifier: " << text;
        EXPECT_EQ(entry.folder, entry.scale) << "in the folder of its scale: " << text;
        listed.push_back(std::to_string(entry.scale) + ":" + std::to_string(entry.id));
    }
    return listed;
}

TEST(ResourceLists, ResourceScriptAndEmbeddedListNameExactlyTheEighteenBitmapsAtEachScale)
{
    std::vector<std::string> expected;
    for (int scale : kScales)
        for (const BitmapEntry& entry : bitmapTable)
            expected.push_back(std::to_string(scale) + ":" + std::to_string(entry.id));
    EXPECT_EQ(listedBitmaps("korvalex.rc", "ZOOM%d_%d BITMAP \"%d/%d.bmp\"%n", "%d BITMAP \"%d.bmp\"%n", true),
              expected);
    EXPECT_EQ(listedBitmaps("BitmapList.inc", "KORVALEX_BITMAP(%d, %d, \"%d/%d.bmp\")%n",
                            "KORVALEX_BITMAP(%d, 100, \"%d.bmp\")%n", false),
              expected);
}

TEST(FilmStrips, EveryImageDiffersFromEveryOtherAndFromItsNeighbours)
{
    for (int scale : kScales)
    for (const BitmapEntry& entry : bitmapTable) {
        if (entry.images < 2)
            continue;
        SCOPED_TRACE(testing::Message() << entry.id << " at " << scale << " %");
        const Bitmap bitmap = load(entry.id, scale);
        ASSERT_EQ(bitmap.height, entry.images * cell(entry.height / entry.images, scale));
        std::set<std::vector<uint16_t>> distinct;
        for (int k = 0; k < entry.images; ++k)
            distinct.insert(bitmap.image(k, entry.images));
        EXPECT_EQ(int(distinct.size()), entry.images) << "a duplicated image";
    }
}

// The direction of a knob image's pointer: the centroid of the brightest pixels on the
// cap, in degrees counter-clockwise from 3 o'clock, in -90..270 (so the travel is unbroken).
double pointerAngle(const Bitmap& strip, int index, int count)
{
    const int size = strip.width;
    const int top = index * (strip.height / count);
    const double centre = size / 2.0, capRadius = size * 0.22;
    double sx = 0, sy = 0, n = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = x + 0.5 - centre, dy = y + 0.5 - centre;
            if (std::hypot(dx, dy) < capRadius && strip.luminance(x, top + y) > 170) {
                sx += dx;
                sy += dy;
                n += 1;
            }
        }
    if (n == 0)
        return NAN;
    double degrees = std::atan2(-sy, sx) * 180 / M_PI;
    return degrees < -90 ? degrees + 360 : degrees;
}

TEST(KnobStrips, PointerTurnsClockwiseThroughTwoHundredSeventyDegreesFromLowerLeft)
{
    for (int scale : kScales)
    for (const BitmapEntry& entry : bitmapTable) {
        if (entry.id != 10131 && entry.id != 10132)
            continue;
        SCOPED_TRACE(testing::Message() << entry.id << " at " << scale << " %");
        const Bitmap strip = load(entry.id, scale);
        ASSERT_EQ(strip.height, entry.images * cell(entry.height / entry.images, scale));
        double previous = INFINITY;
        for (int k = 0; k < entry.images; ++k) {
            const double angle = pointerAngle(strip, k, entry.images);
            const double nominal = 225.0 - 270.0 * k / (entry.images - 1);
            EXPECT_NEAR(angle, nominal, 4.0) << "image " << k;
            EXPECT_LT(angle, previous) << "image " << k << " turns back";
            previous = angle;
        }
    }
}

struct Placement {
    int id;
    int left;
    int top;
};

// Where the editor draws each control opaquely over a page (the meter is a window of LEDs
// edge to edge and is left out).
const Placement ampPageControls[] = {
    {10138, 85, 322},  {10140, 747, 259}, {10139, 754, 262}, {10130, 87, 278},  {10130, 128, 278},
    {10130, 169, 278}, {10132, 214, 264}, {10132, 288, 264}, {10132, 361, 264}, {10132, 435, 264},
    {10132, 509, 264}, {10132, 582, 264}, {10132, 656, 264},
};
const Placement effectsPageControls[] = {
    {10130, 767, 88},  {10141, 633, 91},  {10133, 98, 238},  {10133, 457, 238}, {10133, 98, 314},
    {10133, 288, 314}, {10133, 539, 314}, {10133, 98, 162},  {10136, 135, 237}, {10136, 496, 237},
    {10136, 323, 312}, {10136, 132, 312}, {10131, 163, 311}, {10131, 219, 311}, {10131, 361, 310},
    {10131, 416, 310}, {10131, 471, 310}, {10131, 582, 310}, {10131, 636, 310}, {10131, 691, 310},
    {10131, 746, 310}, {10131, 164, 236}, {10131, 219, 236}, {10131, 274, 236}, {10131, 329, 236},
    {10131, 383, 236}, {10131, 525, 236}, {10131, 580, 236}, {10131, 635, 236}, {10131, 690, 236},
    {10131, 745, 236}, {10131, 541, 86},  {10131, 153, 161}, {10131, 213, 161}, {10131, 273, 161},
    {10131, 344, 161}, {10131, 404, 161}, {10131, 464, 161}, {10131, 536, 161}, {10131, 596, 161},
    {10131, 656, 161}, {10131, 726, 161}, {10137, 790, 236}, {10142, 594, 95},  {10135, 390, 95},
};

int imageCount(int id)
{
    for (const BitmapEntry& entry : bitmapTable)
        if (entry.id == id)
            return entry.images;
    return 0;
}

// Every image's outermost ring of pixels, as the control is drawn at its place (at a scale
// one pixel narrower or shorter than the image at some places), equals the page under it,
// so that no value of any control shows a seam where it meets the page.
void expectSeamless(int pageId, const Placement* begin, const Placement* end, int scale)
{
    const Bitmap page = load(pageId, scale);
    ASSERT_EQ(page.width, cell(899, scale));
    for (const Placement* control = begin; control != end; ++control) {
        const Bitmap strip = load(control->id, scale);
        ASSERT_GT(strip.width, 0);
        const int count = imageCount(control->id), h = strip.height / count;
        const int left = edge(control->left, scale), top = edge(control->top, scale);
        int w = strip.width, drawnHeight = h;
        for (const BitmapEntry& entry : bitmapTable)
            if (entry.id == control->id) {
                w = std::min(w, edge(control->left + entry.width, scale) - left);
                drawnHeight = std::min(h, edge(control->top + entry.height / entry.images, scale) - top);
            }
        int mismatches = 0;
        for (int k = 0; k < count; ++k)
            for (int y = 0; y < drawnHeight; ++y)
                for (int x = 0; x < w; ++x) {
                    if (x != 0 && y != 0 && x != w - 1 && y != drawnHeight - 1)
                        continue;
                    mismatches += strip.at(x, k * h + y) != page.at(left + x, top + y);
                }
        EXPECT_EQ(mismatches, 0) << "bitmap " << control->id << " at " << control->left << ","
                                 << control->top << " on page " << pageId << " at " << scale << " %";
    }
}

TEST(Pages, EveryControlMeetsItsPageWithoutASeamAtEveryValueAndScale)
{
    for (int scale : kScales) {
        expectSeamless(10128, std::begin(ampPageControls), std::end(ampPageControls), scale);
        expectSeamless(10129, std::begin(effectsPageControls), std::end(effectsPageControls), scale);
    }
}

TEST(Pages, ReadoutWindowsAndMenuPlateAreLightEnoughForDarkText)
{
    for (int scale : kScales) {
        SCOPED_TRACE(testing::Message() << scale << " %");
        const Bitmap amp = load(10128, scale);
        ASSERT_EQ(amp.width, cell(899, scale));
        for (int left : {234, 308, 381, 456, 530, 603, 677})
            for (int y = edge(332, scale); y < edge(341, scale); ++y)
                for (int x = edge(left, scale); x < edge(left + 28, scale); ++x)
                    ASSERT_GT(amp.luminance(x, y), 190.0) << "readout window at " << x << "," << y;
    }
    const Bitmap menu = load(10138);
    ASSERT_EQ(menu.width, 111);
    for (int y = 1; y < menu.height - 1; ++y)
        for (int x = 1; x < menu.width - 1; ++x)
            ASSERT_GT(menu.luminance(x, y), 190.0) << "menu plate at " << x << "," << y;
}

// The table compiled into the binaries hands every bitmap to the toolkit at its size, and
// its pictures drawn for 150 % and 200 %.
TEST(EmbeddedBitmaps, EveryBitmapLoadsThroughTheToolkitAtEveryScale)
{
    for (const BitmapEntry& entry : bitmapTable) {
        CBitmap* bitmap = new CBitmap(entry.id);
        EXPECT_TRUE(bitmap->isLoaded()) << entry.id;
        EXPECT_EQ(bitmap->getWidth(), entry.width) << entry.id;
        EXPECT_EQ(bitmap->getHeight(), entry.height) << entry.id;
        for (int scale : {150, 200}) {
            EXPECT_TRUE(bitmap->isDrawnFor(scale)) << entry.id << " at " << scale << " %";
            EXPECT_EQ(bitmap->pixelsAt(scale).width(), cell(entry.width, scale)) << entry.id;
        }
        bitmap->release();
    }
    CBitmap* missing = new CBitmap(10006);
    EXPECT_FALSE(missing->isLoaded());
    missing->release();
}

} // namespace
