// Views and containers: drawing order and back buffers, the dirty model and partial
// redraws, hit tests and event dispatch, reference counting, coordinates and queries.

#include <gtest/gtest.h>

#include "gui/CFrame.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "tests/gui/GuiTestHelpers.h"
#include "tests/gui/RecordingView.h"

namespace {

using gui::platform::headless::HeadlessWindow;

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00;

struct Panel : ::testing::Test {
    void SetUp() override
    {
        frame = new CFrame(CRect(0, 0, 120, 80), &parentToken, nullptr);
        window = HeadlessWindow::latest();
        page = new CViewContainer(CRect(10, 10, 110, 70), frame);
        page->setBackgroundColor(kGreenCColor);
        frame->addView(page);  // a container drops the creator's reference of its children when it goes
    }
    void TearDown() override { frame->release(); }
    const gui::PixelSurface& screen() { return window->surface(); }
    void paintAll() { window->paint(CRect(0, 0, 120, 80)); }

    int parentToken = 0;
    CFrame* frame = nullptr;
    HeadlessWindow* window = nullptr;
    CViewContainer* page = nullptr;
};

TEST_F(Panel, LaterChildLiesOnTopAndTakesTheSharedEdge)
{
    auto* under = new RecordingView(CRect(10, 10, 50, 40), kRedCColor);
    auto* over = new RecordingView(CRect(30, 20, 70, 50), kBlueCColor);
    page->addView(under);
    page->addView(over);
    paintAll();
    EXPECT_EQ(screen().pixel(10 + 40, 10 + 30), kBlue);  // overlap shows the later child
    EXPECT_EQ(screen().pixel(10 + 15, 10 + 15), kRed);
    EXPECT_EQ(screen().pixel(10 + 1, 10 + 2), kGreen);
    EXPECT_EQ(screen().pixel(10, 10), 0u);  // the container's fill leaves its first row and column

    window->press(CPoint(10 + 40, 10 + 30), kLButton);
    ASSERT_EQ(over->presses.size(), 1u);
    EXPECT_EQ(over->presses[0], CPoint(40, 30));  // in the page's coordinates
    EXPECT_TRUE(under->presses.empty());

    auto* left = new RecordingView(CRect(0, 50, 20, 60), kRedCColor);
    auto* right = new RecordingView(CRect(20, 50, 40, 60), kRedCColor);
    page->addView(left);
    page->addView(right);
    window->press(CPoint(10 + 20, 10 + 55), kLButton);  // the shared edge column
    EXPECT_EQ(right->presses.size(), 1u);
    EXPECT_TRUE(left->presses.empty());
}

TEST_F(Panel, RemovingWithoutReleaseHandsTheViewBack)
{
    auto* view = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    page->addView(view);
    EXPECT_EQ(view->getNbReference(), 2);
    EXPECT_EQ(view->getFrame(), frame);
    EXPECT_EQ(view->getParentView(), page);
    page->removeView(view, false);
    EXPECT_EQ(view->getNbReference(), 1);
    EXPECT_EQ(view->getFrame(), nullptr);
    EXPECT_EQ(view->getParentView(), nullptr);
    EXPECT_FALSE(page->isChild(view));
    view->setDirty(false);
    page->addView(view);
    EXPECT_TRUE(view->isDirty());  // it comes back to be drawn
    EXPECT_EQ(page->getNbViews(), 1);
    page->removeView(view, true);  // the creator's reference goes too: destroyed
    EXPECT_EQ(page->getNbViews(), 0);
    page->removeView(page, true);  // not a child: ignored
}

TEST_F(Panel, AViewTakenOutDuringItsOwnPressLivesUntilThePressEnds)
{
    auto* view = new RecordingView(CRect(0, 0, 30, 30), kRedCColor);
    page->addView(view);
    view->release();  // the creator lets go: only the page holds it
    view->onPress = [](RecordingView* self) {
        static_cast<CViewContainer*>(self->getParentView())->removeView(self, false);
        // Still alive here: the dispatch holds it; touching it must be safe.
        self->setDirty(true);
    };
    window->press(CPoint(15, 15), kLButton);
    EXPECT_EQ(page->getNbViews(), 0);  // and destroyed afterwards (the sanitizers check the rest)
}

TEST_F(Panel, PartlyDrawnChildrenStayDirtyAndOutsideChildrenWaitInOnlyDirtyMode)
{
    auto* inside = new RecordingView(CRect(20, 20, 40, 40), kRedCColor);
    auto* outside = new RecordingView(CRect(200, 200, 220, 220), kBlueCColor);
    page->addView(inside);
    page->addView(outside);
    paintAll();
    frame->setDirty(false);
    outside->setDirty(true);
    inside->setDirty(true);
    EXPECT_TRUE(page->isDirty());
    page->setDirty(false);
    frame->idle();
    EXPECT_FALSE(inside->isDirty());
    EXPECT_TRUE(outside->isDirty());  // wholly outside: not drawn, left dirty

    // An expose of part of a dirty child draws that part and keeps the child dirty.
    inside->setDirty(true);
    window->paint(CRect(10 + 20, 10 + 20, 10 + 30, 10 + 30));
    EXPECT_TRUE(inside->isDirty());
    window->paint(CRect(0, 0, 120, 80));
    EXPECT_FALSE(inside->isDirty());
}

TEST_F(Panel, ContainerWithItsOwnFlagRedrawsCompletely)
{
    auto* a = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    auto* b = new RecordingView(CRect(50, 0, 60, 10), kBlueCColor);
    page->addView(a);
    page->addView(b);
    paintAll();
    const int drawsA = a->draws, drawsB = b->draws;
    a->setDirty(false);
    b->setDirty(false);
    page->setDirty(true);
    frame->idle();
    EXPECT_EQ(a->draws, drawsA + 1);
    EXPECT_EQ(b->draws, drawsB + 1);
    a->setDirty(true);  // only a: b is not drawn again
    frame->idle();
    EXPECT_EQ(a->draws, drawsA + 2);
    EXPECT_EQ(b->draws, drawsB + 1);
}

TEST_F(Panel, QueriesAnswerNullBeyondTheTree)
{
    auto* view = new RecordingView(CRect(5, 5, 15, 15), kRedCColor);
    page->addView(view);
    EXPECT_EQ(page->getView(0), view);
    EXPECT_EQ(page->getView(1), nullptr);
    EXPECT_EQ(page->getView(-1), nullptr);
    EXPECT_EQ(frame->getViewAt(CPoint(10 + 5, 10 + 5), false), page);
    EXPECT_EQ(frame->getViewAt(CPoint(10 + 5, 10 + 5), true), view);
    EXPECT_EQ(frame->getViewAt(CPoint(10 + 4, 10 + 4), true), nullptr);

    CViewContainer loose(CRect(0, 0, 50, 50), nullptr);
    auto* child = new RecordingView(CRect(0, 0, 50, 50), kRedCColor);
    loose.addView(child);
    EXPECT_EQ(loose.getViewAt(CPoint(1, 1)), nullptr);  // not in a frame
    EXPECT_EQ(loose.getCurrentView(), nullptr);
}

TEST_F(Panel, KindsAndContainerIdentity)
{
    EXPECT_TRUE(frame->isKindOf("CFrame"));
    EXPECT_TRUE(frame->isKindOf("CViewContainer"));
    EXPECT_TRUE(frame->isKindOf("CView"));
    EXPECT_TRUE(page->isKindOf("CViewContainer"));
    EXPECT_FALSE(page->isKindOf("CFrame"));
    RecordingView view(CRect(0, 0, 1, 1), kRedCColor);
    EXPECT_FALSE(view.isKindOf("CViewContainer"));
    EXPECT_EQ(page->notify(nullptr, kMsgCheckIfViewContainer), 1);
    const std::string sameText = kMsgCheckIfViewContainer;
    EXPECT_EQ(page->notify(nullptr, sameText.c_str()), 0);  // compared by identity, not text
    EXPECT_EQ(view.notify(nullptr, kMsgCheckIfViewContainer), 0);
}

TEST_F(Panel, CoordinatesConvertThroughNestedContainers)
{
    auto* inner = new CViewContainer(CRect(20, 5, 80, 45), frame);
    page->addView(inner);
    auto* view = new RecordingView(CRect(3, 4, 13, 14), kRedCColor);
    inner->addView(view);
    CPoint p(50, 40);
    inner->frameToLocal(p);
    EXPECT_EQ(p, CPoint(50 - 10 - 20, 40 - 10 - 5));
    inner->localToFrame(p);
    EXPECT_EQ(p, CPoint(50, 40));

    // A press reaches the view in its parent's coordinates; it polls the pointer there too.
    window->press(CPoint(10 + 20 + 5, 10 + 5 + 6), kLButton, {{CPoint(10 + 20 + 7, 10 + 5 + 9), kLButton}});
    ASSERT_EQ(view->presses.size(), 1u);
    EXPECT_EQ(view->presses[0], CPoint(5, 6));
    EXPECT_EQ(view->polled, CPoint(7, 9));
    EXPECT_EQ(view->lastButtons, kLButton);

    window->setPointer(CPoint(10 + 20 + 4, 10 + 5 + 5), 0);
    EXPECT_EQ(inner->getCurrentView(), view);
    window->setPointer(CPoint(2, 2), 0);
    EXPECT_EQ(inner->getCurrentView(), nullptr);
}

TEST_F(Panel, KeysGoToTheTopmostChildThatAnswers)
{
    auto* a = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    auto* b = new RecordingView(CRect(0, 0, 10, 10), kRedCColor);
    page->addView(a);
    page->addView(b);
    a->answersKeys = true;
    CKeyCode key;
    key.virt = kVKeyUp;
    EXPECT_EQ(page->keyDown(key), 1);
    EXPECT_EQ(b->keys.size(), 1u);  // asked first, did not answer
    EXPECT_EQ(a->keys.size(), 1u);
    a->answersKeys = false;
    EXPECT_EQ(page->keyDown(key), -1);
    EXPECT_EQ(page->keyUp(key), -1);
}

TEST_F(Panel, WheelReachesTheViewUnderThePointerInItsCoordinates)
{
    auto* view = new RecordingView(CRect(40, 20, 60, 40), kRedCColor);
    page->addView(view);
    window->wheel(CPoint(10 + 45, 10 + 25), -2.0f);
    ASSERT_EQ(view->wheels.size(), 1u);
    EXPECT_EQ(view->wheels[0], -2.0f);
    EXPECT_EQ(view->wheelAt, CPoint(45, 25));
    window->wheel(CPoint(2, 2), 1.0f);  // over nothing
    EXPECT_EQ(view->wheels.size(), 1u);
}

TEST_F(Panel, FocusAdvancesThroughContainersAndWraps)
{
    auto* a = new RecordingView(CRect(0, 0, 5, 5), kRedCColor);
    auto* skip = new RecordingView(CRect(5, 0, 10, 5), kRedCColor);
    auto* inner = new CViewContainer(CRect(20, 0, 40, 20), frame);
    auto* b = new RecordingView(CRect(0, 0, 5, 5), kRedCColor);
    a->setWantsFocus(true);
    b->setWantsFocus(true);
    page->addView(a);
    page->addView(skip);
    page->addView(inner);
    inner->addView(b);

    CKeyCode tab;
    tab.virt = kVKeyTab;
    EXPECT_EQ(frame->keyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), a);
    EXPECT_EQ(frame->keyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), b);  // found inside the nested container
    EXPECT_EQ(frame->keyDown(tab), -1);   // nothing after b
    tab.modifier = kKeyModShift;
    frame->setFocusView(b);
    EXPECT_EQ(frame->keyDown(tab), 1);
    EXPECT_EQ(frame->getFocusView(), a);  // backwards

    // A focused view taken out of the panel takes the focus with it.
    frame->setFocusView(b);
    page->removeView(inner, false);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_GE(b->focusLosses, 1);
    inner->release();  // taken out without release: the creator's again
}

TEST_F(Panel, DragEventsFollowTheViewUnderThePointer)
{
    auto* a = new RecordingView(CRect(0, 0, 20, 20), kRedCColor);
    auto* b = new RecordingView(CRect(30, 0, 50, 20), kRedCColor);
    page->addView(a);
    page->addView(b);
    CDrawContext context(frame, nullptr, window);
    CDragContainer* drag = nullptr;
    page->dragEnter(&context, drag, CPoint(10 + 5, 10 + 5));
    page->dragMove(&context, drag, CPoint(10 + 6, 10 + 5));
    page->dragMove(&context, drag, CPoint(10 + 35, 10 + 5));
    EXPECT_TRUE(page->dropDrag(&context, drag, CPoint(10 + 35, 10 + 5)));
    EXPECT_EQ(a->events, "enter move leave ");
    EXPECT_EQ(b->events, "enter drop leave ");
}

TEST_F(Panel, BackBufferedContainersDrawTheSamePixelsAsDirectOnes)
{
    auto build = [&](bool offscreen) {
        page->removeAll(true);
        page->useOffscreen(offscreen);
        auto* a = new RecordingView(CRect(-5, -5, 30, 30), kRedCColor);  // sticks out of the page
        auto* b = new RecordingView(CRect(20, 20, 60, 55), kBlueCColor);
        page->addView(a);
        page->addView(b);
        window->paint(CRect(0, 0, 120, 80));
        window->paint(CRect(35, 35, 65, 70));  // a partial expose through the same path
        return guitest::imageOf(screen()).pixels;
    };
    EXPECT_EQ(build(true), build(false));
}

}  // namespace
