// Drawing contexts: the pixel rules of rectangles, lines, pens, modes, clipping, off-screen
// contexts and text, and that nothing is ever drawn outside the clip and the surface.

#include <gtest/gtest.h>

#include <climits>

#include "gui/CDrawContext.h"
#include "gui/Fonts.h"
#include "gui/Raster.h"
#include "tests/gui/GuiTestHelpers.h"

namespace {

constexpr uint32_t kRed = 0xFF0000, kWhite = 0xFFFFFF, kBlack = 0;

struct Canvas {
    gui::PixelSurface surface{40, 30};
    CDrawContext context{nullptr, &surface, nullptr};
};

TEST(DrawContext, FillRectangleLeavesFirstColumnAndRowWhileFilledRectangleCoversAll)
{
    Canvas c;
    c.context.setFillColor(kRedCColor);
    c.context.fillRectangle(CRect(0, 0, 10, 10));
    EXPECT_EQ(guitest::countPixels(c.surface, kRed), 81);
    EXPECT_EQ(guitest::boundsOf(c.surface, kRed), CRect(1, 1, 10, 10));

    Canvas d;
    d.context.setFillColor(kRedCColor);
    d.context.drawRectangle(CRect(0, 0, 10, 10), 1);
    EXPECT_EQ(guitest::countPixels(d.surface, kRed), 100);
    EXPECT_EQ(guitest::boundsOf(d.surface, kRed), CRect(0, 0, 10, 10));
}

TEST(DrawContext, OutlineRunsInsideTheExclusiveRightAndBottomEdges)
{
    Canvas c;
    c.context.setFrameColor(kRedCColor);
    c.context.drawRectangle(CRect(2, 3, 12, 9), 0);
    EXPECT_EQ(guitest::boundsOf(c.surface, kRed), CRect(2, 3, 12, 9));
    EXPECT_EQ(guitest::countPixels(c.surface, kRed), 2 * 10 + 2 * 4);
    for (CPoint corner : {CPoint(2, 3), CPoint(11, 3), CPoint(11, 8), CPoint(2, 8)})
        EXPECT_EQ(c.surface.pixel(corner.h, corner.v), kRed) << corner.h << "," << corner.v;
    EXPECT_EQ(c.surface.pixel(5, 5), kBlack);  // style 0 does not fill

    Canvas both;
    both.context.setFrameColor(kRedCColor);
    both.context.setFillColor(kWhiteCColor);
    both.context.drawRectangle(CRect(2, 3, 12, 9), 2);
    EXPECT_EQ(guitest::countPixels(both.surface, kRed), 28);
    EXPECT_EQ(guitest::countPixels(both.surface, kWhite), 60 - 28);
}

TEST(DrawContext, LinesLeaveOutTheirEndPointAndRoundTheMinorAxis)
{
    Canvas c;
    c.context.setFrameColor(kRedCColor);
    c.context.moveTo(CPoint(1, 1));
    c.context.lineTo(CPoint(6, 1));
    EXPECT_EQ(guitest::boundsOf(c.surface, kRed), CRect(1, 1, 6, 2));

    Canvas d;
    d.context.setFrameColor(kRedCColor);
    d.context.moveTo(CPoint(0, 0));
    d.context.lineTo(CPoint(8, 2));  // x-major: one step of y every four columns, rounded
    EXPECT_EQ(guitest::countPixels(d.surface, kRed), 8);
    const int expectedRow[8] = {0, 0, 0, 1, 1, 1, 1, 2};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(d.surface.pixel(x, expectedRow[x]), kRed) << "column " << x;
    EXPECT_EQ(d.surface.pixel(8, 2), kBlack);

    Canvas e;  // a zero-length line draws nothing; the pen moves on
    e.context.setFrameColor(kRedCColor);
    e.context.moveTo(CPoint(4, 4));
    e.context.lineTo(CPoint(4, 4));
    e.context.lineTo(CPoint(4, 7));
    EXPECT_EQ(guitest::boundsOf(e.surface, kRed), CRect(4, 4, 5, 7));
}

TEST(DrawContext, PenIsMadeOnlyWhenItsLookChanges)
{
    Canvas c;
    const int32_t before = c.context.getPenCreations();
    c.context.setFrameColor(kRedCColor);
    c.context.setFrameColor(kRedCColor);
    EXPECT_EQ(c.context.getPenCreations(), before + 1);
    c.context.setFrameColor(CColor{255, 0, 0, 0});  // alpha counts as a change too
    c.context.setLineWidth(1);
    c.context.setLineStyle(kLineSolid);
    EXPECT_EQ(c.context.getPenCreations(), before + 2);
    c.context.setLineWidth(3);
    c.context.setLineStyle(kLineOnOffDash);
    EXPECT_EQ(c.context.getPenCreations(), before + 4);
}

TEST(DrawContext, WidePensAndDottedLines)
{
    Canvas c;
    c.context.setFrameColor(kRedCColor);
    c.context.setLineWidth(3);
    c.context.moveTo(CPoint(5, 10));
    c.context.lineTo(CPoint(15, 10));
    EXPECT_EQ(guitest::boundsOf(c.surface, kRed), CRect(4, 9, 16, 12));

    Canvas d;
    d.context.setFrameColor(kRedCColor);
    d.context.setLineStyle(kLineOnOffDash);
    d.context.moveTo(CPoint(0, 0));
    d.context.lineTo(CPoint(12, 0));
    for (int x = 0; x < 12; ++x)
        EXPECT_EQ(d.surface.pixel(x, 0), (x / 3) % 2 == 0 ? kRed : kBlack) << x;
}

TEST(DrawContext, DrawModesMixThePenWithTheSurface)
{
    Canvas c;
    c.context.setFillColor(CColor{0x30, 0x0F, 0xF0, 255});
    c.context.drawRectangle(CRect(0, 0, 40, 30), 1);
    c.context.setFrameColor(CColor{0x0C, 0xF0, 0x0F, 255});
    c.context.setDrawMode(kOrMode);
    c.context.moveTo(CPoint(0, 0));
    c.context.lineTo(CPoint(1, 0));
    EXPECT_EQ(c.surface.pixel(0, 0), 0x3CFFFFu);
    c.context.setDrawMode(kXorMode);  // not-xor
    c.context.moveTo(CPoint(0, 1));
    c.context.lineTo(CPoint(1, 1));
    EXPECT_EQ(c.surface.pixel(0, 1), ~(0x300FF0u ^ 0x0CF00Fu) & 0xFFFFFFu);
    c.context.setDrawMode(kCopyMode);
    c.context.moveTo(CPoint(0, 2));
    c.context.lineTo(CPoint(1, 2));
    EXPECT_EQ(c.surface.pixel(0, 2), 0x0CF00Fu);
}

TEST(DrawContext, ClipIsKeptInDeviceCoordinatesAcrossDrawingOffsets)
{
    Canvas c;
    c.context.offset = CPoint(10, 5);
    c.context.setClipRect(CRect(0, 0, 4, 4));  // device (10, 5, 14, 9)
    CRect local;
    EXPECT_EQ(c.context.getClipRect(local), CRect(0, 0, 4, 4));
    c.context.offset = CPoint(0, 0);
    EXPECT_EQ(c.context.getClipRect(local), CRect(10, 5, 14, 9));
    c.context.setFillColor(kRedCColor);
    c.context.drawRectangle(CRect(0, 0, 40, 30), 1);
    EXPECT_EQ(guitest::boundsOf(c.surface, kRed), CRect(10, 5, 14, 9));
}

TEST(DrawContext, OffscreenContextStartsInItsColourAndCopiesAsABlock)
{
    COffscreenContext offscreen(nullptr, 5, 3, kRedCColor);
    EXPECT_EQ(guitest::countPixels(offscreen.pixels(), kRed), 15);

    Canvas c;
    c.context.offset = CPoint(2, 1);
    offscreen.copyFrom(&c.context, CRect(3, 3, 6, 5), CPoint(1, 1));  // 3 x 2 from (1, 1)
    EXPECT_EQ(guitest::boundsOf(c.surface, kRed), CRect(5, 4, 8, 6));
    EXPECT_EQ(guitest::countPixels(c.surface, kRed), 6);

    COffscreenContext empty(nullptr, -4, 7, kRedCColor);  // a negative size gives nothing to draw on
    CRect clip;
    EXPECT_EQ(empty.getClipRect(clip), CRect(-4, 0, 0, 7));
    empty.setFillColor(kRedCColor);
    empty.drawRectangle(CRect(-10, -10, 10, 10), 1);
    EXPECT_TRUE(empty.pixels().isEmpty());
}

TEST(DrawContext, NothingIsDrawnOutsideTheSurfaceWhateverTheCoordinates)
{
    // The surface sits inside a larger block whose other pixels must stay untouched.
    std::vector<uint32_t> block(60 * 50, 0x123456u);
    gui::PixelSurface inner(block.data() + 60 * 10 + 10, 40, 30, 60);
    CDrawContext context(nullptr, &inner, nullptr);
    context.setFillColor(kRedCColor);
    context.setFrameColor(kRedCColor);
    context.setLineWidth(5);
    const CRect extremes[] = {
        CRect(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX), CRect(INT32_MAX - 3, 0, INT32_MIN + 3, 20),
        CRect(-100, -100, -50, 1000), CRect(30, 20, 10, 5), CRect(INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX),
    };
    for (const CRect& r : extremes) {
        context.drawRectangle(r, 2);
        context.fillRectangle(r);
        context.moveTo(CPoint(r.left, r.top));
        context.lineTo(CPoint(r.right, r.bottom));
        context.drawString("Clipped text", r, true, kLeftText);
    }
    context.offset = CPoint(INT32_MAX - 10, INT32_MIN + 10);
    context.drawRectangle(CRect(0, 0, 100, 100), 2);
    context.moveTo(CPoint(INT32_MIN, 0));
    context.lineTo(CPoint(INT32_MAX, 5));

    for (int32_t y = 0; y < 50; ++y) {
        for (int32_t x = 0; x < 60; ++x) {
            if (x < 10 || x >= 50 || y < 10 || y >= 40) {
                ASSERT_EQ(block[size_t(y) * 60 + size_t(x)], 0x123456u) << x << "," << y;
            }
        }
    }
}

TEST(DrawContext, ExtremeLinesCrossTheSurfaceWhereTheirEquationSays)
{
    Canvas c;
    c.context.setFrameColor(kRedCColor);
    // Horizontal through row 7 from far left to far right: the whole row.
    c.context.moveTo(CPoint(INT32_MIN, 7));
    c.context.lineTo(CPoint(INT32_MAX, 7));
    EXPECT_EQ(guitest::boundsOf(c.surface, kRed), CRect(0, 7, 40, 8));
    // A steep line with huge endpoints passing x = 20 at y = 0..29.
    Canvas d;
    d.context.setFrameColor(kRedCColor);
    d.context.moveTo(CPoint(20, -2000000000));
    d.context.lineTo(CPoint(20, 2000000000));
    EXPECT_EQ(guitest::boundsOf(d.surface, kRed), CRect(20, 0, 21, 30));
}

TEST(DrawContext, FontTableAndStyles)
{
    Canvas c;
    c.context.setFont(9, 0, 0);  // out of range: the system font
    EXPECT_EQ(c.context.getFont(), kSystemFont);
    EXPECT_EQ(c.context.getFontSize(), 12);
    const int32_t systemWidth = c.context.getStringWidth("Volume");
    c.context.setFont(kNormalFont, 0, kBoldFace);  // the same face: Arial 12 bold
    EXPECT_EQ(c.context.getStringWidth("Volume"), systemWidth);
    c.context.setFont(kNormalFont);
    EXPECT_LT(c.context.getStringWidth("Volume"), systemWidth);
    const int32_t sizes[kNumStandardFonts] = {12, 18, 14, 12, 11, 10, 9, 13};
    for (int32_t f = 0; f < kNumStandardFonts; ++f) {
        c.context.setFont(f);
        EXPECT_EQ(c.context.getFontSize(), sizes[f]) << "font " << f;
    }
    c.context.setFont(kNormalFontSmall, 16, kItalicFace | kUnderlineFace);
    EXPECT_EQ(c.context.getFontSize(), 16);
    EXPECT_EQ(c.context.getFontStyle(), kItalicFace | kUnderlineFace);
}

TEST(DrawContext, TextAlignsLeftOnePixelInCentredOrRight)
{
    const char* text = "Treble";
    gui::PixelSurface probe(10, 10);
    CDrawContext measure(nullptr, &probe, nullptr);
    measure.setFont(kNormalFont);
    const int32_t width = measure.getStringWidth(text);

    const CRect box(10, 5, 110, 25);
    const auto inkOf = [&](int32_t align) {
        gui::PixelSurface s(120, 30);
        CDrawContext context(nullptr, &s, nullptr);
        context.setFont(kNormalFont);
        context.setFontColor(kWhiteCColor);
        context.drawString(text, box, false, align);
        return guitest::inkBounds(s, kBlack);
    };
    const CRect left = inkOf(kLeftText), centre = inkOf(kCenterText), right = inkOf(kRightText);
    // The same ink moves by whole pixels: left starts one pixel in, centre at half the
    // spare width, right ends at the box's edge.
    EXPECT_EQ(centre.left - left.left, 10 + (100 - width) / 2 - 11);
    EXPECT_EQ(right.left - left.left, 110 - width - 11);
    EXPECT_EQ(left.top, centre.top);
    EXPECT_EQ(left.bottom, right.bottom);
    EXPECT_LE(left.left, 11 + 2);
    EXPECT_GE(left.left, 11);
    EXPECT_LE(right.right, 110);
    // Vertically centred: the ink's middle lies within two pixels of the box's.
    EXPECT_NEAR((left.top + left.bottom) / 2.0, 15.0, 2.0);
}

TEST(DrawContext, OpaqueTextFillsItsCellsWithTheFillColourOnly)
{
    gui::PixelSurface s(120, 30);
    CDrawContext context(nullptr, &s, nullptr);
    context.setFont(kNormalFont);
    context.setFillColor(kRedCColor);
    context.setFontColor(kWhiteCColor);
    context.drawString("Gain", CRect(0, 0, 120, 30), true, kCenterText);
    const int32_t width = context.getStringWidth("Gain");
    const CRect cells = guitest::inkBounds(s, kBlack);
    EXPECT_EQ(cells.width(), width);
    EXPECT_EQ(cells.left, (120 - width) / 2);
    EXPECT_GT(guitest::countPixels(s, kRed), 0);
    EXPECT_GT(guitest::countPixels(s, kWhite), 0);

    gui::PixelSurface t(120, 30);  // transparent text leaves the background as it was
    CDrawContext plain(nullptr, &t, nullptr);
    plain.setFont(kNormalFont);
    plain.setFillColor(kRedCColor);
    plain.drawString("Gain", CRect(0, 0, 120, 30), false, kCenterText);
    EXPECT_EQ(guitest::countPixels(t, kRed), 0);
}

TEST(DrawContext, TextStaysInsideItsRectangle)
{
    gui::PixelSurface s(60, 30);
    CDrawContext context(nullptr, &s, nullptr);
    context.setFont(kNormalFontVeryBig);
    context.setFillColor(kRedCColor);
    context.drawString("Rectified Lead", CRect(10, 10, 40, 18), true, kLeftText);
    const CRect ink = guitest::inkBounds(s, kBlack);
    EXPECT_GE(ink.left, 11);
    EXPECT_GE(ink.top, 10);
    EXPECT_LE(ink.right, 40);
    EXPECT_LE(ink.bottom, 18);
}

TEST(DrawContext, UnderlineRunsUnderTheWholeText)
{
    gui::PixelSurface s(100, 30);
    CDrawContext context(nullptr, &s, nullptr);
    context.setFont(kNormalFont, 0, kUnderlineFace);
    context.setFontColor(kWhiteCColor);
    context.drawString("a b", CRect(0, 0, 100, 30), false, kLeftText);
    const int32_t width = context.getStringWidth("a b");
    // Some row below the letters is fully white across the text's width.
    bool found = false;
    for (int32_t y = 15; y < 30 && !found; ++y) {
        bool full = true;
        for (int32_t x = 1; x < 1 + width; ++x)
            full = full && s.pixel(x, y) == kWhite;
        found = full;
    }
    EXPECT_TRUE(found);
}

TEST(DrawContext, CoverageAndAlphaBlendRoundToNearest)
{
    using gui::raster::blendChannel;
    EXPECT_EQ(blendChannel(200, 100, 0), 100);
    EXPECT_EQ(blendChannel(200, 100, 255), 200);
    EXPECT_EQ(blendChannel(255, 0, 128), 128);  // 32640 + 127 over 255
    EXPECT_EQ(blendChannel(0, 255, 128), 127);
    EXPECT_EQ(blendChannel(10, 11, 128), 10);  // (1280 + 1397 + 127) / 255 = 10.99
    for (uint32_t a = 0; a <= 255; ++a)
        for (uint32_t v : {0u, 1u, 127u, 254u, 255u})
            ASSERT_EQ(blendChannel(uint8_t(v), uint8_t(v), a), v);  // blending a colour with itself keeps it
}

TEST(DrawContext, SymbolFontDrawsGreekForLatinCodes)
{
    // 'a' in the symbol set is alpha: its ink differs from Arial's 'a'.
    gui::PixelSurface a(30, 30), b(30, 30);
    CDrawContext arial(nullptr, &a, nullptr), symbol(nullptr, &b, nullptr);
    arial.setFont(kNormalFont, 13);
    symbol.setFont(kSymbolFont);
    arial.drawString("a", CRect(0, 0, 30, 30));
    symbol.drawString("a", CRect(0, 0, 30, 30));
    EXPECT_GT(guitest::countPixels(b, kBlack), 0);
    EXPECT_NE(guitest::imageOf(a).pixels, guitest::imageOf(b).pixels);
    const auto& face = gui::selectFace(gui::fontdata::Family::Symbol, false, false, 13);
    EXPECT_GT(face.glyphs['a' - 32].width, 0);
}

}  // namespace
