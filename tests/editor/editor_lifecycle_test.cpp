// The front panel's life (its size before any open is checked through the plug-in file, the
// page it opens on by the binding's lamp test): every control in place, reopening with the
// current values, and requests arriving at odd times.

#include <gtest/gtest.h>

#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/controls/COptionMenu.h"
#include "tests/editor/EditorFixture.h"

namespace editortest {
namespace {

using editor::Kind;

TEST_F(EditorTest, LayoutRectanglesAreEachControlsBitmapCell)
{
    // Every control's rectangle is its position plus its bitmap's width and one image's height.
    auto check = [](const editor::ControlRow& row) {
        if (row.kind == Kind::SplashScreen || row.kind == Kind::Readout)
            return;
        CBitmap* bitmap = new CBitmap(row.bitmap);
        EXPECT_EQ(row.rect.width(), bitmap->getWidth()) << "bitmap " << row.bitmap << " at " << row.rect.left;
        EXPECT_EQ(row.rect.height(), bitmap->getHeight() / row.images) << "bitmap " << row.bitmap;
        bitmap->release();
    };
    ASSERT_EQ(editor::kAmpPageCount, 21u);
    ASSERT_EQ(editor::kEffectsPageCount, 46u);
    for (size_t i = 0; i < editor::kAmpPageCount; ++i)
        check(editor::kAmpPage[i]);
    for (size_t i = 0; i < editor::kEffectsPageCount; ++i)
        check(editor::kEffectsPage[i]);
}

TEST_F(EditorTest, ReopeningShowsTheCurrentValues)
{
    open();
    setParameter(5, 0.2f);
    EXPECT_FLOAT_EQ(ampControl(5, Kind::AnimKnob)->getValue(), 0.2f);
    close();
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(editor->getAmpPage(), nullptr);
    setParameter(5, 0.9f);  // while closed: nothing to refresh, nothing breaks
    setParameter(40, 0.25f);
    open();
    EXPECT_EQ(editor->getAmpPage()->getNbViews(), 21);  // every control built again
    EXPECT_EQ(editor->getEffectsPage()->getNbViews(), 46);
    EXPECT_FLOAT_EQ(ampControl(5, Kind::AnimKnob)->getValue(), 0.9f);
    EXPECT_FLOAT_EQ(ampControl(5, Kind::Readout)->getValue(), 0.9f);
    EXPECT_FLOAT_EQ(effectsControl(40, Kind::AnimKnob)->getValue(), 0.25f);
}

TEST_F(EditorTest, ManyOpensAndClosesLeaveNothingBehind)
{
    // The address sanitizer stage reports any control, page, bitmap or window left over
    // (a thousand cycles there; fewer in the other builds, which look for other faults).
    for (int i = 0; i < KORVALEX_EDITOR_OPEN_CYCLES; ++i) {
        open();
        if (i % 100 == 0) {
            setParameter(52, (i / 100) % 2 ? 1.0f : 0.0f);
            idle();
        }
        close();
    }
    EXPECT_EQ(gui::platform::headless::HeadlessWindow::latest(), nullptr);
}

TEST_F(EditorTest, RequestsAtOddTimesDoNoHarm)
{
    close();  // never opened
    idle();
    VstKeyCode key{0, VKEY_UP, 0};
    EXPECT_EQ(dispatch(effEditKeyDown, key.character, key.virt, nullptr, key.modifier), 0);
    EXPECT_FALSE(editor->onWheel(1.0f));
    setParameter(3, 0.3f);

    open();
    // Again without a close: the panel moves to the new window, and nothing of the first
    // open is held any more but by this test (a frame left alive would hold its page).
    CView* first[] = {editor->getAmpPage(), editor->getEffectsPage(), ampControl(5, Kind::AnimKnob),
                      effectsControl(40, Kind::AnimKnob)};
    for (CView* view : first)
        view->retain();
    open();
    EXPECT_EQ(window->parentWindow(), &parents[1]);
    EXPECT_NE(shownPage(), nullptr);
    for (CView* view : first) {
        EXPECT_NE(view, shownPage());
        EXPECT_EQ(view->getNbReference(), 1);
        view->release();
    }
    close();
    close();
    idle();
    EXPECT_EQ(dispatch(effEditKeyUp, 0, VKEY_UP, nullptr, 0), 0);
}

TEST_F(EditorTest, ClosingThePlugInWithTheEditorOpenTakesTheWindowDown)
{
    open();
    setParameter(52, 1.0f);
    AEffect* effect = plugin->getAeffect();
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);  // no effEditClose first
    plugin = nullptr;
    EXPECT_EQ(gui::platform::headless::HeadlessWindow::latest(), nullptr);
}

TEST_F(EditorTest, KnobModeIsLinearAfterOpenAndTheHostMayChangeIt)
{
    CFrame::setKnobModeForAll(0);
    open();
    EXPECT_EQ(editor->getFrame()->getKnobMode(), 2);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 1), 1);
    EXPECT_EQ(editor->getFrame()->getKnobMode(), 1);
}

TEST_F(EditorTest, WholePanelIsDrawnAtTheFirstPaint)
{
    open();
    // Both page backgrounds differ; the first paint shows the amp page's pixels.
    const gui::PixelSurface& screen = window->surface();
    CBitmap* amp = new CBitmap(editor::kAmpPageBitmap);
    int same = 0;
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 899; x += 7)
            same += screen.pixel(x, y) == amp->pixels().pixel(x, y);
    amp->release();
    EXPECT_GT(same, 100 * 128 * 9 / 10);
}

}  // namespace
}  // namespace editortest
