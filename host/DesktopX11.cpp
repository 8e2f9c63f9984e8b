#include "host/Desktop.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "host/X11Connection.h"

namespace {

int shiftOf(unsigned long mask)
{
    int shift = 0;
    while (mask && !((mask >> shift) & 1))
        ++shift;
    return shift;
}

uint8_t channel(unsigned long pixel, unsigned long mask)
{
    const int shift = shiftOf(mask);
    const unsigned long max = mask >> shift;
    return max ? static_cast<uint8_t>((((pixel & mask) >> shift) * 255 + max / 2) / max) : 0;
}

class X11Desktop : public Desktop {
public:
    ~X11Desktop() override
    {
        if (display)
            XCloseDisplay(display);
    }

    bool open(std::string& error)
    {
        display = openQuietConnection(error);
        if (!display)
            return false;
        int event = 0, errorBase = 0, major = 0, minor = 0;
        if (!XTestQueryExtension(display, &event, &errorBase, &major, &minor)) {
            error = "the X server has no XTest extension";
            return false;
        }
        return true;
    }

    bool capture(uintptr_t window, Picture& picture) override
    {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(display, static_cast<Window>(window), &a) || a.map_state != IsViewable)
            return false;
        XImage* image = XGetImage(display, static_cast<Window>(window), 0, 0, static_cast<unsigned>(a.width),
                                  static_cast<unsigned>(a.height), AllPlanes, ZPixmap);
        if (!image)
            return false;
        picture.width = a.width;
        picture.height = a.height;
        picture.pixels.resize(size_t(a.width) * size_t(a.height));
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x) {
                const unsigned long p = XGetPixel(image, x, y);
                picture.pixels[size_t(y) * size_t(a.width) + size_t(x)] =
                    (uint32_t(channel(p, a.visual->red_mask)) << 16) | (uint32_t(channel(p, a.visual->green_mask)) << 8) |
                    channel(p, a.visual->blue_mask);
            }
        XDestroyImage(image);
        return true;
    }

    bool captureScreen(Picture& picture) override { return capture(DefaultRootWindow(display), picture); }

    bool clientOrigin(uintptr_t window, int32_t& x, int32_t& y) override
    {
        Window child = 0;
        int rx = 0, ry = 0;
        if (!XTranslateCoordinates(display, static_cast<Window>(window), DefaultRootWindow(display), 0, 0, &rx, &ry,
                                   &child))
            return false;
        x = rx;
        y = ry;
        return true;
    }

    bool isViewable(uintptr_t window) override
    {
        XWindowAttributes a{};
        return XGetWindowAttributes(display, static_cast<Window>(window), &a) && a.map_state == IsViewable;
    }

    bool moveTo(int32_t x, int32_t y) override
    {
        XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
        XSync(display, False);
        return true;
    }

    bool button(int32_t which, bool down) override
    {
        XTestFakeButtonEvent(display, static_cast<unsigned>(which), down ? True : False, CurrentTime);
        XSync(display, False);
        return true;
    }

    bool wheel(int32_t notches) override
    {
        const unsigned int b = notches > 0 ? Button4 : Button5;
        for (int32_t i = 0; i < (notches > 0 ? notches : -notches); ++i) {
            XTestFakeButtonEvent(display, b, True, CurrentTime);
            XTestFakeButtonEvent(display, b, False, CurrentTime);
        }
        XSync(display, False);
        return true;
    }

    bool key(bool down, uint32_t keySym) override
    {
        const KeyCode code = XKeysymToKeycode(display, keySym);
        if (!code)
            return false;
        XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
        XSync(display, False);
        return true;
    }

    std::vector<ScreenRect> popupMenus() override
    {
        // Pop-up menus are mapped override-redirect windows at the top of the stack.
        std::vector<ScreenRect> menus;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
            return menus;
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(display, children[i], &a) && a.override_redirect && a.map_state == IsViewable &&
                a.width > 1 && a.height > 1)
                menus.push_back(ScreenRect{a.x, a.y, a.x + a.width, a.y + a.height});
        }
        if (children)
            XFree(children);
        return menus;
    }

private:
    Display* display = nullptr;
};

}  // namespace

std::unique_ptr<Desktop> Desktop::connect(std::string& error)
{
    auto desktop = std::make_unique<X11Desktop>();
    if (!desktop->open(error))
        return nullptr;
    return desktop;
}
