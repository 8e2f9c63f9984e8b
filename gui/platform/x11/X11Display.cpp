#include "gui/platform/x11/X11Display.h"


#include <mutex>
#include <unordered_map>

// Declares the per-connection error hook (XESetError); its min and max macros go.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace gui::platform::x11 {

namespace {

// Xlib offers every extension hook of a connection each error of that connection before
// the process-wide handler; a hook of our own (a private extension record) claims them.
// The hook has no user data, so connections find their owner in a small table.
std::mutex ownersLock;
std::unordered_map<Display*, uint32_t*>& errorCounters()
{
    static std::unordered_map<Display*, uint32_t*> counters;
    return counters;
}

int swallowError(Display* display, xError*, XExtCodes*, int* result)
{
    {
        std::lock_guard<std::mutex> lock(ownersLock);
        auto found = errorCounters().find(display);
        if (found != errorCounters().end())
            ++*found->second;
    }
    *result = 0;
    return 1;  // handled: the process-wide handler is not called
}

}  // namespace

X11Display::X11Display()
{
    display = XOpenDisplay(nullptr);
    if (!display)
        return;
    XExtCodes* codes = XAddExtension(display);
    if (!codes) {
        XCloseDisplay(display);
        display = nullptr;
        return;
    }
    {
        std::lock_guard<std::mutex> lock(ownersLock);
        errorCounters()[display] = &errors;
    }
    XESetError(display, codes->extension, swallowError);
}

X11Display::~X11Display()
{
    if (!display)
        return;
    {
        std::lock_guard<std::mutex> lock(ownersLock);
        errorCounters().erase(display);  // before closing: a new connection may reuse the address
    }
    XCloseDisplay(display);
}

bool X11Display::checkedSync()
{
    if (!display)
        return false;
    XSync(display, False);
    const bool clean = errors == errorsChecked;
    errorsChecked = errors;
    return clean;
}

namespace {

unsigned long channelToMask(uint32_t value, unsigned long mask)
{
    int shift = 0;
    while (mask && !((mask >> shift) & 1))
        ++shift;
    const unsigned long max = mask >> shift;
    return ((static_cast<unsigned long>(value & 0xFF) * max + 127) / 255) << shift;
}

}  // namespace

unsigned long visualPixel(uint32_t rgb, const Visual* visual)
{
    return channelToMask(rgb >> 16, visual->red_mask) | channelToMask(rgb >> 8, visual->green_mask) |
           channelToMask(rgb, visual->blue_mask);
}

bool windowScreenOrigin(X11Display& connection, Window window, int32_t& x, int32_t& y)
{
    Display* d = connection.get();
    Window child = 0;
    int rx = 0, ry = 0;
    connection.checkedSync();
    const bool ok = XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &rx, &ry, &child) != 0;
    if (!connection.checkedSync() || !ok)
        return false;
    x = rx;
    y = ry;
    return true;
}

}  // namespace gui::platform::x11
