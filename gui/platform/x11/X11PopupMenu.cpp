#include "gui/platform/x11/X11PopupMenu.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <vector>

#include "gui/platform/x11/PopupMenuLook.h"

namespace gui::platform::x11 {

namespace {

constexpr int32_t kClickSlop = 3;  // pointer travel, pixels, that still counts as a click

struct Level {
    const PopupMenu* items = nullptr;
    PopupLayout layout;
    CPoint origin;
    Window window = 0;
    int32_t highlighted = -1;
    int32_t openChild = -1;  // the item whose sub-menu is the next level
    PixelSurface pixels;

    CRect screenRect() const { return CRect(origin.h, origin.v, origin.h + layout.width, origin.v + layout.height); }
    CRect itemOnScreen(int32_t i) const { return layout.items[size_t(i)].offsetBy(origin.h, origin.v); }
};

class PopupSession {
public:
    PopupSession(Display* display, bool followRight, int32_t percent, const OwnerEvents& owner)
        : d(display), ownerEvents(owner),
          followedMask(followRight ? Button3Mask : Button1Mask), scalePercent(percent)
    {
        const int screen = DefaultScreen(d);
        screenRect = CRect(0, 0, DisplayWidth(d, screen), DisplayHeight(d, screen));
        visual = DefaultVisual(d, screen);
        depth = DefaultDepth(d, screen);
        gc = XCreateGC(d, DefaultRootWindow(d), 0, nullptr);
    }

    ~PopupSession()
    {
        closeLevelsAfter(-1);
        XUngrabPointer(d, CurrentTime);
        XUngrabKeyboard(d, CurrentTime);
        XFreeGC(d, gc);
        XSync(d, False);
    }

    int32_t run(const PopupMenu& menu, CPoint at)
    {
        // The pointer and keys are ours before the menu shows: a quick drag to an item and
        // release cannot slip past it. Pointer events come relative to the root window,
        // and the menu works in screen coordinates anyway.
        Window root = DefaultRootWindow(d);
        const unsigned int pointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
        XGrabPointer(d, root, False, pointerEvents, GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        XGrabKeyboard(d, root, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        Window child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned int mask = 0;
        XQueryPointer(d, root, &root, &child, &rx, &ry, &wx, &wy, &mask);
        pressPoint = CPoint(rx, ry);
        buttonHeld = (mask & followedMask) != 0;
        openLevel(menu, at);
        while (!finished) {
            XEvent event;
            XNextEvent(d, &event);
            handle(event);
        }
        return choice;
    }

private:
    int32_t levelOf(Window w) const
    {
        for (size_t i = 0; i < levels.size(); ++i)
            if (levels[i].window == w)
                return static_cast<int32_t>(i);
        return -1;
    }

    void handle(XEvent& event)
    {
        switch (event.type) {
        case Expose:
            if (const int32_t l = levelOf(event.xexpose.window); l >= 0)
                paint(size_t(l));
            else
                forwardToOwner(event);
            break;
        case MotionNotify:
            if (std::abs(event.xmotion.x_root - pressPoint.h) > kClickSlop ||
                std::abs(event.xmotion.y_root - pressPoint.v) > kClickSlop)
                moved = true;
            hover(CPoint(event.xmotion.x_root, event.xmotion.y_root));
            break;
        case ButtonPress:
            if (event.xbutton.button > Button3)
                break;
            if (!hover(CPoint(event.xbutton.x_root, event.xbutton.y_root)))
                finish(-1);  // a click outside the menu
            break;
        case ButtonRelease:
            if (event.xbutton.button <= Button3)
                release(CPoint(event.xbutton.x_root, event.xbutton.y_root));
            break;
        case KeyPress:
            key(XLookupKeysym(&event.xkey, 0));
            break;
        default:
            if (levelOf(event.xany.window) < 0 && event.xany.window != DefaultRootWindow(d))
                forwardToOwner(event);
            break;
        }
    }

    void forwardToOwner(XEvent& event)
    {
        if (!ownerEvents(event))
            finish(-1);
    }

    void finish(int32_t id)
    {
        choice = id;
        finished = true;
    }

    // ---- levels -----------------------------------------------------------------------

    void openLevel(const PopupMenu& items, CPoint wanted)
    {
        Level level;
        level.items = &items;
        level.layout = layoutPopup(items, scalePercent);
        const CPoint size(level.layout.width, level.layout.height);
        level.origin = levels.empty() ? placeMenu(wanted, size, screenRect) : wanted;
        level.pixels.allocate(size.h, size.v);
        XSetWindowAttributes a{};
        a.override_redirect = True;
        a.save_under = True;
        a.background_pixel = WhitePixel(d, DefaultScreen(d));
        a.event_mask = ExposureMask;
        level.window = XCreateWindow(d, DefaultRootWindow(d), level.origin.h, level.origin.v,
                                     static_cast<unsigned>(size.h), static_cast<unsigned>(size.v), 0, CopyFromParent,
                                     InputOutput, CopyFromParent, CWOverrideRedirect | CWSaveUnder | CWBackPixel | CWEventMask,
                                     &a);
        XMapRaised(d, level.window);
        levels.push_back(std::move(level));
        XFlush(d);
    }

    void closeLevelsAfter(int32_t keep)
    {
        while (static_cast<int32_t>(levels.size()) > keep + 1) {
            XDestroyWindow(d, levels.back().window);
            levels.pop_back();
        }
        if (keep >= 0 && size_t(keep) < levels.size())
            levels[size_t(keep)].openChild = -1;
        XFlush(d);
    }

    void openSubMenu(size_t l, int32_t item)
    {
        Level& parent = levels[l];
        if (parent.openChild == item)
            return;
        closeLevelsAfter(static_cast<int32_t>(l));
        const PopupItem& entry = (*parent.items)[size_t(item)];
        const PopupLayout childLayout = layoutPopup(entry.children, scalePercent);
        const CPoint at = placeSubMenu(parent.screenRect(), parent.itemOnScreen(item),
                                       CPoint(childLayout.width, childLayout.height), screenRect, scalePercent);
        levels[l].openChild = item;
        openLevel(entry.children, at);
    }

    void setHighlight(size_t l, int32_t item)
    {
        if (levels[l].highlighted == item)
            return;
        levels[l].highlighted = item;
        paint(l);
    }

    void paint(size_t l)
    {
        Level& level = levels[l];
        drawPopup(level.pixels, *level.items, level.layout, level.highlighted, scalePercent);
        const auto w = static_cast<unsigned>(level.pixels.width()), h = static_cast<unsigned>(level.pixels.height());
        XImage* image = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, w, h, 32, 0);
        if (!image)
            return;
        image->data = static_cast<char*>(std::calloc(size_t(image->bytes_per_line) * h, 1));
        if (image->data) {
            for (int32_t y = 0; y < level.pixels.height(); ++y)
                for (int32_t x = 0; x < level.pixels.width(); ++x)
                    XPutPixel(image, x, y, visualPixel(level.pixels.pixel(x, y), visual));
            XPutImage(d, level.window, gc, image, 0, 0, 0, 0, w, h);
        }
        XDestroyImage(image);
        XFlush(d);
    }

    // ---- pointer ----------------------------------------------------------------------

    // The deepest level under a screen point and its item there; false outside all levels.
    bool hit(CPoint p, size_t& level, int32_t& item) const
    {
        for (size_t l = levels.size(); l-- > 0;)
            if (levels[l].screenRect().containsInclusive(p) && p.h < levels[l].screenRect().right &&
                p.v < levels[l].screenRect().bottom) {
                level = l;
                item = itemAt(levels[l].layout, CPoint(p.h - levels[l].origin.h, p.v - levels[l].origin.v));
                return true;
            }
        return false;
    }

    bool hover(CPoint p)
    {
        size_t l = 0;
        int32_t item = -1;
        if (!hit(p, l, item)) {
            // Outside: the deepest level forgets its highlight unless a sub-menu hangs there.
            Level& last = levels.back();
            if (last.openChild < 0)
                setHighlight(levels.size() - 1, -1);
            return false;
        }
        const bool usable = item >= 0 && (isChoosable((*levels[l].items)[size_t(item)]) ||
                                          opensSubMenu((*levels[l].items)[size_t(item)]));
        setHighlight(l, usable ? item : -1);
        if (usable && opensSubMenu((*levels[l].items)[size_t(item)]))
            openSubMenu(l, item);
        else
            closeLevelsAfter(static_cast<int32_t>(l));
        return true;
    }

    void release(CPoint p)
    {
        const bool openingClick = !releasedOnce && !moved;
        releasedOnce = true;
        if (openingClick && buttonHeld)
            return;  // the release of the click that opened the menu: stay open
        size_t l = 0;
        int32_t item = -1;
        if (!hit(p, l, item)) {
            if (moved && buttonHeld)
                finish(-1);  // dragged out of the menu and let go
            return;
        }
        if (item >= 0 && isChoosable((*levels[l].items)[size_t(item)]))
            finish((*levels[l].items)[size_t(item)].id);
    }

    // ---- keys -------------------------------------------------------------------------

    void step(size_t l, int32_t direction)
    {
        const PopupMenu& items = *levels[l].items;
        const auto count = static_cast<int32_t>(items.size());
        int32_t i = levels[l].highlighted;
        for (int32_t n = 0; n < count; ++n) {
            i = i < 0 ? (direction > 0 ? 0 : count - 1) : (i + direction + count) % count;
            if (isChoosable(items[size_t(i)]) || opensSubMenu(items[size_t(i)])) {
                closeLevelsAfter(static_cast<int32_t>(l));
                setHighlight(l, i);
                return;
            }
        }
    }

    void key(KeySym k)
    {
        const size_t l = levels.size() - 1;
        const int32_t lit = levels[l].highlighted;
        const PopupItem* item = lit >= 0 ? &(*levels[l].items)[size_t(lit)] : nullptr;
        switch (k) {
        case XK_Escape:
            finish(-1);
            break;
        case XK_Down:
        case XK_KP_Down:
            step(l, 1);
            break;
        case XK_Up:
        case XK_KP_Up:
            step(l, -1);
            break;
        case XK_Right:
        case XK_KP_Right:
            if (item && opensSubMenu(*item)) {
                openSubMenu(l, lit);
                step(l + 1, 1);
            }
            break;
        case XK_Left:
        case XK_KP_Left:
            if (l > 0)
                closeLevelsAfter(static_cast<int32_t>(l) - 1);
            break;
        case XK_Return:
        case XK_KP_Enter:
        case XK_space:
            if (item && isChoosable(*item))
                finish(item->id);
            else if (item && opensSubMenu(*item)) {
                openSubMenu(l, lit);
                step(l + 1, 1);
            }
            break;
        default:
            break;
        }
    }

    Display* d;
    const OwnerEvents& ownerEvents;
    unsigned int followedMask;
    int32_t scalePercent;
    CRect screenRect;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    std::vector<Level> levels;
    CPoint pressPoint;
    bool buttonHeld = false;
    bool moved = false;
    bool releasedOnce = false;
    bool finished = false;
    int32_t choice = -1;
};

}  // namespace

int32_t runPopupMenu(X11Display& connection, const PopupMenu& menu, CPoint screenPosition, bool followRightButton,
                     int32_t scalePercent, const OwnerEvents& ownerEvents)
{
    if (!connection.isOpen())
        return -1;
    PopupSession session(connection.get(), followRightButton, scalePercent, ownerEvents);
    return session.run(menu, screenPosition);
}

}  // namespace gui::platform::x11
