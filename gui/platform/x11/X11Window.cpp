#include "gui/platform/x11/X11Window.h"

#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "gui/platform/x11/X11Keys.h"
#include "gui/platform/x11/X11PopupMenu.h"

namespace gui::platform {

namespace x11 {

namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | KeyReleaseMask |
                            StructureNotifyMask;

// The standard cursor font's shape for each cursor kind (0: the window's own cursor).
constexpr unsigned int kCursorShapes[10] = {
    0,                       // default
    XC_watch,                // wait
    XC_sb_h_double_arrow,    // horizontal resize
    XC_sb_v_double_arrow,    // vertical resize
    XC_fleur,                // move in all directions
    XC_bottom_left_corner,   // diagonal north-east / south-west
    XC_bottom_right_corner,  // diagonal north-west / south-east
    0,                       // copy: not a standard kind here
    XC_circle,               // not allowed
    XC_hand2,                // hand
};

bool littleEndianHost()
{
    const uint16_t probe = 1;
    return *reinterpret_cast<const uint8_t*>(&probe) == 1;
}

// True when the visual's pixels are 0x00RRGGBB in 32-bit units, so that the surface can be
// the image's memory.
bool visualMatchesSurface(Display* d, Visual* visual, int depth)
{
    if (visual->c_class != TrueColor || (depth != 24 && depth != 32))
        return false;
    if (visual->red_mask != 0xFF0000 || visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF)
        return false;
    return ImageByteOrder(d) == (littleEndianHost() ? LSBFirst : MSBFirst);
}

}  // namespace

X11Window::X11Window(Window parent, WindowEvents& events_) : parentWindow(parent), events(events_) {}

std::unique_ptr<X11Window> X11Window::create(Window parent, int32_t width, int32_t height, WindowEvents& events)
{
    std::unique_ptr<X11Window> w(new X11Window(parent, events));
    if (!w->connection.isOpen() || !w->open(width, height))
        return nullptr;
    return w;
}

bool X11Window::open(int32_t width, int32_t height)
{
    Display* d = connection.get();
    XWindowAttributes parentAttributes{};
    connection.checkedSync();
    const Status known = XGetWindowAttributes(d, parentWindow, &parentAttributes);
    if (!connection.checkedSync() || !known || parentAttributes.c_class != InputOutput)
        return false;
    visual = parentAttributes.visual;
    depth = parentAttributes.depth;

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None;  // the surface paints every pixel
    attributes.border_pixel = 0;
    attributes.event_mask = kEventMask;
    if (visual == DefaultVisual(d, DefaultScreen(d)))
        attributes.colormap = DefaultColormap(d, DefaultScreen(d));
    else if (parentAttributes.colormap != None)
        attributes.colormap = parentAttributes.colormap;
    else
        attributes.colormap = ownColormap = XCreateColormap(d, parentWindow, visual, AllocNone);
    // The editor keeps its size whatever the parent's size is (hosts often size the
    // parent only after the open request).
    window = XCreateWindow(d, parentWindow, 0, 0, static_cast<unsigned>(std::max(width, 1)),
                           static_cast<unsigned>(std::max(height, 1)), 0, depth, InputOutput, visual,
                           CWBackPixmap | CWBorderPixel | CWEventMask | CWColormap, &attributes);
    if (!connection.checkedSync() || !window) {
        window = 0;
        return false;
    }
    gc = XCreateGC(d, window, 0, nullptr);
    if (!makeImage(width, height))
        return false;
    announceSize(width, height);
    XMapWindow(d, window);
    alive = connection.checkedSync();
    return alive;
}

X11Window::~X11Window()
{
    Display* d = connection.get();
    if (!d)
        return;
    freeImage();
    for (Cursor& c : cursors)
        if (c)
            XFreeCursor(d, c);
    if (gc)
        XFreeGC(d, gc);
    // The window may be gone already (its parent destroyed); the error is swallowed.
    if (window)
        XDestroyWindow(d, window);
    if (ownColormap)
        XFreeColormap(d, ownColormap);
    XSync(d, False);
}

// Hosts that embed the window in a toolkit of their own (LV2 hosts, through their wrapper)
// read its size from the size hints, and keep to them when they lay out their window.
void X11Window::announceSize(int32_t width, int32_t height)
{
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize | PBaseSize;
    hints.min_width = hints.max_width = hints.base_width = width;
    hints.min_height = hints.max_height = hints.base_height = height;
    XSetWMNormalHints(connection.get(), window, &hints);
}

// ---- the image the surface is shown through -------------------------------------------

bool X11Window::makeImage(int32_t width, int32_t height)
{
    Display* d = connection.get();
    freeImage();
    if (width <= 0 || height <= 0 || int64_t(width) * height > PixelSurface::kMaxPixels)
        return false;
    directPixels = visualMatchesSurface(d, visual, depth);
    const auto w = static_cast<unsigned>(width), h = static_cast<unsigned>(height);
    if (directPixels && XShmQueryExtension(d)) {
        image = XShmCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &shmInfo, w, h);
        if (image && image->bits_per_pixel == 32) {
            shmInfo.shmid = shmget(IPC_PRIVATE, size_t(image->bytes_per_line) * h, IPC_CREAT | 0600);
            void* memory = shmInfo.shmid >= 0 ? shmat(shmInfo.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
            if (memory != reinterpret_cast<void*>(-1)) {
                shmInfo.shmaddr = image->data = static_cast<char*>(memory);
                shmInfo.readOnly = False;
                XShmAttach(d, &shmInfo);
                shmAttached = connection.checkedSync();  // fails on a server on another machine
            }
            if (shmInfo.shmid >= 0)
                shmctl(shmInfo.shmid, IPC_RMID, nullptr);  // freed once both sides detach
        }
        if (!shmAttached)
            freeImage();
    }
    if (!image) {
        image = XCreateImage(d, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr, w, h, 32, 0);
        if (!image)
            return false;
        image->data = static_cast<char*>(std::calloc(size_t(image->bytes_per_line) * h, 1));
        if (!image->data) {
            freeImage();
            return false;
        }
        directPixels = directPixels && image->bits_per_pixel == 32;
    }
    if (directPixels)
        pixels = PixelSurface(reinterpret_cast<uint32_t*>(image->data), width, height, image->bytes_per_line / 4);
    else
        pixels.allocate(width, height);
    return true;
}

void X11Window::freeImage()
{
    Display* d = connection.get();
    if (shmAttached) {
        XShmDetach(d, &shmInfo);
        XSync(d, False);
        shmAttached = false;
    }
    if (shmInfo.shmaddr) {
        shmdt(shmInfo.shmaddr);
        if (image)
            image->data = nullptr;  // not XDestroyImage's to free
    }
    shmInfo = XShmSegmentInfo{};
    if (image)
        XDestroyImage(image);
    image = nullptr;
    pixels = PixelSurface();
}

void X11Window::convertToImage(const CRect& area)
{
    for (int32_t y = area.top; y < area.bottom; ++y)
        for (int32_t x = area.left; x < area.right; ++x) {
            XPutPixel(image, x, y, visualPixel(pixels.pixel(x, y), visual));
        }
}

void X11Window::present(const CRect& area)
{
    if (!alive || !image)
        return;
    const CRect r = area.intersection(pixels.bounds());
    if (r.isEmpty())
        return;
    if (!directPixels)
        convertToImage(r);
    Display* d = connection.get();
    const auto w = static_cast<unsigned>(r.width()), h = static_cast<unsigned>(r.height());
    if (shmAttached) {
        XShmPutImage(d, window, gc, image, r.left, r.top, r.left, r.top, w, h, False);
        XSync(d, False);  // the server has read the pixels before the toolkit draws again
    } else {
        XPutImage(d, window, gc, image, r.left, r.top, r.left, r.top, w, h);
        XFlush(d);
    }
}

// ---- events ---------------------------------------------------------------------------

void X11Window::processEvents()
{
    Display* d = connection.get();
    while (alive && XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        handle(event);
    }
}

void X11Window::handle(XEvent& event)
{
    if (event.xany.window != window)
        return;
    switch (event.type) {
    case Expose: {
        const CRect area(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                         event.xexpose.y + event.xexpose.height);
        events.onPaint(area);
        break;
    }
    case ButtonPress: {
        const XButtonEvent& b = event.xbutton;
        if (b.button == Button4 || b.button == Button5) {
            events.onWheel(CPoint(b.x, b.y), b.button == Button4 ? 1.0f : -1.0f);
        } else if (b.button >= Button1 && b.button <= Button3) {
            // A quick click may be over by the time it is read: the press's own state
            // answers the first question about the buttons.
            const unsigned int pressed = b.button == Button1 ? Button1Mask : (b.button == Button2 ? Button2Mask : Button3Mask);
            pressButtons = buttonsFromState(b.state | pressed);
            events.onButtonDown(CPoint(b.x, b.y));
            pressButtons = -1;
        }
        break;
    }
    case KeyPress:
    case KeyRelease: {
        char text[8] = {};
        KeySym keySym = NoSymbol;
        const int length = XLookupString(&event.xkey, text, sizeof text, &keySym, nullptr);
        const int32_t character = length == 1 ? static_cast<unsigned char>(text[0]) : 0;
        events.onKey(event.type == KeyPress, translateKey(keySym, event.xkey.state, character));
        break;
    }
    case DestroyNotify:
        if (event.xdestroywindow.window == window)
            markDestroyed();
        break;
    default:
        break;
    }
}

void X11Window::markDestroyed()
{
    if (!alive)
        return;
    alive = false;
    window = 0;
    events.onDestroyed();
}

// ---- pointer, buttons, cursor ---------------------------------------------------------

CPoint X11Window::screenOrigin()
{
    int32_t x = 0, y = 0;
    if (alive)
        windowScreenOrigin(connection, window, x, y);
    return CPoint(x, y);
}

CPoint X11Window::pointerPosition()
{
    Display* d = connection.get();
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rootX, &rootY, &x, &y, &mask);
    return CPoint(rootX, rootY);
}

int32_t X11Window::buttonState()
{
    if (pressButtons >= 0) {
        const int32_t buttons = pressButtons;
        pressButtons = -1;
        return buttons;
    }
    Display* d = connection.get();
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rootX, &rootY, &x, &y, &mask);
    return buttonsFromState(mask);
}

void X11Window::setCursor(int32_t kind)
{
    if (!alive)
        return;
    Display* d = connection.get();
    const unsigned int shape = kind >= 0 && kind < 10 ? kCursorShapes[kind] : 0;
    if (shape == 0) {
        XUndefineCursor(d, window);  // back to the cursor the window had: its parent's
    } else {
        if (!cursors[kind])
            cursors[kind] = XCreateFontCursor(d, shape);
        XDefineCursor(d, window, cursors[kind]);
    }
    XFlush(d);
}

// ---- pop-up menus ---------------------------------------------------------------------

int32_t X11Window::popupMenu(const PopupMenu& menu, CPoint screenPosition, bool followRightButton)
{
    if (!alive)
        return -1;
    // Events of the frame's window that arrive meanwhile (exposures, its destruction) are
    // handled as usual.
    return runPopupMenu(connection, menu, screenPosition, followRightButton, scalePercent, [this](XEvent& event) {
        handle(event);
        return alive;
    });
}

// ---- size and position ----------------------------------------------------------------

bool X11Window::resize(int32_t width, int32_t height, bool hostWindowsToo)
{
    if (!alive || width <= 0 || height <= 0)
        return false;
    Display* d = connection.get();
    const int32_t oldWidth = pixels.width(), oldHeight = pixels.height();
    if (!makeImage(width, height))
        return false;
    XResizeWindow(d, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    announceSize(width, height);
    XWindowAttributes host{};
    connection.checkedSync();
    if (hostWindowsToo && XGetWindowAttributes(d, parentWindow, &host)) {
        // The host's window grows or shrinks by as much as the editor, keeping what it has
        // around it.
        XResizeWindow(d, parentWindow, static_cast<unsigned>(std::max(1, host.width + width - oldWidth)),
                      static_cast<unsigned>(std::max(1, host.height + height - oldHeight)));
    }
    connection.checkedSync();
    return true;
}

bool X11Window::getPosition(int32_t& x, int32_t& y)
{
    if (!alive)
        return false;
    Display* d = connection.get();
    connection.checkedSync();
    // The host's editor window: the outermost ancestor of about the editor's size.
    Window current = window;
    for (;;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(d, current, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        XWindowAttributes mine{}, theirs{};
        if (parent == root || !XGetWindowAttributes(d, window, &mine) || !XGetWindowAttributes(d, parent, &theirs) ||
            std::abs(theirs.width - mine.width) > 60 || std::abs(theirs.height - mine.height) > 60)
            break;
        current = parent;
    }
    XWindowAttributes attributes{};
    const bool ok = XGetWindowAttributes(d, current, &attributes) != 0;
    if (!connection.checkedSync() || !ok)
        return false;
    x = attributes.x;
    y = attributes.y;
    return true;
}

bool X11Window::getParentRect(CRect& rect)
{
    if (!alive)
        return false;
    Display* d = connection.get();
    connection.checkedSync();
    XWindowAttributes attributes{};
    const bool ok = XGetWindowAttributes(d, parentWindow, &attributes) != 0;
    if (!connection.checkedSync() || !ok)
        return false;
    rect = CRect(attributes.x, attributes.y, attributes.x + attributes.width, attributes.y + attributes.height);
    return true;
}

}  // namespace x11

std::unique_ptr<PlatformWindow> createWindow(void* parent, int32_t width, int32_t height, WindowEvents& events)
{
    return x11::X11Window::create(static_cast<Window>(reinterpret_cast<uintptr_t>(parent)), width, height, events);
}

bool initializeThread() { return false; }  // X11 needs nothing per thread
void uninitializeThread() {}

uint32_t ticks()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

void sleep(uint32_t milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace gui::platform
