// The toolkit at 150 % and 200 %: logical coordinates and the pixels of a scaled surface
// map both ways without gaps, text and bitmaps are drawn for the scale (not enlarged),
// window events come back in logical coordinates, and a new scale resizes the window.

#include <gtest/gtest.h>

#include <cmath>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/Scale.h"
#include "gui/controls/CKnob.h"
#include "gui/controls/COptionMenu.h"
#include "tests/gui/ControlTestKit.h"
#include "tests/gui/GuiTestHelpers.h"
#include "tests/gui/RecordingView.h"
#include "tests/gui/TestBitmaps.h"

namespace {

using gui::Scale;
using namespace controltest;

TEST(Scale, LogicalPixelsCoverTheSurfaceWithoutGapsOrOverlapsAtEveryScaleAndAnchor)
{
    for (int32_t percent : {100, 150, 200, 300}) {
        for (CPoint anchor : {CPoint(0, 0), CPoint(1, 7), CPoint(-3, 5)}) {
            const Scale scale(percent, anchor);
            const Scale plain(percent);
            SCOPED_TRACE(testing::Message() << percent << "% at " << anchor.h << "," << anchor.v);
            for (int32_t x = -40; x <= 40; ++x) {
                ASSERT_EQ(scale.toDeviceX(x), plain.toDeviceX(x + anchor.h) - plain.toDeviceX(anchor.h));
                ASSERT_EQ(scale.toLogicalX(scale.toDeviceX(x)), x);
                ASSERT_LT(scale.toDeviceX(x), scale.toDeviceX(x + 1));  // every logical pixel has pixels
            }
            for (int32_t device = -60; device <= 60; ++device) {
                const int32_t logical = scale.toLogicalY(device);
                ASSERT_LE(scale.toDeviceY(logical), device);
                ASSERT_GT(scale.toDeviceY(logical + 1), device);
            }
            const CRect area(-5, 3, 17, 29);
            EXPECT_EQ(scale.toLogicalCover(scale.toDevice(area)), area);
        }
    }
    EXPECT_EQ(Scale(150).toDeviceX(899), 1348);
    EXPECT_EQ(Scale(200).toDeviceY(421), 842);
    // Fonts and pens round to the nearest pixel, halves up.
    const struct {
        int32_t percent, logical, font, length;
    } sizes[] = {{150, 9, 14, 14}, {150, 13, 20, 20}, {150, 1, 2, 2}, {200, 9, 18, 18}, {100, 0, 0, 1}};
    for (const auto& s : sizes) {
        EXPECT_EQ(Scale(s.percent).fontSize(s.logical), s.font);
        EXPECT_EQ(Scale(s.percent).length(s.logical), s.length);
    }
}

// Pictures of ceil(size * scale) pixels per image: every point of an image maps as the
// scale does, and image k of a film strip starts at k whole images.
TEST(Scale, BitmapPointsMapLikeTheScaleAndFilmStripImagesStartOnTheirOwnPixels)
{
    for (int32_t percent : {150, 200, 250}) {
        const Scale scale(percent);
        for (int32_t height = 1; height <= 120; ++height) {
            const int32_t cell = int32_t((int64_t(height) * percent + 99) / 100);
            for (int32_t y = 0; y < height; ++y)
                ASSERT_EQ(gui::mapAxis(y, height, cell), scale.toDeviceY(y)) << percent << "% " << y << " of " << height;
            const int32_t images = 7;
            for (int32_t k = 0; k <= images; ++k)
                ASSERT_EQ(gui::mapAxis(k * height, images * height, images * cell), k * cell);
        }
    }
}

struct ScaledContext : ::testing::Test {
    ScaledContext() : surface(600, 200) {}
    CDrawContext& at(int32_t percent)
    {
        context.setScale(Scale(percent));
        return context;
    }
    gui::PixelSurface surface;
    CDrawContext context{nullptr, &surface, nullptr};
};

TEST_F(ScaledContext, FillsAndOutlinesCoverThePixelsOfTheirLogicalRectangles)
{
    CDrawContext& c = at(150);
    c.setFillColor(kRedCColor);
    c.fillRectangle(CRect(10, 10, 20, 20));  // leaves the first logical column and row
    EXPECT_EQ(guitest::boundsOf(surface, 0xFF0000), CRect(16, 16, 30, 30));
    c.setFillColor(kGreenCColor);
    c.drawRectangle(CRect(41, 3, 45, 9), 1);
    EXPECT_EQ(guitest::boundsOf(surface, 0x00FF00), CRect(61, 4, 67, 13));
    c.offset = CPoint(1, 1);  // offsets are logical too
    c.setFrameColor(kBlueCColor);
    c.drawRectangle(CRect(60, 20, 70, 30), 0);
    EXPECT_EQ(guitest::boundsOf(surface, 0x0000FF), CRect(91, 31, 106, 46));
}

// The same text at 200 % is the text drawn from the face twice the size (the atlases' own
// glyphs), which is not the 100 % text enlarged.
TEST_F(ScaledContext, TextAtAScaleIsTheLargerFaceNotAnEnlargement)
{
    const CRect box(10, 10, 110, 40);
    CDrawContext& scaled = at(200);
    scaled.setFont(kNormalFontSmaller);  // 10 px
    scaled.setFontColor(kWhiteCColor);
    scaled.drawString("Tweed B 2x12", box);
    const testimage::Image atScale = guitest::imageOf(surface);

    gui::PixelSurface large(600, 200), small(600, 200);
    CDrawContext direct(nullptr, &large, nullptr);
    direct.setFont(kNormalFontSmaller, 20);
    direct.setFontColor(kWhiteCColor);
    direct.drawString("Tweed B 2x12", CRect(20, 20, 220, 80));
    EXPECT_EQ(atScale.pixels, guitest::imageOf(large).pixels);

    CDrawContext design(nullptr, &small, nullptr);
    design.setFont(kNormalFontSmaller);
    design.setFontColor(kWhiteCColor);
    design.drawString("Tweed B 2x12", box);
    int64_t differing = 0;
    for (int32_t y = 0; y < 200; ++y)
        for (int32_t x = 0; x < 600; ++x)
            differing += atScale.at(x, y) != small.pixel(x / 2, y / 2);
    EXPECT_GT(differing, 200) << "the 200 % text looks like the 100 % text enlarged";
    EXPECT_EQ(scaled.getStringWidth("Tweed B 2x12"), (direct.getStringWidth("Tweed B 2x12") + 1) / 2)
        << "widths are logical";
}

constexpr int32_t kDrawnBitmap = 9001;
constexpr int32_t kDesignOnlyBitmap = 9002;
constexpr int32_t kStripBitmap = 9003;
constexpr int32_t kWrongSizeBitmap = 9004;

TEST_F(ScaledContext, BitmapsTakeThePictureDrawnForTheScaleAndEnlargeTheDesignOtherwise)
{
    using testbitmaps::Format;
    auto colourOf = [](uint32_t base) { return [base](int32_t x, int32_t y) { return base + uint32_t(y * 16 + x); }; };
    testbitmaps::install(kDrawnBitmap, testbitmaps::makeBmp(3, 2, colourOf(0x100000), Format::Rgb24));
    testbitmaps::install(kDrawnBitmap, testbitmaps::makeBmp(6, 4, colourOf(0x200000), Format::Rgb24), true, 200);
    testbitmaps::install(kDesignOnlyBitmap, testbitmaps::makeBmp(3, 2, colourOf(0x300000), Format::Rgb24));
    testbitmaps::install(kWrongSizeBitmap, testbitmaps::makeBmp(3, 2, colourOf(0x400000), Format::Rgb24));
    testbitmaps::install(kWrongSizeBitmap, testbitmaps::makeBmp(9, 9, colourOf(0x500000), Format::Rgb24), true, 200);

    CDrawContext& c = at(200);
    for (int32_t id : {kDrawnBitmap, kDesignOnlyBitmap, kWrongSizeBitmap}) {
        CBitmap* bitmap = new CBitmap(id);
        EXPECT_EQ(bitmap->getWidth(), 3);  // sizes stay logical
        bitmap->drawBitmap(&c, CRect(0, 0, 3, 2));
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 6; ++x) {
                const uint32_t expected =
                    id == kDrawnBitmap ? 0x200000 + uint32_t(y * 16 + x)
                                       : (id == kDesignOnlyBitmap ? 0x300000u : 0x400000u) + uint32_t(y / 2 * 16 + x / 2);
                ASSERT_EQ(surface.pixel(x, y), expected) << id << " at " << x << "," << y;
            }
        EXPECT_EQ(bitmap->isDrawnFor(200), id == kDrawnBitmap);
        bitmap->release();
    }
}

TEST_F(ScaledContext, EachImageOfAFilmStripIsDrawnWholeAtOneAndAHalf)
{
    // Three images of 4 x 5 logical pixels; at 150 % each is 6 x 8 pixels, one colour each.
    const int32_t images = 3, height = 5;
    installStrip(kStripBitmap, images, 4, height);
    testbitmaps::install(kStripBitmap,
                         testbitmaps::makeBmp(6, 8 * images, [](int32_t, int32_t y) { return stripColour(y / 8); },
                                              testbitmaps::Format::Rgb24),
                         true, 150);
    CBitmap* strip = new CBitmap(kStripBitmap);
    CDrawContext& c = at(150);
    for (int32_t k = 0; k < images; ++k) {
        const CRect dest(3 + 10 * k, 1, 7 + 10 * k, 1 + height);  // odd positions too
        strip->drawBitmap(&c, dest, CPoint(0, k * height));
        const CRect pixels = Scale(150).toDevice(dest);
        EXPECT_EQ(guitest::boundsOf(surface, stripColour(k)), pixels) << "image " << k;
    }
    strip->release();
}

// A frame at a scale, its views in logical coordinates.
struct ScaledFrame : Panel {
    void SetUp() override
    {
        Panel::SetUp();
        view = new RecordingView(CRect(30, 40, 60, 70), kRedCColor);
        page->addView(view);
    }
    RecordingView* view = nullptr;
};

TEST_F(ScaledFrame, ANewScaleResizesTheWindowAndDrawsEverythingAgain)
{
    paint();
    EXPECT_EQ(window->surface().width(), 320);
    EXPECT_FALSE(frame->setScalePercent(100));
    ASSERT_TRUE(frame->setScalePercent(150));
    EXPECT_EQ(window->surface().width(), 480);
    EXPECT_EQ(window->surface().height(), 360);
    EXPECT_EQ(window->scale(), 150);  // the window's own pop-up menus follow
    EXPECT_TRUE(frame->isDirty());
    frame->idle();
    // The view at logical (30, 40) of the page at (10, 20): pixels (60, 90) to (105, 135).
    EXPECT_EQ(guitest::boundsOf(window->surface(), 0xFF0000), CRect(60, 90, 105, 135));
    EXPECT_EQ(frame->getViewSize(), CRect(0, 0, 320, 240));  // the tree keeps its size
}

TEST_F(ScaledFrame, PressesPaintAreasAndThePointerArriveInLogicalCoordinates)
{
    frame->setScalePercent(200);
    window->paint(CRect(0, 0, 640, 480));
    view->draws = 0;
    // Pixel (101, 121) lies in logical (50, 60): (40, 40) of the page, inside the view.
    window->press(CPoint(101, 121), kLButton, {PointerStep{CPoint(121, 141), kLButton}});
    ASSERT_EQ(view->presses.size(), 1u);
    EXPECT_EQ(view->presses[0], CPoint(40, 40));
    EXPECT_EQ(view->polled, CPoint(50, 50));  // the pointer, polled while the button is held
    window->paint(CRect(101, 121, 103, 123));
    EXPECT_EQ(view->draws, 1);
    window->press(CPoint(59, 79), kLButton);  // left of the view: logical (29, 39)
    EXPECT_EQ(view->presses.size(), 1u);
}

TEST_F(ScaledFrame, KnobsDragTheSameLogicalDistanceForTheSameChange)
{
    CKnob* knob = add(new CKnob(CRect(100, 100, 160, 160), &listener, 7, nullptr, nullptr));
    knob->setValue(0.25f);
    frame->setScalePercent(200);
    paint();
    const CPoint centre((130 + kPageLeft) * 2, (130 + kPageTop) * 2);
    const CPoint end(centre.h, centre.v - 80);
    window->press(centre, kLButton,
                  {PointerStep{CPoint(centre.h, centre.v - 40), kLButton}, PointerStep{end, kLButton}, PointerStep{end, 0}});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.45f);  // 80 pixels at 200 % are 40 of 200 for the range
}

TEST_F(ScaledFrame, PopUpMenusOpenAtTheScaledPositionOfTheMenu)
{
    auto* menu = add(new COptionMenu(CRect(21, 31, 81, 47), &listener, 3, nullptr, nullptr, 0));
    menu->addEntry("one");
    menu->addEntry("two");
    frame->setScalePercent(150);
    paint();
    window->choosePopupLabel("two");
    window->press(CPoint(75, 80), kLButton);
    EXPECT_EQ(window->popupCount(), 1);
    // Below the menu: logical (31, 67) in the frame, at the window's screen position.
    EXPECT_EQ(window->lastPopupPosition(), CPoint(100 + 46, 50 + 100));
    EXPECT_EQ(menu->getValue(), 1.0f);
}

// A container drawn through its own buffer at an odd place shows what drawing straight
// into the window shows.
TEST_F(ScaledFrame, BufferedContainersAtOddPlacesDrawTheSamePixelsAsUnbuffered)
{
    auto picture = [&](bool buffered) {
        auto* box = new CViewContainer(CRect(81, 75, 149, 139), frame);
        box->setBackgroundColor(CColor{0, 80, 0, 255});
        box->useOffscreen(buffered);
        box->addView(new RecordingView(CRect(5, 3, 22, 19), kBlueCColor));
        page->addView(box);
        paint();
        const testimage::Image shot = guitest::imageOf(window->surface());
        page->removeView(box);  // with the view in it
        return shot.pixels;
    };
    page->setBackgroundColor(kBlackCColor);  // what a fill leaves (its first row) is black either way
    frame->setScalePercent(150);
    const std::vector<uint32_t> buffered = picture(true), direct = picture(false);
    for (size_t i = 0; i < buffered.size(); ++i)
        if (buffered[i] != direct[i]) {
            ADD_FAILURE() << "first difference at " << i % 480 << "," << i / 480 << ": " << std::hex << buffered[i]
                          << " against " << direct[i];
            break;
        }
}

}  // namespace
