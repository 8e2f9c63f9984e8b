// The window layer of this platform proven through a host: the test plug-in's editor shows
// the test scene in a window of the host library; screenshots, pointer input, keys,
// cursors, the pop-up menu and careless hosts are checked from another thread, the way a
// person would see and use the panel. Linux: on a private Xvfb; Windows: under Wine with
// the display that KORVALEX_DISPLAY_TESTS=1 announces.

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "host/EditorSession.h"
#include "host/PluginHost.h"
#include "tests/window/scene/TestScene.h"
#include "tests/window/support/WindowTests.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include "tests/support/ReferenceImage.h"
#endif

namespace {

using namespace windowtest;

// The scene as the toolkit draws it, with no window system.
Picture sceneAsDrawn()
{
    int token = 0;
    CFrame* frame = scene::create(&token, nullptr, nullptr);
    gui::platform::headless::HeadlessWindow* window = gui::platform::headless::HeadlessWindow::latest();
    CDrawContext* context = new CDrawContext(frame, nullptr, window);
    frame->draw(context);
    context->release();
    Picture picture;
    const gui::PixelSurface& s = window->surface();
    picture.width = s.width();
    picture.height = s.height();
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x)
            picture.pixels.push_back(s.pixel(x, y));
    frame->release();
    return picture;
}

void keepPicture(const std::string& name, const Picture& picture)
{
    std::string error;
    writePng(std::string(KORVALEX_TEST_OUTPUT_DIR) + "/" + name + ".png", picture, error);
}

class EditorWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { displayReady = startDisplay(displayProblem); }
    static void TearDownTestSuite() { stopDisplay(); }

    void SetUp() override
    {
#if defined(_WIN32)
        if (!displayReady)
            GTEST_SKIP() << displayProblem;
#else
        ASSERT_TRUE(displayReady) << displayProblem;
#endif
        std::string error;
        desktop = Desktop::connect(error);
        ASSERT_TRUE(desktop) << error;
        editor = std::make_unique<EditorThread>(KORVALEX_SCENE_PLUGIN, parentStyle);
        ASSERT_TRUE(editor->opened()) << editor->error();
        ASSERT_TRUE(waitUntil([&] { return desktop->isViewable(editor->window()); }));
        ASSERT_EQ(report.waitForLine("open"), "open");
        ASSERT_TRUE(desktop->clientOrigin(editor->window(), originX, originY));
    }

    void TearDown() override
    {
        if (editor)
            editor->end(Ending::CloseEditorFirst);
    }

    // Input at editor coordinates; each waits until the editor has idled since.
    void settle()
    {
        const uint64_t now = editor->idles();
        waitUntil([&] { return editor->idles() >= now + 2; });
    }
    void moveTo(int32_t x, int32_t y)
    {
        desktop->moveTo(originX + x, originY + y);
        settle();
    }
    void button(int32_t which, bool down)
    {
        desktop->button(which, down);
        settle();
    }
    void click(int32_t x, int32_t y, int32_t which = 1)
    {
        moveTo(x, y);
        button(which, true);
        button(which, false);
    }

    bool screenshotEquals(const Picture& expected, Picture& shot)
    {
        return waitUntil([&] {
            return desktop->capture(editor->window(), shot) && shot.width == expected.width &&
                   shot.height == expected.height && shot.pixels == expected.pixels;
        });
    }

    // Opens the scene's menu with a click on its button; the menu's top-left corner.
    ScreenRect openMenu(size_t& reportFrom)
    {
        reportFrom = report.lines().size();
        moveTo((scene::kMenuLeft + scene::kMenuRight) / 2, (scene::kMenuTop + scene::kMenuBottom) / 2);
        desktop->button(1, true);
        desktop->button(1, false);
        EXPECT_TRUE(waitUntil([&] { return desktop->popupMenus().size() == 1; }));
        const std::vector<ScreenRect> menus = desktop->popupMenus();
        return menus.empty() ? ScreenRect{} : menus.back();
    }

    static bool displayReady;
    static std::string displayProblem;
    EditorSession::Parent parentStyle = EditorSession::Parent::Sized;
    SceneReport report;
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<EditorThread> editor;
    int32_t originX = 0, originY = 0;
};

bool EditorWindowTest::displayReady = false;
std::string EditorWindowTest::displayProblem;

TEST_F(EditorWindowTest, ScreenshotEqualsTheToolkitsOwnSurface)
{
    const Picture expected = sceneAsDrawn();
    Picture shot;
    const bool equal = screenshotEquals(expected, shot);
    keepPicture("editor-window-screenshot", shot);
    if (!equal)
        keepPicture("editor-window-expected", expected);
    EXPECT_TRUE(equal) << "the window shows other pixels than the toolkit drew (see test-output/)";
    EXPECT_EQ(shot.width, scene::kWidth);
    EXPECT_EQ(shot.height, scene::kHeight);
}

// A host that opens the editor in a 1 x 1 unmapped window and then shows it a few pixels
// larger than asked: the editor keeps its own size and shows all of itself.
class LateParentTest : public EditorWindowTest {
protected:
    LateParentTest() { parentStyle = EditorSession::Parent::SizedLater; }
};

TEST_F(LateParentTest, TheEditorKeepsItsSizeInAParentSizedAfterTheOpenRequest)
{
    const Picture expected = sceneAsDrawn();
    Picture shot;
    const bool equal = waitUntil([&] {
        if (!desktop->capture(editor->window(), shot) || shot.width != expected.width + EditorSession::kLaterMargin ||
            shot.height != expected.height + EditorSession::kLaterMargin)
            return false;
        for (int32_t y = 0; y < expected.height; ++y)
            for (int32_t x = 0; x < expected.width; ++x)
                if (shot.at(x, y) != expected.at(x, y))
                    return false;
        return true;
    });
    EXPECT_TRUE(equal) << "the editor in the late-sized parent shows other pixels than the toolkit drew";
    click(scene::kPadLeft + 3, scene::kPadTop + 4);
    EXPECT_EQ(report.waitForLine("press"), "press 3 4 1");
}

TEST_F(EditorWindowTest, PressesReachTheViewUnderThemInItsOwnCoordinates)
{
    click(scene::kPadLeft + 20, scene::kPadTop + 30);
    EXPECT_EQ(report.waitForLine("press"), "press 20 30 1");
    EXPECT_EQ(report.waitForLine("release"), "release 20 30");

    size_t seen = report.lines().size();
    click(scene::kPadLeft + 5, scene::kPadTop + 7, 3);
    EXPECT_EQ(report.waitForLine("press", seen), "press 5 7 4");

    // Outside the pad (the container's background) nothing is pressed, and the pad is
    // not pressed late either: a second press inside comes first.
    seen = report.lines().size();
    click(scene::kPadRight + 5, scene::kPadBottom - 5);
    click(scene::kPadLeft + 1, scene::kPadTop + 2);
    EXPECT_EQ(report.waitForLine("press", seen), "press 1 2 1");
}

TEST_F(EditorWindowTest, ATrackingLoopSeesThePointerMoveWhileTheButtonIsHeld)
{
    moveTo(scene::kPadLeft + 10, scene::kPadTop + 10);
    desktop->button(1, true);
    ASSERT_EQ(report.waitForLine("press"), "press 10 10 1");
    // The loop idles the host while it follows the mouse: each move is seen there.
    for (int32_t step = 1; step <= 4; ++step) {
        const size_t seen = report.lines().size();
        desktop->moveTo(originX + scene::kPadLeft + 10 + 15 * step, originY + scene::kPadTop + 10 + 5 * step);
        EXPECT_EQ(report.waitForLine("move", seen), "move " + std::to_string(10 + 15 * step) + " " +
                                                        std::to_string(10 + 5 * step));
    }
    desktop->button(1, false);
    EXPECT_EQ(report.waitForLine("release"), "release 70 30");
}

TEST_F(EditorWindowTest, WheelNotchesArriveOneByOneAsPlusOrMinusOne)
{
    moveTo(scene::kPadLeft + 40, scene::kPadTop + 50);
    desktop->wheel(1);
    EXPECT_EQ(report.waitForLine("wheel"), "wheel 1 at 40 50");
    const size_t seen = report.lines().size();
    desktop->wheel(-2);
    ASSERT_TRUE(waitUntil([&] { return report.lines().size() >= seen + 2; }));
    const std::vector<std::string> lines = report.lines();
    EXPECT_EQ(lines[seen], "wheel -1 at 40 50");
    EXPECT_EQ(lines[seen + 1], "wheel -1 at 40 50");
}

#if !defined(_WIN32)
// Linux hosts deliver keys as events of the plug-in's window (Windows hosts through the
// editor's key requests).
TEST_F(EditorWindowTest, KeysReachTheFocusedViewAsHostKeyRecords)
{
    click(scene::kPadLeft + 10, scene::kPadTop + 10);  // the pad takes the focus
    ASSERT_NE(report.waitForLine("release"), "");
    const size_t seen = report.lines().size();
    desktop->key(true, 'a');
    desktop->key(false, 'a');
    desktop->key(true, 0xff1b);  // Escape
    desktop->key(false, 0xff1b);
    ASSERT_TRUE(waitUntil([&] { return report.lines().size() >= seen + 4; }));
    const std::vector<std::string> lines = report.lines();
    EXPECT_EQ(lines[seen], "key down 97 0 0");
    EXPECT_EQ(lines[seen + 1], "key up 97 0 0");
    EXPECT_EQ(lines[seen + 2], "key down 0 6 0");
}
#endif

TEST_F(EditorWindowTest, EveryCursorKindCanBeSetFromAParameterChangeOnAnotherThread)
{
    moveTo(scene::kPadLeft + 30, scene::kPadTop + 30);
    const uint64_t standard = cursorSignature();
    std::set<uint64_t> looks{standard};
    for (int32_t kind : {1, 2, 3, 4, 5, 6, 8, 9}) {
        editor->setParameterHere(0, static_cast<float>(kind) / 10.0f);  // this thread is not the editor's
        ASSERT_NE(report.waitForLine("cursor " + std::to_string(kind)), "");
        uint64_t look = 0;
        EXPECT_TRUE(waitUntil([&] {
            look = cursorSignature();
            return looks.count(look) == 0;
        })) << "cursor kind " << kind << " looks like another kind";
        looks.insert(look);
    }
    editor->setParameterHere(0, 0.0f);
    ASSERT_NE(report.waitForLine("cursor 0"), "");
    EXPECT_TRUE(waitUntil([&] { return cursorSignature() == standard; }));
}

TEST_F(EditorWindowTest, PopupMenuOpensBelowItsButtonAndAClickChoosesInASubMenu)
{
    size_t from = 0;
    const ScreenRect menu = openMenu(from);
    // Where an option menu opens its list: the left edge and the bottom of the control.
    EXPECT_EQ(report.waitForLine("menu-open", from), "menu-open " + std::to_string(originX + scene::kMenuLeft) + " " +
                                                         std::to_string(originY + scene::kMenuBottom));
    EXPECT_EQ(menu.left, originX + scene::kMenuLeft);
    EXPECT_EQ(menu.top, originY + scene::kMenuBottom);

    const gui::platform::PopupMenu items = scene::menu();
    const ScreenRect more = popupItemOnScreen(*desktop, 0, items, 5);
    desktop->moveTo(centreX(more), centreY(more));
    ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().size() == 2; })) << "the sub-menu did not open";
    const ScreenRect plexi = popupItemOnScreen(*desktop, 1, items[5].children, 1);
    desktop->moveTo(centreX(plexi), centreY(plexi));
    // A picture for people once the sub-menu shows its items (more than one colour there).
    Picture screen;
    waitUntil(
        [&] {
            if (!desktop->captureScreen(screen))
                return false;
            const uint32_t first = screen.at(plexi.left, plexi.top);
            for (int32_t y = plexi.top; y < plexi.bottom; ++y)
                for (int32_t x = plexi.left; x < plexi.right; ++x)
                    if (screen.at(x, y) != first)
                        return true;
            return false;
        },
        std::chrono::seconds(5));
    keepPicture("editor-window-popup-menu", screen);
    desktop->button(1, true);
    desktop->button(1, false);
    EXPECT_EQ(report.waitForLine("menu ", from), "menu " + std::to_string(scene::kPlexiId));
    EXPECT_TRUE(waitUntil([&] { return desktop->popupMenus().empty(); }));
}

TEST_F(EditorWindowTest, APressOnTheFirstOrLastRowOfAnItemChoosesItAndBelowTheLastNothing)
{
    // A press and release on a row of the open menu counted from an item's top or bottom
    // edge (exclusive), then Escape (seen after the press): what the menu answered.
    const gui::platform::PopupMenu items = scene::menu();
    auto chosenAt = [&](size_t index, bool fromBottom, int32_t offset) {
        size_t from = 0;
        openMenu(from);
        const ScreenRect r = popupItemOnScreen(*desktop, 0, items, index);
        desktop->moveTo(centreX(r), (fromBottom ? r.bottom : r.top) + offset);
        desktop->button(1, true);
        desktop->button(1, false);
        desktop->key(true, 0xff1b);
        desktop->key(false, 0xff1b);
        const std::string line = report.waitForLine("menu ", from);
        EXPECT_TRUE(waitUntil([&] { return desktop->popupMenus().empty(); }));
        return line;
    };
    for (size_t index : {0u, 1u, 6u, 7u}) {  // the items that can be chosen, in both columns
        const std::string chosen = "menu " + std::to_string(items[index].id);
        EXPECT_EQ(chosenAt(index, false, 0), chosen) << items[index].label << ", first row";
        EXPECT_EQ(chosenAt(index, true, -1), chosen) << items[index].label << ", last row";
    }
    for (size_t last : {5u, 7u})  // the last item of each column
        EXPECT_EQ(chosenAt(last, true, 0), "menu -1") << "just below " << items[last].label;
}

// (Escape closing the menu with no choice is part of the test above.)
TEST_F(EditorWindowTest, AClickOutsideTheMenuChoosesNothing)
{
    size_t from = 0;
    openMenu(from);
    desktop->moveTo(originX + 5, originY + scene::kHeight - 5);
    desktop->button(1, true);
    desktop->button(1, false);
    EXPECT_EQ(report.waitForLine("menu ", from), "menu -1");
}

TEST_F(EditorWindowTest, ThePopupMenuFollowsTheHeldButtonAndTheKeys)
{
    // Pressed on the button, dragged to an item, released there: chosen.
    size_t from = report.lines().size();
    moveTo((scene::kMenuLeft + scene::kMenuRight) / 2, (scene::kMenuTop + scene::kMenuBottom) / 2);
    desktop->button(1, true);
    ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().size() == 1; }));
    const gui::platform::PopupMenu items = scene::menu();
    const ScreenRect crunch = popupItemOnScreen(*desktop, 0, items, 1);
    desktop->moveTo(centreX(crunch) - 5, centreY(crunch));
    desktop->moveTo(centreX(crunch), centreY(crunch));
    desktop->button(1, false);
    EXPECT_EQ(report.waitForLine("menu ", from), "menu 1");
    ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().empty(); }));

    // Down to the first item, down to the next, Return.
    openMenu(from);
    for (uint32_t key : {0xff54u, 0xff54u, 0xff0du}) {
        desktop->key(true, key);
        desktop->key(false, key);
    }
    EXPECT_EQ(report.waitForLine("menu ", from), "menu 1");
}

TEST_F(EditorWindowTest, TwoEditorsAtOnceAndOneClosedLeavesTheOtherWorking)
{
    EditorThread second(KORVALEX_SCENE_PLUGIN, EditorSession::Parent::Sized);
    ASSERT_TRUE(second.opened()) << second.error();
    ASSERT_TRUE(waitUntil([&] { return desktop->isViewable(second.window()); }));
    editor->end(Ending::CloseEditorFirst);  // the window class (or connection) of the first goes
    ASSERT_TRUE(desktop->clientOrigin(second.window(), originX, originY));
    const size_t seen = report.lines().size();
    desktop->moveTo(originX + scene::kPadLeft + 8, originY + scene::kPadTop + 9);
    desktop->button(1, true);
    desktop->button(1, false);
    EXPECT_EQ(report.waitForLine("press", seen), "press 8 9 1");
    const Picture expected = sceneAsDrawn();
    Picture shot;
    EXPECT_TRUE(waitUntil([&] { return desktop->capture(second.window(), shot) && shot.pixels == expected.pixels; }));
}

TEST_F(EditorWindowTest, AnEditorThatChangesItsSizeTakesTheHostsWindowAlong)
{
    // This host does not resize for the editor: the window layer resizes the host's
    // window by as much as its own.
    editor->setParameterHere(1, 1.0f);
    EXPECT_EQ(report.waitForLine("size"), "size 460 300");
    Picture shot;
    EXPECT_TRUE(waitUntil([&] { return desktop->capture(editor->window(), shot) && shot.width == 460 && shot.height == 300; }))
        << "the host's window is " << shot.width << " x " << shot.height;
    const size_t seen = report.lines().size();
    editor->setParameterHere(1, 0.0f);
    EXPECT_EQ(report.waitForLine("size", seen), "size 420 280");
    EXPECT_TRUE(waitUntil([&] { return desktop->capture(editor->window(), shot) && shot.width == 420 && shot.height == 280; }));
}

TEST_F(EditorWindowTest, AHostThatDestroysItsWindowFirstLeavesTheEditorQuietlyClosed)
{
    editor->run([](PluginHost&, EditorSession& session) { session.destroyWindowFirst(); });
    EXPECT_NE(report.waitForLine("window gone"), "") << "the frame did not notice its window went";
    editor->end(Ending::CloseEditorFirst);
    EXPECT_TRUE(report.has("closed"));
}

#if defined(_WIN32)
BOOL CALLBACK firstChild(HWND child, LPARAM found)
{
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

TEST_F(EditorWindowTest, TheFramesWindowIsAChildOfTheClassNamedAfterTheModule)
{
    HWND child = nullptr;
    EnumChildWindows(reinterpret_cast<HWND>(editor->window()), firstChild, reinterpret_cast<LPARAM>(&child));
    ASSERT_NE(child, nullptr);
    char name[64] = {}, expected[64] = {};
    GetClassNameA(child, name, sizeof name);
    std::snprintf(expected, sizeof expected, "Plugin%p", static_cast<void*>(GetModuleHandleA("korvalex_test_scene.dll")));
    EXPECT_STREQ(name, expected);
    EXPECT_TRUE(GetWindowLongA(child, GWL_STYLE) & WS_CHILD);
    RECT r{};
    GetClientRect(child, &r);
    EXPECT_EQ(r.right, scene::kWidth);
    EXPECT_EQ(r.bottom, scene::kHeight);
}
#endif

// The host's idle loop on a clock the test moves: each idle takes 7 ms, and the 49th 65 ms,
// so that the last two due are late. The deadlines stay on the grid of the rate, the late
// idles follow at once, and exactly the idles due within the time run.
TEST_F(EditorWindowTest, TheHostIdlesOnAFixedScheduleWhateverEachIdleTakes)
{
    using namespace std::chrono;
    struct TestClock : EditorSession::Clock {
        TimePoint time;
        std::vector<int64_t> deadlines;  // microseconds from the start
        TimePoint now() override { return time; }
        void sleepUntil(TimePoint when) override
        {
            deadlines.push_back(duration_cast<microseconds>(when - TimePoint()).count());
            time = std::max(time, when);
        }
    } clock;
    uint64_t idles = 0;
    editor->run([&](PluginHost&, EditorSession& session) {
        const uint64_t before = session.idleCount();
        session.run(1.0, 50.0, [&] {
            clock.time += milliseconds(session.idleCount() - before == 49 ? 65 : 7);
            return true;
        }, clock);
        idles = session.idleCount() - before;
    });
    EXPECT_EQ(idles, 51u);
    ASSERT_EQ(clock.deadlines.size(), 50u);
    for (size_t k = 0; k < clock.deadlines.size(); ++k)
        EXPECT_EQ(clock.deadlines[k], 20000 * static_cast<int64_t>(k + 1)) << "deadline " << k;
}

TEST_F(EditorWindowTest, ClosingThePluginWithItsEditorOpenClosesTheEditor)
{
    editor->end(Ending::ClosePluginOnly);
    EXPECT_TRUE(report.has("editor closed with the plug-in"));
}

#if !defined(_WIN32)
// korvalex-host --editor, as a person runs it from a shell: the scene's editor shown, a
// scripted click and a screenshot of exactly what the toolkit drew.
TEST(KorvalexHostEditor, ShowsAnEditorClicksInItAndSavesAScreenshot)
{
    std::string why;
    ASSERT_TRUE(startDisplay(why)) << why;
    SceneReport report;
    const std::string shot = testimage::outputDir() + "/korvalex-host-editor.png";
    std::remove(shot.c_str());
    const std::string command = std::string("'") + KORVALEX_HOST_PATH + "' --editor --time 0 --click " +
                                std::to_string(scene::kPadLeft + 20) + "," + std::to_string(scene::kPadTop + 30) +
                                " --screenshot '" + shot + "' '" + KORVALEX_SCENE_PLUGIN + "' >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(report.has("press 20 30 1"));
    EXPECT_TRUE(report.has("closed"));  // the editor was closed (before the plug-in)
    // Without input, exactly the idles due at the rate asked: 0.5 s at 40 a second.
    const size_t seen = report.lines().size();
    const std::string idling = std::string("'") + KORVALEX_HOST_PATH + "' --editor --time 0.5 --rate 40 '" +
                               KORVALEX_SCENE_PLUGIN + "' >/dev/null";
    EXPECT_EQ(std::system(idling.c_str()), 0);
    EXPECT_EQ(report.waitForLine("idles", seen), "idles 21");
    stopDisplay();
    testimage::Image image;
    ASSERT_TRUE(testimage::readPng(shot, image));
    const Picture expected = sceneAsDrawn();
    EXPECT_EQ(image.width, expected.width);
    EXPECT_EQ(image.height, expected.height);
    EXPECT_TRUE(image.pixels == expected.pixels) << "the screenshot differs from the toolkit's drawing";
}

TEST(KorvalexHostEditor, RefusesMalformedInputOptions)
{
    const std::string host = std::string("'") + KORVALEX_HOST_PATH + "'";
    EXPECT_NE(std::system((host + " --editor --click 12 '" + KORVALEX_SCENE_PLUGIN + "' 2>/dev/null").c_str()), 0);
    EXPECT_NE(std::system((host + " --editor --rate 0 '" + KORVALEX_SCENE_PLUGIN + "' 2>/dev/null").c_str()), 0);
}
#endif

}  // namespace
