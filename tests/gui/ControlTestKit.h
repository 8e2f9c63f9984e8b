#pragma once
// A panel for control tests: a frame on the headless window with an editor that counts
// gesture brackets, a page placed off the frame's origin (so that coordinate mistakes
// show), and a listener that records what reaches it and whether a gesture was open then.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/controls/CControl.h"
#include "gui/platform/headless/HeadlessWindow.h"
#include "tests/gui/TestBitmaps.h"

namespace controltest {

using gui::platform::headless::HeadlessWindow;
using gui::platform::headless::PointerStep;

struct GestureEditor : CFrameEditor {
    void beginEdit(int32_t tag) override
    {
        log += "begin" + std::to_string(tag) + " ";
        ++begins;
        ++depth;
    }
    void endEdit(int32_t tag) override
    {
        log += "end" + std::to_string(tag) + " ";
        ++ends;
        if (--depth < 0)
            unbalanced = true;
    }
    void trackIdle() override
    {
        log += "idle ";
        ++idles;
        if (frame)
            frame->idle();  // as the editor does: the panel follows the drag
    }
    bool sizeWindow(int32_t, int32_t) override { return false; }

    std::string log;
    int begins = 0;
    int ends = 0;
    int depth = 0;
    int idles = 0;
    bool unbalanced = false;
    CFrame* frame = nullptr;
};

struct Change {
    CControl* control;
    float value;
    int gestureDepth;  // open gestures when it was reported
};

struct RecordingListener : CControlListener {
    void valueChanged(CDrawContext*, CControl* control) override
    {
        changes.push_back(Change{control, control->getValue(), editor ? editor->depth : -1});
        if (editor)
            editor->log += "change ";
        if (onChange)
            onChange(control);
    }
    int32_t modifierClicked(CDrawContext*, CControl*, int32_t buttons) override
    {
        modifierPresses.push_back(buttons);
        return takesModifiers;
    }

    GestureEditor* editor = nullptr;
    std::vector<Change> changes;
    std::vector<int32_t> modifierPresses;
    int32_t takesModifiers = 0;
    std::function<void(CControl*)> onChange;
};

// A film strip of `count` images of `width` x `height`, image i filled with stripColour(i).
inline uint32_t stripColour(int32_t i) { return 0x200000u | uint32_t(i); }
inline void installStrip(int32_t id, int32_t count, int32_t width, int32_t height)
{
    testbitmaps::install(id, testbitmaps::makeBmp(width, height * count,
                                                  [height](int32_t, int32_t y) { return stripColour(y / height); },
                                                  testbitmaps::Format::Rgb24));
}
// The image a strip control shows, read back from its top-left pixel; -1 for another colour.
inline int32_t imageShown(const gui::PixelSurface& s, CPoint at)
{
    const uint32_t p = s.pixel(at.h, at.v);
    return (p & 0xFFFF00u) == 0x200000u ? int32_t(p & 0xFFu) : -1;
}

struct Panel : ::testing::Test {
    static constexpr int32_t kPageLeft = 10;
    static constexpr int32_t kPageTop = 20;

    void SetUp() override
    {
        frame = new CFrame(CRect(0, 0, 320, 240), &parentToken, &editor);
        window = HeadlessWindow::latest();
        page = new CViewContainer(CRect(kPageLeft, kPageTop, 310, 230), frame);
        page->setBackgroundColor(CColor{30, 30, 30, 255});
        frame->addView(page);
        listener.editor = &editor;
        editor.frame = frame;
        CFrame::setKnobModeForAll(kLinearModeForTests);
    }
    void TearDown() override
    {
        if (frame)
            frame->release();  // with every view in it
        EXPECT_FALSE(editor.unbalanced);
        EXPECT_EQ(editor.depth, 0) << editor.log;
    }

    // Adds a control to the page; the page keeps it.
    template <typename T>
    T* add(T* control)
    {
        page->addView(control);
        return control;
    }
    // A point of the page in window coordinates.
    static CPoint onPage(int32_t x, int32_t y) { return CPoint(x + kPageLeft, y + kPageTop); }
    // Presses at `where` (page coordinates) and moves through `steps` (page coordinates).
    void press(CPoint where, int32_t buttons, std::vector<PointerStep> steps = {})
    {
        for (PointerStep& s : steps)
            s.where = onPage(s.where.h, s.where.v);
        window->press(onPage(where.h, where.v), buttons, std::move(steps));
    }
    void paint() { window->paint(CRect(0, 0, 320, 240)); }
    const gui::PixelSurface& pixels() { return window->surface(); }

    static constexpr int32_t kLinearModeForTests = 2;

    int parentToken = 0;
    GestureEditor editor;
    RecordingListener listener;
    CFrame* frame = nullptr;
    HeadlessWindow* window = nullptr;
    CViewContainer* page = nullptr;
};

}  // namespace controltest
