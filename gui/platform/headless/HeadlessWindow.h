#pragma once
// The window layer for tests: a surface stands for the window, the pointer and buttons
// follow a script, pop-up menus answer a scripted choice, and time is a clock the test
// moves. Nothing is shown anywhere.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "gui/platform/PlatformWindow.h"

namespace gui::platform::headless {

// A pointer position in window coordinates with the buttons and modifiers held.
struct PointerStep {
    CPoint where;
    int32_t buttons = 0;
};

class HeadlessWindow : public PlatformWindow {
public:
    HeadlessWindow(void* parent, int32_t width, int32_t height, WindowEvents& events);
    ~HeadlessWindow() override;

    // The window most recently created and still alive (null when none is).
    static HeadlessWindow* latest();

    // PlatformWindow.
    PixelSurface& surface() override { return pixels; }
    void present(const CRect& area) override { presentedAreas.push_back(area); }
    void processEvents() override { ++eventPolls; }
    bool isAlive() const override { return alive; }
    void* nativeHandle() const override { return nullptr; }
    CPoint screenOrigin() override { return origin; }
    CPoint pointerPosition() override;
    int32_t buttonState() override { return current.buttons; }
    void setCursor(int32_t kind) override { cursorKind = kind; }
    int32_t popupMenu(const PopupMenu& menu, CPoint screenPosition, bool followRightButton) override;
    void setScalePercent(int32_t percent) override { scalePercent = percent; }
    bool setDropTarget(bool active) override;
    bool resize(int32_t width, int32_t height, bool hostWindowsToo) override;
    bool getPosition(int32_t& x, int32_t& y) override;
    bool getParentRect(CRect& rect) override;

    // Driving it from a test.
    void setScreenOrigin(CPoint screenPosition) { origin = screenPosition; }
    void setPointer(CPoint where, int32_t buttons);
    // Each later read of the pointer position moves to the next step (the buttons with it);
    // after the last step the pointer stays there.
    void scriptPointer(std::vector<PointerStep> steps);
    // A press at `where` with `buttons`, then the steps that the tracking loop will poll.
    void press(CPoint where, int32_t buttons, std::vector<PointerStep> then = {});
    void wheel(CPoint where, float distance);
    bool key(bool down, const CKeyCode& key);
    void paint(const CRect& area);
    void destroyBySystem();  // as if the host had destroyed the window's parent

    // The next pop-up menu answers the item with this id, or the first item whose label is
    // `label` (searched through sub-menus), or nothing (-1).
    void choosePopupId(int32_t id);
    void choosePopupLabel(const std::string& label);

    // What happened.
    const std::vector<CRect>& presented() const { return presentedAreas; }
    void clearPresented() { presentedAreas.clear(); }
    int32_t cursor() const { return cursorKind; }
    bool dropTargetRegistered() const { return dropRegistered; }
    int32_t popupCount() const { return popups; }
    const PopupMenu& lastPopup() const { return lastMenu; }
    CPoint lastPopupPosition() const { return lastPosition; }
    bool lastPopupFollowedRightButton() const { return lastFollowRight; }
    int32_t eventPollCount() const { return eventPolls; }
    int32_t scale() const { return scalePercent; }
    void* parentWindow() const { return parent; }

private:
    void* parent;
    WindowEvents& events;
    PixelSurface pixels;
    bool alive = true;
    CPoint origin{100, 50};
    PointerStep current;
    std::deque<PointerStep> script;
    int32_t cursorKind = kCursorDefault;
    bool dropRegistered = false;
    std::vector<CRect> presentedAreas;
    int32_t eventPolls = 0;
    int32_t scalePercent = 100;

    int32_t pendingChoiceId = -1;
    std::string pendingChoiceLabel;
    int32_t popups = 0;
    PopupMenu lastMenu;
    CPoint lastPosition;
    bool lastFollowRight = false;
};

// What desktopScalePercent answers (100 until a test says otherwise).
void setDesktopScalePercent(int32_t percent);

// The headless clock: starts at 1000 ms and moves only when a test moves it or the
// toolkit sleeps (a sleep moves it by the time slept).
void setTicks(uint32_t milliseconds);
void advanceTicks(uint32_t milliseconds);
uint32_t totalSleptMilliseconds();

}  // namespace gui::platform::headless
