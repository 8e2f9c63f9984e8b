#include "gui/platform/headless/HeadlessWindow.h"

#include <atomic>

namespace gui::platform {

namespace headless {

namespace {

std::atomic<uint32_t> clock{1000};
std::atomic<uint32_t> slept{0};
std::atomic<int32_t> desktopScale{100};
HeadlessWindow* newest = nullptr;

int32_t findLabel(const PopupMenu& menu, const std::string& label)
{
    for (const PopupItem& item : menu) {
        if (item.kind == PopupItem::Kind::Item && item.label == label)
            return item.id;
        if (item.kind == PopupItem::Kind::SubMenu)
            if (int32_t id = findLabel(item.children, label); id >= 0)
                return id;
    }
    return -1;
}

}  // namespace

HeadlessWindow::HeadlessWindow(void* parent_, int32_t width, int32_t height, WindowEvents& events_)
    : parent(parent_), events(events_), pixels(width, height)
{
    newest = this;
}

HeadlessWindow::~HeadlessWindow()
{
    if (newest == this)
        newest = nullptr;
}

HeadlessWindow* HeadlessWindow::latest() { return newest; }

CPoint HeadlessWindow::pointerPosition()
{
    if (!script.empty()) {
        current = script.front();
        script.pop_front();
    }
    CPoint p = current.where;
    p.offset(origin.h, origin.v);
    return p;
}

int32_t HeadlessWindow::popupMenu(const PopupMenu& menu, CPoint screenPosition, bool followRightButton)
{
    ++popups;
    lastMenu = menu;
    lastPosition = screenPosition;
    lastFollowRight = followRightButton;
    int32_t choice = pendingChoiceLabel.empty() ? pendingChoiceId : findLabel(menu, pendingChoiceLabel);
    pendingChoiceId = -1;
    pendingChoiceLabel.clear();
    return choice;
}

bool HeadlessWindow::setDropTarget(bool active)
{
    dropRegistered = active;
    return true;
}

bool HeadlessWindow::resize(int32_t width, int32_t height, bool)
{
    pixels.allocate(width, height);
    return true;
}

bool HeadlessWindow::getPosition(int32_t& x, int32_t& y)
{
    x = origin.h;
    y = origin.v;
    return true;
}

bool HeadlessWindow::getParentRect(CRect& rect)
{
    rect = CRect(0, 0, pixels.width(), pixels.height());
    return true;
}

void HeadlessWindow::setPointer(CPoint where, int32_t buttons)
{
    script.clear();
    current = PointerStep{where, buttons};
}

void HeadlessWindow::scriptPointer(std::vector<PointerStep> steps) { script.assign(steps.begin(), steps.end()); }

void HeadlessWindow::press(CPoint where, int32_t buttons, std::vector<PointerStep> then)
{
    setPointer(where, buttons);
    if (then.empty())
        then.push_back(PointerStep{where, 0});  // a click: released at the first poll
    scriptPointer(std::move(then));
    events.onButtonDown(where);
}

void HeadlessWindow::wheel(CPoint where, float distance)
{
    current.where = where;
    events.onWheel(where, distance);
}

bool HeadlessWindow::key(bool down, const CKeyCode& key) { return events.onKey(down, key); }

void HeadlessWindow::paint(const CRect& area) { events.onPaint(area); }

void HeadlessWindow::destroyBySystem()
{
    alive = false;
    events.onDestroyed();
}

void HeadlessWindow::choosePopupId(int32_t id)
{
    pendingChoiceId = id;
    pendingChoiceLabel.clear();
}

void HeadlessWindow::choosePopupLabel(const std::string& label)
{
    pendingChoiceLabel = label;
    pendingChoiceId = -1;
}

void setDesktopScalePercent(int32_t percent) { desktopScale.store(percent); }
void setTicks(uint32_t milliseconds) { clock.store(milliseconds); }
void advanceTicks(uint32_t milliseconds) { clock.fetch_add(milliseconds); }
uint32_t totalSleptMilliseconds() { return slept.load(); }

}  // namespace headless

std::unique_ptr<PlatformWindow> createWindow(void* parent, int32_t width, int32_t height, WindowEvents& events)
{
    return std::make_unique<headless::HeadlessWindow>(parent, width, height, events);
}

bool initializeThread() { return false; }
void uninitializeThread() {}

int32_t desktopScalePercent(void*) { return headless::desktopScale.load(); }

uint32_t ticks() { return headless::clock.load(); }

void sleep(uint32_t milliseconds)
{
    headless::slept.fetch_add(milliseconds);
    headless::clock.fetch_add(milliseconds);
}

}  // namespace gui::platform
