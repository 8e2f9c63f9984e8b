// The front panel on screen, as a person sees and uses it: the plug-in file's editor opened
// by the host library on a private Xvfb, both pages at two programs against committed
// pictures, and a drag, a click and a menu choice through the X server's own input; both
// pages at 150 % and 200 %, the zoom menu, and the desktop's scale.

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <filesystem>

#include "editor/EditorLayout.h"
#include "gui/Scale.h"
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
        // The panel's settings (its zoom) in a folder of this test's own, empty at first.
        const std::filesystem::path settings = std::filesystem::path(::testing::TempDir()) / "korvalex-panel-settings" /
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::filesystem::remove_all(settings);
        setenv("XDG_CONFIG_HOME", settings.c_str(), 1);
        std::string error;
        desktop = Desktop::connect(error);
        ASSERT_TRUE(desktop) << error;
        openEditor(0.0f);
    }
    // Opens the editor anew; with a content scale, the host says the display's scale first.
    void openEditor(float contentScale)
    {
        if (editor)
            editor->end(Ending::CloseEditorFirst);
        editor = std::make_unique<EditorThread>(KORVALEX_PLUGIN_PATH, EditorSession::Parent::Sized, contentScale);
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

namespace {

// The centre of a control's rectangle on the window at a scale.
CPoint centreAt(const CRect& logical, int32_t percent) { return centreOf(gui::Scale(percent).toDevice(logical)); }

TEST_F(PanelOnScreen, BothPagesAtOneAndAHalfAndTwiceTheSizeLookAsCommittedAndKnobsDragAsFar)
{
    for (int32_t zoom : {150, 200}) {
        openEditor(float(zoom) / 100.0f);
        for (int page = 0; page < 2; ++page) {
            select(58, float(page));
            const Picture shot = steadyPicture();
            ASSERT_EQ(shot.width, gui::Scale(zoom).toDeviceX(899));
            ASSERT_EQ(shot.height, gui::Scale(zoom).toDeviceY(421));
            const std::string name =
                "panel-program58-" + std::string(page ? "effects" : "amp") + "-page-" + std::to_string(zoom);
            EXPECT_TRUE(testimage::matchesReference(imageOf(shot), KORVALEX_PANEL_REFERENCE_DIR, name));
        }
    }
    // At 200 %, 80 of the window's pixels up are the 40 logical ones that add 0.2.
    select(0, 0.0f);
    steadyPicture();
    const float drive = parameter(9);
    const CPoint knob = centreAt(editor::kAmpPage[13].rect, 200);
    moveTo(knob.h, knob.v);
    desktop->button(1, true);
    for (int32_t step = 1; step <= 8; ++step)
        moveTo(knob.h, knob.v - 10 * step);
    desktop->button(1, false);
    settle();
    EXPECT_NEAR(parameter(9), drive + 0.2f, 0.011f);
}

// A right-click on the logo, 150 % chosen in the menu: the host's window takes the new
// size, the panel is drawn at it, and the next panel opens at it.
TEST_F(PanelOnScreen, TheZoomMenuResizesThePanelAndTheNextPanelOpensAtTheChoice)
{
    select(58, 0.0f);
    steadyPicture();
    const CPoint logo = centreOf(editor::kAmpLogoArea);
    moveTo(logo.h, logo.v);
    desktop->button(3, true);  // the menu holds the editor's thread: no idles until it closes
    desktop->button(3, false);
    ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().size() == 1; }));
    EXPECT_EQ(desktop->popupMenus().back().left, originX + logo.h);  // at the pointer

    const ScreenRect choice = popupItemOnScreen(*desktop, 0, zoomMenuItems(), 2);
    desktop->moveTo(centreX(choice), centreY(choice));
    desktop->button(1, true);
    desktop->button(1, false);
    ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().empty(); }));

    Picture shot;
    ASSERT_TRUE(waitUntil([&] { return desktop->capture(editor->window(), shot) && shot.width == 1348; }));
    EXPECT_EQ(shot.height, 631);
    EXPECT_TRUE(testimage::matchesReference(imageOf(steadyPicture()), KORVALEX_PANEL_REFERENCE_DIR,
                                            "panel-program58-amp-page-150"));
    openEditor(0.0f);
    EXPECT_EQ(steadyPicture().width, 1348);
}

// The desktop's Xft.dpi (as xrdb loads it into the server) sizes a panel when neither the
// user nor the host said anything.
TEST_F(PanelOnScreen, TheDesktopsDpiSizesThePanel)
{
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const char resources[] = "Xcursor.size:\t24\nXft.dpi:\t192\n";
    XChangeProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources), int(sizeof resources - 1));
    XSync(display, False);
    openEditor(0.0f);
    EXPECT_EQ(steadyPicture().width, 1798);
    XDeleteProperty(display, DefaultRootWindow(display), XA_RESOURCE_MANAGER);
    XCloseDisplay(display);
    openEditor(0.0f);
    EXPECT_EQ(steadyPicture().width, 899);
}

}  // namespace
