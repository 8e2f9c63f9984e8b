// The front panel on screen, as a person sees and uses it: the plug-in file's editor opened
// by the host library on a private Xvfb, both pages at two programs against committed
// pictures, and a drag, a click and a menu choice through the X server's own input.

#include <gtest/gtest.h>

#include "editor/EditorLayout.h"
#include "host/PluginHost.h"
#include "tests/support/ReferenceImage.h"
#include "tests/window/support/WindowTests.h"

namespace {

using namespace windowtest;

testimage::Image imageOf(const Picture& picture)
{
    testimage::Image image;
    image.width = picture.width;
    image.height = picture.height;
    image.pixels = picture.pixels;
    return image;
}

class PanelOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() { displayReady = startDisplay(displayProblem); }
    static void TearDownTestSuite() { stopDisplay(); }

    void SetUp() override
    {
        ASSERT_TRUE(displayReady) << displayProblem;
        std::string error;
        desktop = Desktop::connect(error);
        ASSERT_TRUE(desktop) << error;
        editor = std::make_unique<EditorThread>(KORVALEX_PLUGIN_PATH, EditorSession::Parent::Sized);
        ASSERT_TRUE(editor->opened()) << editor->error();
        ASSERT_TRUE(waitUntil([&] { return desktop->isViewable(editor->window()); }));
        ASSERT_TRUE(desktop->clientOrigin(editor->window(), originX, originY));
    }

    void TearDown() override
    {
        if (editor)
            editor->end(Ending::CloseEditorFirst);
    }

    float parameter(int32_t index)
    {
        float value = 0.0f;
        editor->run([&](PluginHost& host, EditorSession&) { value = host.getParameter(index); });
        return value;
    }
    void select(int32_t program, float page)
    {
        editor->run([&](PluginHost& host, EditorSession&) {
            host.setProgram(program);
            host.setParameter(52, page);
        });
    }
    // Waits until the editor has idled twice since now, so that what changed is drawn.
    void settle()
    {
        const uint64_t now = editor->idles();
        waitUntil([&] { return editor->idles() >= now + 2; });
    }
    // The window's picture once two captures a few idles apart agree.
    Picture steadyPicture()
    {
        Picture last, shot;
        waitUntil([&] {
            settle();
            const bool same = desktop->capture(editor->window(), shot) && shot.pixels == last.pixels;
            last = shot;
            return same && shot.width > 0;
        });
        return last;
    }
    void moveTo(int32_t x, int32_t y)
    {
        desktop->moveTo(originX + x, originY + y);
        settle();
    }
    void click(int32_t x, int32_t y)
    {
        moveTo(x, y);
        desktop->button(1, true);
        settle();
        desktop->button(1, false);
        settle();
    }

    static bool displayReady;
    static std::string displayProblem;
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<EditorThread> editor;
    int32_t originX = 0, originY = 0;
};

bool PanelOnScreen::displayReady = false;
std::string PanelOnScreen::displayProblem;

CPoint centreOf(const CRect& r) { return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

TEST_F(PanelOnScreen, BothPagesAtTwoProgramsLookAsCommitted)
{
    for (int32_t program : {0, 58}) {
        for (int page = 0; page < 2; ++page) {
            select(program, float(page));
            const Picture shot = steadyPicture();
            ASSERT_EQ(shot.width, 899);
            ASSERT_EQ(shot.height, 421);
            const std::string name =
                "panel-program" + std::to_string(program) + (page ? "-effects-page" : "-amp-page");
            EXPECT_TRUE(testimage::matchesReference(imageOf(shot), KORVALEX_PANEL_REFERENCE_DIR, name));
        }
    }
}

TEST_F(PanelOnScreen, ADragOnDriveAndAClickOnASectionSwitchChangeParameterAndPicture)
{
    select(0, 0.0f);
    const Picture before = steadyPicture();
    const float drive = parameter(9);
    const CPoint knob = centreOf(editor::kAmpPage[13].rect);
    moveTo(knob.h, knob.v);
    desktop->button(1, true);
    for (int32_t step = 1; step <= 8; ++step)
        moveTo(knob.h, knob.v - 5 * step);
    desktop->button(1, false);
    settle();
    EXPECT_NEAR(parameter(9), drive + 0.2f, 0.011f);  // 40 pixels up at 200 pixels for the range
    const Picture afterDrag = steadyPicture();
    EXPECT_NE(afterDrag.pixels, before.pixels);
    // Only the knob and its readout changed.
    const CRect changedArea(656, 264, 723, 342);
    for (int32_t y = 0; y < 421; ++y)
        for (int32_t x = 0; x < 899; ++x)
            if (!changedArea.containsInclusive(CPoint(x, y)) && afterDrag.at(x, y) != before.at(x, y))
                FAIL() << "pixel " << x << "," << y << " changed outside the knob";

    select(0, 1.0f);
    const Picture effects = steadyPicture();
    const float compressor = parameter(25);
    const CPoint sectionSwitch = centreOf(editor::kEffectsPage[2].rect);
    click(sectionSwitch.h, sectionSwitch.v);
    EXPECT_EQ(parameter(25), compressor == 0.0f ? 1.0f : 0.0f);
    EXPECT_NE(steadyPicture().pixels, effects.pixels);
}

TEST_F(PanelOnScreen, TheAmplifierMenuOpensAndAChoiceSetsTheAmplifier)
{
    select(0, 0.0f);
    steadyPicture();
    const CPoint menu = centreOf(editor::kAmpPage[0].rect);
    moveTo(menu.h, menu.v);
    desktop->button(1, true);
    desktop->button(1, false);
    ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().size() == 1; }));
    const ScreenRect list = desktop->popupMenus().back();
    EXPECT_EQ(list.left, originX + editor::kAmpPage[0].rect.left);  // opens below the menu
    EXPECT_EQ(list.top, originY + editor::kAmpPage[0].rect.bottom);

    gui::platform::PopupMenu items;
    for (int32_t i = 0; i < editor::kAmplifierEntryCount; ++i) {
        gui::platform::PopupItem item;
        item.label = editor::kAmplifierEntries[i];
        item.kind = item.label == "-" ? gui::platform::PopupItem::Kind::Separator : gui::platform::PopupItem::Kind::Item;
        item.id = i;
        item.checked = i == 1;
        items.push_back(item);
    }
    const ScreenRect tweedB = popupItemOnScreen(*desktop, 0, items, 10);
    desktop->moveTo(centreX(tweedB), centreY(tweedB));  // the menu holds the editor's thread: no idles now
    desktop->button(1, true);
    desktop->button(1, false);
    ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().empty(); }));
    EXPECT_TRUE(waitUntil([&] { return parameter(10) == static_cast<float>(10.0 / 19.0); }));
}

}  // namespace
