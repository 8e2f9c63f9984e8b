// The frame: idle drawing and the first paint, presenting only what changed, the modal
// view, focus and tab keys, cursors, sizes, and a window destroyed under it.

#include <gtest/gtest.h>

#include "gui/CFrame.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "tests/gui/GuiTestHelpers.h"
#include "tests/gui/RecordingView.h"

namespace {

using gui::platform::headless::HeadlessWindow;

struct EditorStub : CFrameEditor {
    void beginEdit(int32_t tag) override { edits += "begin" + std::to_string(tag) + " "; }
    void endEdit(int32_t tag) override { edits += "end" + std::to_string(tag) + " "; }
    void trackIdle() override { ++trackIdles; }
    bool sizeWindow(int32_t w, int32_t h) override
    {
        asked = CPoint(w, h);
        return hostResizes;
    }
    std::string edits;
    int trackIdles = 0;
    bool hostResizes = false;
    CPoint asked;
};

struct FrameTest : ::testing::Test {
    void SetUp() override
    {
        frame = new CFrame(CRect(0, 0, 100, 60), &parentToken, &editor);
        window = HeadlessWindow::latest();
        view = new RecordingView(CRect(10, 10, 30, 30), kRedCColor);
        frame->addView(view);
    }
    void TearDown() override { frame->release(); }  // with its children

    int parentToken = 0;
    EditorStub editor;
    CFrame* frame = nullptr;
    HeadlessWindow* window = nullptr;
    RecordingView* view = nullptr;
};

TEST_F(FrameTest, CreatesItsWindowInTheHostsAndRegistersForDrops)
{
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->parentWindow(), &parentToken);
    EXPECT_EQ(window->surface().width(), 100);
    EXPECT_TRUE(frame->isOpen());
    EXPECT_TRUE(frame->isDropActive());
    EXPECT_TRUE(window->dropTargetRegistered());
    EXPECT_EQ(frame->getEditor(), &editor);
    EXPECT_TRUE(frame->isKindOf("CFrame"));

    CFrame noWindow(CRect(0, 0, 10, 10), nullptr, nullptr);
    EXPECT_EQ(noWindow.getPlatformWindow(), nullptr);
    EXPECT_FALSE(noWindow.setDropActive(true));
    EXPECT_EQ(noWindow.getTicks(), 0u);  // no editor
    noWindow.idle();
}

TEST_F(FrameTest, IdleDrawsNothingBeforeTheFirstPaintThenOnlyWhatIsDirty)
{
    frame->idle();
    EXPECT_EQ(view->draws, 0);
    EXPECT_TRUE(window->presented().empty());
    EXPECT_EQ(window->eventPollCount(), 1);  // idle reads the window's events first

    window->paint(CRect(0, 0, 100, 60));
    EXPECT_EQ(view->draws, 1);
    EXPECT_EQ(window->surface().pixel(15, 15), 0xFF0000u);
    window->clearPresented();

    frame->idle();  // nothing dirty
    EXPECT_TRUE(window->presented().empty());
    view->colour = kBlueCColor;
    view->setDirty(true);
    frame->idle();
    EXPECT_EQ(window->surface().pixel(15, 15), 0x0000FFu);
    ASSERT_EQ(window->presented().size(), 1u);
    EXPECT_EQ(window->presented()[0], CRect(10, 10, 30, 30));  // the view, not the window
}

TEST_F(FrameTest, AWholeFrameMarkedDirtyIsRedrawnAtTheNextIdle)
{
    window->paint(CRect(0, 0, 100, 60));
    frame->setDirty(true);
    window->clearPresented();
    frame->idle();
    EXPECT_EQ(view->draws, 2);
    ASSERT_EQ(window->presented().size(), 1u);
    EXPECT_EQ(window->presented()[0], CRect(1, 1, 100, 60));  // the background fill leaves row and column 0
    frame->setUpdatesDisabled(true);
    frame->setDirty(true);
    frame->idle();
    EXPECT_EQ(view->draws, 2);
    EXPECT_TRUE(frame->setUpdatesDisabled(false));
}

TEST_F(FrameTest, ModalViewTakesEveryPressAndWheel)
{
    auto* modal = new RecordingView(CRect(50, 10, 90, 50), kBlueCColor);
    EXPECT_TRUE(frame->setModalView(modal));
    EXPECT_EQ(frame->getModalView(), modal);
    auto* second = new RecordingView(CRect(0, 0, 5, 5), kBlueCColor);
    EXPECT_FALSE(frame->setModalView(second));  // one at a time
    EXPECT_EQ(frame->getModalView(), modal);

    window->press(CPoint(15, 15), kLButton);  // outside the modal view: dropped
    EXPECT_TRUE(view->presses.empty());
    EXPECT_TRUE(modal->presses.empty());
    window->press(CPoint(60, 20), kLButton);
    EXPECT_EQ(modal->presses.size(), 1u);
    window->wheel(CPoint(15, 15), 1.0f);  // anywhere: the modal view
    EXPECT_EQ(modal->wheels.size(), 1u);
    EXPECT_TRUE(view->wheels.empty());
    EXPECT_EQ(frame->getCurrentView(), modal);

    EXPECT_TRUE(frame->setModalView(nullptr));  // removed, not destroyed
    EXPECT_EQ(modal->getNbReference(), 1);
    EXPECT_FALSE(frame->isChild(modal));
    window->press(CPoint(15, 15), kLButton);
    EXPECT_EQ(view->presses.size(), 1u);
    modal->release();
    second->release();
}

TEST_F(FrameTest, KeysGoToTheFocusViewThenTheModalViewAndTabMovesTheFocus)
{
    CKeyCode tab;
    tab.virt = kVKeyTab;
    EXPECT_EQ(frame->keyDown(tab), -1);
    EXPECT_EQ(frame->keyUp(tab), -1);

    view->setWantsFocus(true);
    view->answersKeys = true;
    EXPECT_EQ(frame->keyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), view);
    CKeyCode up;
    up.virt = kVKeyUp;
    EXPECT_EQ(frame->keyDown(up), 1);
    ASSERT_EQ(view->keys.size(), 1u);
    EXPECT_EQ(view->keys[0], kVKeyUp);
    // With a modal view set as well, the focus view still hears keys first; the modal view
    // gets those the focus view leaves.
    auto* modal = new RecordingView(CRect(50, 10, 90, 50), kBlueCColor);
    modal->answersKeys = true;
    ASSERT_TRUE(frame->setModalView(modal));
    EXPECT_EQ(frame->keyDown(up), 1);
    EXPECT_EQ(view->keys.size(), 2u);
    EXPECT_TRUE(modal->keys.empty());
    view->answersKeys = false;
    EXPECT_EQ(frame->keyDown(up), 1);
    EXPECT_EQ(view->keys.size(), 3u);
    EXPECT_EQ(modal->keys.size(), 1u);
    modal->answersKeys = false;
    modal->setWantsFocus(true);
    EXPECT_EQ(frame->keyDown(tab), -1);  // and no tab moves the focus while the modal view is set
    frame->setModalView(nullptr);
    modal->release();

    window->press(CPoint(1, 1), kLButton);  // a press clears the focus
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(view->focusLosses, 1);
}

TEST_F(FrameTest, CursorKindsAndTheDefault)
{
    frame->setCursor(kCursorCopy);  // first call, not a standard kind: the cursor stays
    EXPECT_EQ(window->cursor(), kCursorDefault);
    const int32_t kinds[] = {kCursorWait,    kCursorHSize,       kCursorVSize, kCursorSizeAll,
                             kCursorNESWSize, kCursorNWSESize, kCursorNotAllowed, kCursorHand};
    for (int32_t kind : kinds) {
        frame->setCursor(kind);
        EXPECT_EQ(window->cursor(), kind);
    }
    frame->setCursor(kCursorCopy);
    EXPECT_EQ(window->cursor(), kCursorDefault);
    frame->setCursor(kCursorHand);
    frame->setCursor(42);
    EXPECT_EQ(window->cursor(), kCursorDefault);
}

TEST_F(FrameTest, SizeGoesThroughTheHostFirst)
{
    EXPECT_FALSE(frame->setSize(100, 60));  // unchanged
    editor.hostResizes = true;
    EXPECT_TRUE(frame->setSize(200, 80));
    EXPECT_EQ(editor.asked, CPoint(200, 80));
    EXPECT_EQ(frame->getViewSize(), CRect(0, 0, 200, 80));
    EXPECT_EQ(window->surface().width(), 200);
    editor.hostResizes = false;  // by hand then
    EXPECT_TRUE(frame->setSize(150, 70));
    EXPECT_EQ(window->surface().height(), 70);
    int32_t x = 0, y = 0;
    EXPECT_TRUE(frame->getPosition(x, y));
    CRect parentRect;
    EXPECT_TRUE(frame->getSize(parentRect));
    EXPECT_FALSE(frame->setPosition(1, 2));
}

TEST_F(FrameTest, GesturesAndTrackingIdleGoToTheEditor)
{
    frame->beginEdit(7);
    frame->endEdit(7);
    frame->trackIdle();
    EXPECT_EQ(editor.edits, "begin7 end7 ");
    EXPECT_EQ(editor.trackIdles, 1);
    gui::platform::headless::setTicks(5000);
    EXPECT_EQ(frame->getTicks(), 5000u);
    CFrame::sleep(4);
    EXPECT_EQ(frame->getTicks(), 5004u);
    CFrame::setKnobModeForAll(2);
    EXPECT_EQ(frame->getKnobMode(), 2);
}

TEST_F(FrameTest, InvalidateAndDrawView)
{
    window->paint(CRect(0, 0, 100, 60));
    frame->invalidate(CRect(30, 30, 40, 40));  // touches the view's corner
    EXPECT_TRUE(view->isDirty());
    view->setDirty(false);
    frame->invalidate(CRect(31, 31, 40, 40));
    EXPECT_FALSE(view->isDirty());
    const int before = view->draws;
    frame->drawView(view);
    EXPECT_EQ(view->draws, before + 1);
}

TEST_F(FrameTest, AWindowDestroyedByTheSystemStopsTheDrawing)
{
    window->paint(CRect(0, 0, 100, 60));
    window->destroyBySystem();
    EXPECT_FALSE(frame->isOpen());
    EXPECT_EQ(frame->getSystemWindow(), nullptr);
    window->clearPresented();
    view->setDirty(true);
    frame->idle();
    EXPECT_TRUE(window->presented().empty());
    int32_t x, y;
    EXPECT_FALSE(frame->getPosition(x, y));
    EXPECT_FALSE(frame->setSize(10, 10));
}

TEST_F(FrameTest, PressesArrivingWhileAnotherIsFollowedAreDropped)
{
    view->onPress = [](RecordingView* self) {
        // A second press delivered by the window while the first is still being followed.
        auto* w = HeadlessWindow::latest();
        w->press(CPoint(15, 15), kLButton);
        (void)self;
    };
    window->press(CPoint(15, 15), kLButton);
    EXPECT_EQ(view->presses.size(), 1u);
}

}  // namespace
