// Bitmaps: decoding every supported layout, drawing opaquely, keyed and blended, reading
// only what exists, and surviving malformed data.

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "gui/BitmapDecoder.h"
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "tests/gui/GuiTestHelpers.h"
#include "tests/gui/TestBitmaps.h"

namespace {

using testbitmaps::Format;

uint32_t gradient(int32_t x, int32_t y) { return (uint32_t(x * 40) << 16) | (uint32_t(y * 50) << 8) | 0x80u; }

TEST(BitmapDecoder, ReadsEveryLayoutTheSameWay)
{
    // Colours that survive 5 bits per channel exactly.
    const auto exact = [](int32_t x, int32_t y) { return x == 0 && y == 0 ? 0xFFFFFFu : (y == 1 ? 0xFF0000u : 0x0000FFu); };
    for (Format format : {Format::Rgb565Fields, Format::Rgb555, Format::Rgb555Fields, Format::Rgb24, Format::Rgb32})
        for (bool topDown : {false, true}) {
            const auto file = testbitmaps::makeBmp(3, 2, exact, format, topDown);
            gui::PixelSurface s;
            ASSERT_TRUE(gui::decodeBmpFile(file.data(), file.size(), s)) << int(format) << topDown;
            ASSERT_EQ(s.width(), 3);
            ASSERT_EQ(s.height(), 2);
            EXPECT_EQ(s.pixel(0, 0), 0xFFFFFFu);
            EXPECT_EQ(s.pixel(2, 0), 0x0000FFu);
            EXPECT_EQ(s.pixel(1, 1), 0xFF0000u);

            const auto dib = testbitmaps::dibOf(file);  // the resource form, without the file header
            gui::PixelSurface r;
            ASSERT_TRUE(gui::decodeDib(dib.data(), dib.size(), r));
            EXPECT_EQ(guitest::imageOf(r).pixels, guitest::imageOf(s).pixels);
        }
}

TEST(BitmapDecoder, SixteenBitChannelsScaleToTheFullRange)
{
    const auto file = testbitmaps::makeBmp(4, 1, [](int32_t x, int32_t) {
        const uint32_t levels[4] = {0x000000, 0x808080, 0xF8FCF8, 0x0A120B};
        return levels[x];
    });
    gui::PixelSurface s;
    ASSERT_TRUE(gui::decodeBmpFile(file.data(), file.size(), s));
    EXPECT_EQ(s.pixel(0, 0), 0x000000u);
    EXPECT_EQ(s.pixel(1, 0), testbitmaps::through565(0x808080));
    EXPECT_EQ(s.pixel(2, 0), 0xFFFFFFu);  // full 5- and 6-bit values are white, so white keys work
    EXPECT_EQ(s.pixel(3, 0), 0x081008u);  // 1, 4, 1 of 31, 63, 31
}

TEST(BitmapDecoder, RefusesWhatItCannotReadSafely)
{
    auto file = testbitmaps::makeBmp(8, 4, gradient);
    gui::PixelSurface s;
    ASSERT_TRUE(gui::decodeBmpFile(file.data(), file.size(), s));
    EXPECT_FALSE(gui::decodeBmpFile(file.data(), file.size() - 1, s));  // one byte short of the pixels
    EXPECT_TRUE(s.isEmpty());
    EXPECT_FALSE(gui::decodeBmpFile(file.data(), 13, s));
    EXPECT_FALSE(gui::decodeBmpFile(nullptr, 0, s));

    auto bad = file;
    bad[28] = 8;  // 8 bits per pixel: palettes are not read
    EXPECT_FALSE(gui::decodeBmpFile(bad.data(), bad.size(), s));
    bad = file;
    bad[18] = 0xFF, bad[19] = 0xFF, bad[20] = 0xFF, bad[21] = 0x7F;  // absurd width
    EXPECT_FALSE(gui::decodeBmpFile(bad.data(), bad.size(), s));
    bad = file;
    bad[54] = 0x01, bad[55] = 0x05;  // red mask 0x0501: not one run of bits
    EXPECT_FALSE(gui::decodeBmpFile(bad.data(), bad.size(), s));
    bad = file;
    bad[10] = 0xF0, bad[11] = 0xFF;  // pixels said to begin past the end
    EXPECT_FALSE(gui::decodeBmpFile(bad.data(), bad.size(), s));
    bad = file;
    bad[14] = 0xF0;  // header longer than the data
    EXPECT_FALSE(gui::decodeBmpFile(bad.data(), bad.size(), s));
}

// Thousands of damaged copies of a valid bitmap: each decode either fails cleanly or gives a
// picture of the size its header claims. Under the address sanitizer any read past the
// data's end (each copy lives in a heap block of exactly its length) stops the test.
TEST(BitmapDecoder, SurvivesTruncatedAndCorruptedData)
{
    const auto original = testbitmaps::makeBmp(13, 7, gradient);
    std::mt19937 random(20261208);
    int decoded = 0;
    for (int round = 0; round < 20000; ++round) {
        std::vector<unsigned char> copy = original;
        switch (round % 4) {
        case 0:  // truncation
            copy.resize(random() % copy.size());
            break;
        case 1:  // random bytes anywhere in the headers
            for (int k = 0; k < 3; ++k)
                copy[random() % 70] = uint8_t(random());
            break;
        case 2:  // a header field set to an extreme value
            for (size_t at = 2 + 4 * (random() % 16), i = 0; i < 4 && at + i < copy.size(); ++i)
                copy[at + i] = (random() & 1) ? 0xFF : 0x00;
            break;
        default:  // corrupted and truncated
            copy[random() % 66] = uint8_t(random());
            copy.resize(random() % copy.size() + 1);
            break;
        }
        const bool asFile = round % 3 != 0;
        std::vector<unsigned char> input = asFile ? copy : (copy.size() > 14 ? testbitmaps::dibOf(copy) : copy);
        std::unique_ptr<unsigned char[]> exact(new unsigned char[input.size() ? input.size() : 1]);
        std::copy(input.begin(), input.end(), exact.get());
        gui::PixelSurface s;
        const bool ok = asFile ? gui::decodeBmpFile(exact.get(), input.size(), s)
                               : gui::decodeDib(exact.get(), input.size(), s);
        if (ok) {
            ++decoded;
            ASSERT_GT(s.width(), 0);
            ASSERT_LE(int64_t(s.width()) * s.height(), gui::PixelSurface::kMaxPixels);
        } else {
            ASSERT_TRUE(s.isEmpty());
        }
    }
    EXPECT_GT(decoded, 100);  // the mutations do not all break the file
}

struct BitmapDrawing : ::testing::Test {
    void SetUp() override
    {
        // 4 x 4: white border (the default transparent colour), red inside, one blue pixel.
        testbitmaps::install(501, testbitmaps::makeBmp(4, 4, [](int32_t x, int32_t y) {
            if (x == 0 || y == 0 || x == 3 || y == 3)
                return 0xFFFFFFu;
            return x == 2 && y == 2 ? 0x0000FFu : 0xFF0000u;
        }));
    }
    gui::PixelSurface surface{10, 10};
    CDrawContext context{nullptr, &surface, nullptr};
};

TEST_F(BitmapDrawing, OpaqueCopyKeyedCopyAndEmptyBitmaps)
{
    CBitmap bitmap(501);
    ASSERT_TRUE(bitmap.isLoaded());
    EXPECT_EQ(bitmap.getWidth(), 4);
    EXPECT_EQ(bitmap.getTransparentColor(), kTransparentCColor);

    context.setFillColor(kGreenCColor);
    context.drawRectangle(CRect(0, 0, 10, 10), 1);
    bitmap.drawTransparent(&context, CRect(1, 1, 5, 5));
    EXPECT_EQ(guitest::countPixels(surface, 0xFFFFFF), 0);  // every keyed pixel kept the green
    EXPECT_EQ(guitest::countPixels(surface, 0xFF0000), 3);
    EXPECT_EQ(guitest::countPixels(surface, 0x0000FF), 1);
    EXPECT_EQ(guitest::countPixels(surface, 0x00FF00), 100 - 4);

    bitmap.setTransparentColor(CColor{255, 0, 0, 255});  // key on red instead
    bitmap.drawTransparent(&context, CRect(5, 5, 9, 9));
    EXPECT_EQ(guitest::countPixels(surface, 0xFFFFFF), 12);

    bitmap.drawBitmap(&context, CRect(0, 0, 4, 4));
    EXPECT_EQ(surface.pixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(surface.pixel(1, 1), 0xFF0000u);

    CBitmap missing(9999);
    EXPECT_FALSE(missing.isLoaded());
    EXPECT_EQ(missing.getWidth(), 0);
    missing.drawBitmap(&context, CRect(0, 0, 10, 10));  // draws nothing
    EXPECT_EQ(surface.pixel(1, 1), 0xFF0000u);
    EXPECT_FALSE(bitmap.loadFromPath("/tmp/anything.bmp"));
    EXPECT_FALSE(bitmap.isLoaded());
    EXPECT_EQ(bitmap.getHeight(), 0);
}

TEST_F(BitmapDrawing, SourceReachingPastTheBitmapDrawsOnlyWhatExists)
{
    CBitmap bitmap(501);
    context.setFillColor(kGreenCColor);
    context.drawRectangle(CRect(0, 0, 10, 10), 1);
    bitmap.drawBitmap(&context, CRect(0, 0, 10, 10), CPoint(2, 2));  // only 2 x 2 exist from (2, 2)
    EXPECT_EQ(guitest::countPixels(surface, 0x00FF00), 100 - 4);
    EXPECT_EQ(surface.pixel(0, 0), 0x0000FFu);
    bitmap.drawBitmap(&context, CRect(5, 5, 9, 9), CPoint(-2, -3));  // from above and left of the bitmap
    EXPECT_EQ(surface.pixel(5, 5), 0x00FF00u);
    EXPECT_EQ(surface.pixel(7, 8), 0xFFFFFFu);  // source (0, 0)
    bitmap.drawBitmap(&context, CRect(0, 0, 10, 10), CPoint(INT32_MAX, INT32_MIN));
    bitmap.drawAlphaBlend(&context, CRect(INT32_MIN, 0, INT32_MAX, 10), CPoint(INT32_MIN, 0), 200);
}

TEST_F(BitmapDrawing, ConstantAlphaBlendsSourceOverDestination)
{
    CBitmap bitmap(501);
    for (uint8_t alpha : {uint8_t(0), uint8_t(128), uint8_t(255)}) {
        context.setFillColor(CColor{0, 0, 200, 255});
        context.drawRectangle(CRect(0, 0, 10, 10), 1);
        bitmap.drawAlphaBlend(&context, CRect(0, 0, 4, 4), CPoint(0, 0), alpha);
        const uint32_t redOverBlue = surface.pixel(1, 1);
        EXPECT_EQ(redOverBlue >> 16, (255u * alpha + 127u) / 255u) << int(alpha);
        EXPECT_EQ(redOverBlue & 0xFF, (200u * (255u - alpha) + 127u) / 255u) << int(alpha);
        EXPECT_EQ(surface.pixel(5, 5), 0x0000C8u);
    }
}

TEST_F(BitmapDrawing, ResourcesWithoutFileHeaderLoadToo)
{
    testbitmaps::install(503, testbitmaps::dibOf(testbitmaps::makeBmp(3, 5, gradient)), false);
    CBitmap bitmap(503);
    ASSERT_TRUE(bitmap.isLoaded());
    EXPECT_EQ(bitmap.getWidth(), 3);
    EXPECT_EQ(bitmap.getHeight(), 5);
    testbitmaps::install(504, std::vector<unsigned char>(10, 0x42), false);
    CBitmap broken(504);
    EXPECT_FALSE(broken.isLoaded());
}

}  // namespace
