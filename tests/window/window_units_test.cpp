// The window layers' pure parts: the host's PNG encoder and its input script options, and
// on Linux the X11 key translation and the pop-up menu's layout.

#include <gtest/gtest.h>

#include "host/InputScript.h"
#include "host/PngWriter.h"

#if !defined(_WIN32)
#include <X11/X.h>
#include <X11/keysym.h>

#include "gui/platform/x11/PopupMenuLook.h"
#include "gui/platform/x11/X11Display.h"
#include "gui/platform/x11/X11Keys.h"
#include "tests/support/ReferenceImage.h"
#include "tests/window/scene/TestScene.h"
#endif

namespace {

Picture pattern(int32_t w, int32_t h)
{
    Picture p;
    p.width = w;
    p.height = h;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            p.pixels.push_back(uint32_t(x * 7 + y * 131) * 2654435761u & 0xFFFFFFu);
    return p;
}

TEST(PngWriter, RefusesEmptyOrInconsistentPictures)
{
    EXPECT_TRUE(encodePng(Picture{}).empty());
    Picture short_ = pattern(4, 4);
    short_.pixels.pop_back();
    EXPECT_TRUE(encodePng(short_).empty());
    const std::vector<unsigned char> png = encodePng(pattern(3, 2));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
}

#if !defined(_WIN32)
TEST(PngWriter, AnotherDecoderReadsBackEveryPixel)
{
    // Small, and large enough for several stored blocks (over 64 KiB of rows).
    for (const Picture& picture : {pattern(1, 1), pattern(3, 2), pattern(317, 211)}) {
        const std::string path = testimage::outputDir() + "/png-writer-" + std::to_string(picture.width) + ".png";
        std::string error;
        ASSERT_TRUE(writePng(path, picture, error)) << error;
        testimage::Image back;
        ASSERT_TRUE(testimage::readPng(path, back));
        EXPECT_EQ(back.width, picture.width);
        EXPECT_EQ(back.height, picture.height);
        EXPECT_EQ(back.pixels, picture.pixels);
    }
}
#endif

TEST(InputScriptOptions, ParsesPointsDragsWheelsAndScreenshots)
{
    ScriptStep s;
    std::string error;
    ASSERT_TRUE(parseScriptStep("--click", "12,34", s, error));
    EXPECT_EQ(s.kind, ScriptStep::Kind::Click);
    EXPECT_EQ(s.x, 12);
    EXPECT_EQ(s.y, 34);
    ASSERT_TRUE(parseScriptStep("--drag", "1,2:30,40", s, error));
    EXPECT_EQ(s.kind, ScriptStep::Kind::Drag);
    EXPECT_EQ(s.toX, 30);
    EXPECT_EQ(s.toY, 40);
    EXPECT_EQ(s.steps, 10);
    ASSERT_TRUE(parseScriptStep("--drag", "1,2:30,40:4", s, error));
    EXPECT_EQ(s.steps, 4);
    ASSERT_TRUE(parseScriptStep("--wheel", "5,6:-3", s, error));
    EXPECT_EQ(s.notches, -3);
    ASSERT_TRUE(parseScriptStep("--screenshot", "a.png", s, error));
    EXPECT_EQ(s.file, "a.png");
}

TEST(InputScriptOptions, RefusesMalformedValuesWithTheirOption)
{
    ScriptStep s;
    for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
             {"--click", "12"}, {"--click", "12,34,5"}, {"--click", "a,b"}, {"--drag", "1,2"},
             {"--drag", "1,2:3,4:0"}, {"--wheel", "1,2"}, {"--wheel", "1,2:0"}, {"--screenshot", ""}}) {
        std::string error;
        EXPECT_FALSE(parseScriptStep(option, value, s, error)) << option << " " << value;
        EXPECT_NE(error.find(option), std::string::npos);
    }
}

#if !defined(_WIN32)
using gui::platform::x11::translateKey;

TEST(X11Keys, PrintableKeysCarryTheirLowerCaseCharacter)
{
    const CKeyCode a = translateKey(XK_a, 0, 'a');
    EXPECT_EQ(a.character, 'a');
    EXPECT_EQ(a.virt, 0);
    const CKeyCode shiftedA = translateKey(XK_A, ShiftMask, 'A');
    EXPECT_EQ(shiftedA.character, 'a');
    EXPECT_EQ(shiftedA.modifier, kKeyModShift);
    const CKeyCode controlAltX = translateKey(XK_x, ControlMask | Mod1Mask, 0x18);
    EXPECT_EQ(controlAltX.modifier, kKeyModControl | kKeyModAlternate);
}

TEST(X11Keys, NamedKeysBecomeVirtualCodesWithoutCharacter)
{
    EXPECT_EQ(translateKey(XK_Escape, 0, 27).virt, kVKeyEscape);
    EXPECT_EQ(translateKey(XK_Escape, 0, 27).character, 0);
    EXPECT_EQ(translateKey(XK_Return, 0, 13).virt, kVKeyReturn);
    EXPECT_EQ(translateKey(XK_ISO_Left_Tab, ShiftMask, 0).virt, kVKeyTab);
    EXPECT_EQ(translateKey(XK_Page_Down, 0, 0).virt, kVKeyPageDown);
    EXPECT_EQ(translateKey(XK_F1, 0, 0).virt, 40);
    EXPECT_EQ(translateKey(XK_F12, 0, 0).virt, 51);
    EXPECT_EQ(translateKey(XK_KP_7, 0, '7').virt, 31);
    EXPECT_EQ(translateKey(XK_Delete, 0, 127).virt, 22);
}

TEST(X11Keys, ButtonStateBecomesTheToolkitsBitSet)
{
    using gui::platform::x11::buttonsFromState;
    EXPECT_EQ(buttonsFromState(Button1Mask), kLButton);
    EXPECT_EQ(buttonsFromState(Button2Mask | Button3Mask), kMButton | kRButton);
    EXPECT_EQ(buttonsFromState(ShiftMask | ControlMask | Mod1Mask), kShift | kControl | kAlt);
    EXPECT_EQ(buttonsFromState(Button4Mask | LockMask | Mod4Mask), 0);
}

using namespace gui::platform::x11;

TEST(X11Pixels, ColoursAreScaledIntoTheVisualsChannelMasks)
{
    Visual trueColour{};
    trueColour.red_mask = 0xFF0000;
    trueColour.green_mask = 0xFF00;
    trueColour.blue_mask = 0xFF;
    EXPECT_EQ(visualPixel(0x123456, &trueColour), 0x123456ul);
    Visual sixteenBits{};  // 5-6-5
    sixteenBits.red_mask = 0xF800;
    sixteenBits.green_mask = 0x07E0;
    sixteenBits.blue_mask = 0x001F;
    EXPECT_EQ(visualPixel(0xFFFFFF, &sixteenBits), 0xFFFFul);
    EXPECT_EQ(visualPixel(0x000000, &sixteenBits), 0ul);
    EXPECT_EQ(visualPixel(0x808080, &sixteenBits), (16ul << 11) | (32ul << 5) | 16ul);
    EXPECT_EQ(visualPixel(0xFF0000, &sixteenBits), 0xF800ul);
    Visual blueFirst{};  // channels in another order
    blueFirst.red_mask = 0xFF;
    blueFirst.green_mask = 0xFF00;
    blueFirst.blue_mask = 0xFF0000;
    EXPECT_EQ(visualPixel(0x123456, &blueFirst), 0x563412ul);
}

TEST(PopupMenuLayout, ColumnBreaksStartNewColumnsAtTheTop)
{
    const gui::platform::PopupMenu menu = scene::menu();
    const PopupLayout layout = layoutPopup(menu);
    ASSERT_EQ(layout.items.size(), menu.size());
    // "Lead" (6) starts the second column beside "Clean" (0).
    EXPECT_EQ(layout.items[6].top, layout.items[0].top);
    EXPECT_GT(layout.items[6].left, layout.items[0].right - 1);
    EXPECT_EQ(layout.items[7].top, layout.items[6].bottom);
    // Rows do not overlap, separators are thinner than items, all inside the level.
    for (size_t i = 1; i < 6; ++i)
        EXPECT_EQ(layout.items[i].top, layout.items[i - 1].bottom);
    EXPECT_LT(layout.items[2].height(), layout.items[1].height());
    for (const CRect& r : layout.items) {
        EXPECT_GE(r.left, 1);
        EXPECT_LE(r.right, layout.width - 1);
        EXPECT_LE(r.bottom, layout.height - 1);
    }
}

TEST(PopupMenuLayout, WhichItemsCanBeChosenOrOpened)
{
    const gui::platform::PopupMenu menu = scene::menu();
    EXPECT_TRUE(isChoosable(menu[0]));   // checked item
    EXPECT_FALSE(isChoosable(menu[2]));  // separator
    EXPECT_FALSE(isChoosable(menu[3]));  // title
    EXPECT_FALSE(isChoosable(menu[4]));  // greyed
    EXPECT_FALSE(isChoosable(menu[5]));
    EXPECT_TRUE(opensSubMenu(menu[5]));
}

TEST(PopupMenuLayout, LevelsStayOnTheScreen)
{
    const CRect screen(0, 0, 800, 600);
    EXPECT_EQ(placeMenu(CPoint(100, 200), CPoint(150, 100), screen), CPoint(100, 200));
    EXPECT_EQ(placeMenu(CPoint(700, 550), CPoint(150, 100), screen), CPoint(650, 500));
    EXPECT_EQ(placeMenu(CPoint(-20, -5), CPoint(150, 100), screen), CPoint(0, 0));
    // A sub-menu opens to the right of its parent, or to the left where the screen ends.
    const CPoint right = placeSubMenu(CRect(100, 100, 250, 300), CRect(101, 130, 249, 154), CPoint(120, 80), screen);
    EXPECT_GE(right.h, 240);
    EXPECT_LE(right.v, 130);
    const CPoint left = placeSubMenu(CRect(600, 100, 750, 300), CRect(601, 130, 749, 154), CPoint(120, 80), screen);
    EXPECT_LE(left.h + 120, 610);
}

TEST(PopupMenuLook, HighlightAndGreyedTextAreDrawnDifferently)
{
    const gui::platform::PopupMenu menu = scene::menu();
    const PopupLayout layout = layoutPopup(menu);
    gui::PixelSurface plain(layout.width, layout.height), lit(layout.width, layout.height);
    drawPopup(plain, menu, layout, -1);
    drawPopup(lit, menu, layout, 1);
    auto differsIn = [&](const CRect& r) {
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x)
                if (plain.pixel(x, y) != lit.pixel(x, y))
                    return true;
        return false;
    };
    EXPECT_TRUE(differsIn(layout.items[1]));
    EXPECT_FALSE(differsIn(layout.items[0]));
    // A greyed item cannot be lit.
    gui::PixelSurface greyedLit(layout.width, layout.height);
    drawPopup(greyedLit, menu, layout, 4);
    EXPECT_EQ(greyedLit.pixel(layout.items[4].left + 6, layout.items[4].top + 3),
              plain.pixel(layout.items[4].left + 6, layout.items[4].top + 3));
}
#endif

}  // namespace
