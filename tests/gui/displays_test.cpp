// Text displays: the value's text and its conversions, cut to the buffer; the box, the 3D
// borders, shadow and opaque text; and the styles that draw no text or nothing at all.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "gui/controls/CParamDisplay.h"
#include "tests/gui/ControlTestKit.h"
#include "tests/gui/GuiTestHelpers.h"

namespace {

using namespace controltest;

constexpr uint32_t kBack = 0x203040u;
constexpr uint32_t kFrameLine = 0xA0A0A0u;
constexpr uint32_t kFont = 0xFFFFFFu;
constexpr uint32_t kShadow = 0xFF0000u;
constexpr uint32_t kPageColour = 0x1E1E1Eu;

struct DisplayTest : Panel {
    CParamDisplay* display(int32_t style, CBitmap* background = nullptr)
    {
        auto* d = add(new CParamDisplay(CRect(20, 20, 80, 40), background, style));
        d->setBackColor(CColor{0x20, 0x30, 0x40, 255});
        d->setFrameColor(CColor{0xA0, 0xA0, 0xA0, 255});
        return d;
    }
    void draw()
    {
        paint();
        frame->idle();
    }
    uint32_t at(int32_t x, int32_t y) { return pixels().pixel(x + kPageLeft, y + kPageTop); }
    int64_t count(uint32_t rgb) { return guitest::countPixels(pixels(), rgb); }
    // Pixels of `rgb` within an area of the page, and the bounds of those that differ from it.
    int64_t countIn(const CRect& area, uint32_t rgb)
    {
        int64_t n = 0;
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x)
                n += at(x, y) == rgb;
        return n;
    }
    CRect inkIn(const CRect& area, uint32_t background)
    {
        CRect r(INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN);
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x)
                if (at(x, y) != background) {
                    r.left = std::min(r.left, x);
                    r.top = std::min(r.top, y);
                    r.right = std::max(r.right, x + 1);
                    r.bottom = std::max(r.bottom, y + 1);
                }
        return r.left == INT32_MAX ? CRect() : r;
    }
};

std::string textOf(const CParamDisplay& d)
{
    char text[CParamDisplay::kTextSize];
    d.valueText(text);
    return text;
}

TEST_F(DisplayTest, ShowsTheValueWithTwoDecimalsOrThroughItsConversions)
{
    auto* d = display(0);
    d->setValue(0.5f);
    EXPECT_EQ(textOf(*d), "0.50");
    d->setValue(12.345f);
    EXPECT_EQ(textOf(*d), "12.35");
    d->setValue(std::numeric_limits<float>::quiet_NaN());  // as the minimum
    EXPECT_EQ(textOf(*d), "0.00");
    d->setValue(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(textOf(*d), "0.00");

    d->setStringConvert([](float v, char* text, size_t size) { std::snprintf(text, size, "%d dB", int(v * 10)); });
    d->setValue(0.5f);
    EXPECT_EQ(textOf(*d), "5 dB");
    static int data = 7;
    d->setStringConvertWithData(
        [](float v, char* text, size_t size, void* user) {
            std::snprintf(text, size, "%d:%.1f", *static_cast<int*>(user), double(v));
        },
        &data);
    EXPECT_EQ(textOf(*d), "7:0.5");  // the one with data comes first
}

TEST_F(DisplayTest, AConversionResultIsCutToTheBuffer)
{
    auto* d = display(0);
    static size_t offered = 0;
    d->setStringConvert([](float, char* text, size_t size) {
        offered = size;
        std::memset(text, 'x', size);  // fills the whole buffer, no terminator
    });
    const std::string text = textOf(*d);
    EXPECT_EQ(offered, 256u);
    EXPECT_EQ(text.size(), 255u);
    d->setValue(3e38f);  // the plain format of a huge value is cut too
    d->setStringConvert(nullptr);
    EXPECT_LE(textOf(*d).size(), 255u);
    draw();  // and draws
}

TEST_F(DisplayTest, TheBoxIsFilledAndOutlinedAndTheTextDrawnInItsColour)
{
    auto* d = display(0);
    d->setValue(0.5f);
    draw();
    EXPECT_EQ(at(20, 20), kFrameLine);  // outline through the corners
    EXPECT_EQ(at(79, 39), kFrameLine);
    EXPECT_EQ(at(21, 21), kBack);
    EXPECT_GT(count(kFont), 0);
    const CRect ink = inkIn(CRect(21, 21, 79, 39), kBack);
    EXPECT_GT(ink.width(), 15);  // "0.50", centred
    EXPECT_NEAR((ink.left + ink.right) / 2, 50, 2);

    // Without text: the same box, no ink.
    d->setStyle(kNoTextStyle);
    frame->idle();
    EXPECT_EQ(count(kFont), 0);
    EXPECT_EQ(countIn(CRect(21, 21, 79, 39), kBack), 58 * 18);
    EXPECT_EQ(at(20, 20), kFrameLine);

    d->setStyle(kNoFrame);
    frame->idle();
    EXPECT_EQ(at(79, 39), kBack);  // no outline (the fill leaves the first row and column alone)
}

TEST_F(DisplayTest, ThreeDimensionalBordersSwapTheirColours)
{
    auto* in = display(k3DIn);
    auto* out = add(new CParamDisplay(CRect(20, 50, 80, 70), nullptr, k3DOut));
    out->setBackColor(CColor{0x20, 0x30, 0x40, 255});
    out->setFrameColor(CColor{0xA0, 0xA0, 0xA0, 255});
    in->setStyle(k3DIn | kNoTextStyle);
    out->setStyle(k3DOut | kNoTextStyle);
    draw();
    // Top-left lines: back colour for 128, frame colour for 256; bottom-right the other.
    EXPECT_EQ(at(20, 30), kBack);
    EXPECT_EQ(at(50, 21), kBack);
    EXPECT_EQ(at(79, 30), kFrameLine);
    EXPECT_EQ(at(50, 39), kFrameLine);
    EXPECT_EQ(at(20, 60), kFrameLine);
    EXPECT_EQ(at(50, 51), kFrameLine);
    EXPECT_EQ(at(79, 60), kBack);
    EXPECT_EQ(at(50, 69), kBack);
    EXPECT_EQ(at(50, 20), kPageColour);  // no outline with a 3D border: the top row stays
}

TEST_F(DisplayTest, ShadowTextAndOpaqueText)
{
    auto* d = display(0);
    d->setValue(0.5f);
    draw();
    const CRect plain = inkIn(CRect(21, 21, 79, 39), kBack);
    EXPECT_EQ(count(kShadow), 0);
    d->setStyle(kShadowText);
    frame->idle();
    const CRect shadowed = inkIn(CRect(21, 21, 79, 39), kBack);
    EXPECT_GT(count(kShadow), 0);
    EXPECT_EQ(shadowed, CRect(plain.left, plain.top, plain.right + 1, plain.bottom + 1));  // one pixel right and down

    // Over a bitmap, opaque text fills its cells with the back colour.
    testbitmaps::install(760, testbitmaps::makeBmp(60, 20, [](int32_t, int32_t) { return 0x808000u; },
                                                   testbitmaps::Format::Rgb24));
    CBitmap* plate = new CBitmap(760);
    auto* opaque = add(new CParamDisplay(CRect(20, 50, 80, 70), plate, 0));
    plate->release();
    opaque->setBackColor(CColor{0x20, 0x30, 0x40, 255});
    opaque->setValue(0.25f);
    frame->idle();
    const CRect second(20, 50, 80, 70);
    EXPECT_EQ(countIn(second, kBack), 0);
    opaque->setTextTransparency(false);
    opaque->setDirty();
    frame->idle();
    EXPECT_GT(countIn(second, kBack), 20);
    EXPECT_EQ(at(21, 51), 0x808000u);  // the rest is the bitmap
}

TEST_F(DisplayTest, DrawNothingStyleIsCleanFromTheStartAndSettersMarkOnlyChanges)
{
    auto* nothing = add(new CParamDisplay(CRect(20, 50, 80, 70), nullptr, kNoDrawStyle));
    EXPECT_EQ(nothing->getValue(), 0.f);
    paint();
    EXPECT_EQ(at(21, 51), kPageColour);
    EXPECT_FALSE(nothing->isDirty());

    auto* d = display(0);
    frame->idle();
    EXPECT_FALSE(d->isDirty());
    d->setFont(kNormalFont);  // the default: unchanged
    d->setFontColor(kWhiteCColor);
    d->setHoriAlign(kCenterText);
    d->setTextFace(kNormalFace);
    d->setShadowColor(kRedCColor);
    EXPECT_FALSE(d->isDirty());
    d->setTextTransparency(false);  // only stores
    EXPECT_FALSE(d->isDirty());
    d->setHoriAlign(kLeftText);
    EXPECT_TRUE(d->isDirty());
    frame->idle();
    d->setFont(kNormalFontBig);
    EXPECT_TRUE(d->isDirty());
    EXPECT_TRUE(d->isKindOf("CParamDisplay"));
    EXPECT_TRUE(d->isKindOf("CControl"));
}

}  // namespace
