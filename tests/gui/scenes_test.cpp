// Composed scenes compared with the reference pictures in tests/gui/references: nested
// containers with back buffers, bitmaps keyed and blended, and text in every font.

#include <gtest/gtest.h>

#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "tests/gui/GuiTestHelpers.h"
#include "tests/gui/RecordingView.h"
#include "tests/gui/TestBitmaps.h"

namespace {

using gui::platform::headless::HeadlessWindow;

// A view that draws a bitmap keyed, blended or opaque at its rectangle.
class BitmapView : public CView {
public:
    enum Mode { Opaque, Keyed, Blended };
    BitmapView(const CRect& rect, CBitmap* bitmap, Mode m, uint8_t a = 255) : CView(rect), mode(m), alpha(a)
    {
        setBackground(bitmap);
    }
    void draw(CDrawContext* context) override
    {
        if (mode == Keyed)
            pBackground->drawTransparent(context, size);
        else if (mode == Blended)
            pBackground->drawAlphaBlend(context, size, CPoint(0, 0), alpha);
        else
            pBackground->drawBitmap(context, size);
        setDirty(false);
    }
    Mode mode;
    uint8_t alpha;
};

// A view that writes lines of text with one font each.
class TextView : public CView {
public:
    explicit TextView(const CRect& rect) : CView(rect) {}
    void draw(CDrawContext* context) override
    {
        const char* names[kNumStandardFonts] = {"System 12 bold", "Arial 18",  "Arial 14", "Arial 12",
                                                "Arial 11",       "Arial 10",  "Arial 9",  "abgdpWS 13"};
        int32_t top = size.top;
        for (int32_t f = 0; f < kNumStandardFonts; ++f) {
            context->setFont(f);
            context->setFontColor(CColor{230, 220, 190, 255});
            const CRect line(size.left, top, size.right, top + 22);
            context->drawString(names[f], line, false, kLeftText);
            context->setFontColor(CColor{40, 30, 20, 255});
            context->setFillColor(CColor{240, 200, 80, 255});
            context->drawString("0.50 dB", line, true, kRightText);
            top += 22;
        }
        const int32_t styles[4] = {kBoldFace, kItalicFace, kBoldFace | kItalicFace, kUnderlineFace};
        const char* styleNames[4] = {"Bold", "Italic", "Bold italic", "Underline"};
        for (int i = 0; i < 4; ++i) {
            context->setFont(kNormalFont, 0, styles[i]);
            context->setFontColor(kWhiteCColor);
            context->drawString(styleNames[i], CRect(size.left + 90 * i, top, size.left + 90 * (i + 1), top + 20),
                                false, kCenterText);
        }
        setDirty(false);
    }
};

struct Scene : ::testing::Test {
    void open(int32_t w, int32_t h)
    {
        frame = new CFrame(CRect(0, 0, w, h), &parentToken, nullptr);
        window = HeadlessWindow::latest();
    }
    void TearDown() override
    {
        if (frame)
            frame->release();
    }
    ::testing::AssertionResult matches(const char* name)
    {
        window->paint(CRect(0, 0, frame->width(), frame->height()));
        return testimage::matchesReference(guitest::imageOf(window->surface()), guitest::referenceDir(), name);
    }
    int parentToken = 0;
    CFrame* frame = nullptr;
    HeadlessWindow* window = nullptr;
};

uint32_t panelShade(int32_t x, int32_t y) { return (uint32_t(40 + x / 3) << 16) | (uint32_t(50 + y / 2) << 8) | 90u; }

TEST_F(Scene, NestedContainersWithBackBuffers)
{
    testbitmaps::install(601, testbitmaps::makeBmp(240, 160, panelShade));
    open(240, 160);
    CBitmap* panel = new CBitmap(601);
    auto* page = new CViewContainer(CRect(0, 0, 240, 160), frame, panel);
    panel->release();
    frame->addView(page);

    auto* box = new CViewContainer(CRect(30, 20, 150, 110), frame);
    box->setBackgroundColor(CColor{20, 20, 24, 255});
    page->addView(box);
    box->addView(new RecordingView(CRect(-10, -10, 40, 30), CColor{200, 60, 40, 255}));  // clipped by the box
    box->addView(new RecordingView(CRect(30, 20, 90, 70), CColor{60, 160, 220, 255}));
    box->addView(new RecordingView(CRect(100, 60, 140, 100), CColor{240, 200, 80, 255}));

    auto* tray = new CViewContainer(CRect(160, 30, 230, 150), frame, nullptr);
    tray->setTransparency(true);  // shows the page under it
    page->addView(tray);
    tray->addView(new RecordingView(CRect(10, 10, 60, 40), CColor{90, 200, 120, 255}));
    tray->addView(new RecordingView(CRect(20, 30, 50, 110), CColor{230, 230, 230, 255}));
    EXPECT_TRUE(matches("nested-containers"));

    // A partial expose repaints the same pixels.
    const auto full = guitest::imageOf(window->surface());
    window->paint(CRect(50, 40, 200, 120));
    EXPECT_EQ(guitest::imageOf(window->surface()).pixels, full.pixels);
}

TEST_F(Scene, BitmapsKeyedAndBlended)
{
    testbitmaps::install(602, testbitmaps::makeBmp(200, 120, panelShade));
    // A round lamp on white (the default transparent colour) with a near-white highlight that stays.
    testbitmaps::install(603, testbitmaps::makeBmp(40, 40, [](int32_t x, int32_t y) {
        const int32_t dx = x - 20, dy = y - 20;
        const int32_t d2 = dx * dx + dy * dy;
        if (d2 > 18 * 18)
            return 0xFFFFFFu;
        return d2 < 6 * 6 ? 0xF8F8F8u : (uint32_t(200 - d2 / 4) << 16) | 0x2010u;
    }));
    open(200, 120);
    CBitmap* panel = new CBitmap(602);
    CBitmap* lamp = new CBitmap(603);
    auto* page = new CViewContainer(CRect(0, 0, 200, 120), frame, panel);
    frame->addView(page);
    page->addView(new BitmapView(CRect(10, 10, 50, 50), lamp, BitmapView::Opaque));
    page->addView(new BitmapView(CRect(60, 10, 100, 50), lamp, BitmapView::Keyed));
    page->addView(new BitmapView(CRect(110, 10, 150, 50), lamp, BitmapView::Blended, 128));
    page->addView(new BitmapView(CRect(10, 60, 50, 100), lamp, BitmapView::Blended, 0));
    page->addView(new BitmapView(CRect(60, 60, 100, 100), lamp, BitmapView::Blended, 255));
    page->addView(new BitmapView(CRect(170, 90, 230, 150), lamp, BitmapView::Keyed));  // past the edge
    panel->release();
    lamp->release();
    EXPECT_TRUE(matches("bitmaps-keyed-blended"));
    // Blending with alpha 0 leaves the panel; 255 equals the opaque copy.
    const auto& s = window->surface();
    EXPECT_EQ(s.pixel(12, 62), testbitmaps::through565(panelShade(12, 62)));
    EXPECT_EQ(s.pixel(80, 80), s.pixel(30, 30));
}

TEST_F(Scene, TextInEveryFont)
{
    open(380, 220);
    auto* page = new CViewContainer(CRect(0, 0, 380, 220), frame);
    page->setBackgroundColor(CColor{36, 34, 40, 255});
    frame->addView(page);
    page->addView(new TextView(CRect(10, 8, 370, 210)));
    EXPECT_TRUE(matches("text-every-font"));
}

}  // namespace
