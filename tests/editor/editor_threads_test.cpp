// Hosts automate from threads other than the one that opened the editor. Those changes only
// reach the panel at its next idle, on the editor's own thread; built with the thread
// sanitizer, this finds any view touched from the automation thread.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/editor/EditorFixture.h"

namespace editortest {
namespace {

using editor::Kind;
using gui::platform::headless::PointerStep;

TEST_F(EditorTest, AutomationFromAnotherThreadReachesThePanelAtIdle)
{
    open();
    std::thread automation([&] {
        plugin->setParameter(5, 0.125f);
        plugin->setParameter(52, 1.0f);
    });
    automation.join();
    EXPECT_NE(ampControl(5, Kind::AnimKnob)->getValue(), 0.125f);  // not yet
    EXPECT_EQ(shownPage(), editor->getAmpPage());
    idle();
    EXPECT_EQ(ampControl(5, Kind::AnimKnob)->getValue(), 0.125f);
    EXPECT_EQ(ampControl(5, Kind::Readout)->getValue(), 0.125f);
    EXPECT_EQ(shownPage(), editor->getEffectsPage());
}

TEST_F(EditorTest, AutomationRacesWithIdleDrawingAndMouse)
{
    open();
    std::atomic<bool> done{false};
    std::thread automation([&] {
        unsigned step = 0;
        while (!done.load()) {
            const int32_t index = static_cast<int32_t>(step % 53);
            plugin->setParameter(index == 0 ? 3 : index, static_cast<float>(step % 11) / 10.0f);
            ++step;
        }
    });
    const CRect drive = editor::kAmpPage[13].rect;
    const CPoint centre((drive.left + drive.right) / 2, (drive.top + drive.bottom) / 2);
    for (int round = 0; round < 200; ++round) {
        idle();
        window->paint(CRect(0, 0, 899, 421));
        window->press(centre, kLButton,
                      {PointerStep{CPoint(centre.h, centre.v - 5), kLButton}, PointerStep{centre, 0}});
        window->press(CPoint(141, 297), kLButton);  // the page button, when the amp page is shown
    }
    done.store(true);
    automation.join();
    idle();
    // After the last idle the panel shows what the plug-in holds.
    CControl* knob = ampControl(5, Kind::AnimKnob);
    EXPECT_EQ(knob->getValue(), parameter(5));
    EXPECT_EQ(shownPage(), parameter(52) == 1.0f ? editor->getEffectsPage() : editor->getAmpPage());
    EXPECT_TRUE(hostLog().editsBalanced());
}

}  // namespace
}  // namespace editortest
