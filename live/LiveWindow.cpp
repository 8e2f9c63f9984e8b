#include "live/LiveWindow.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <unistd.h>

#include <cstdint>

#include "host/X11Connection.h"

namespace live {

namespace {

// How much of the window must stay on the screen for a saved position to be used.
constexpr int kVisibleMargin = 64;
constexpr unsigned int kIgnoredModifiers[] = {0, LockMask, Mod2Mask, LockMask | Mod2Mask};  // caps and num lock

}  // namespace

std::unique_ptr<LiveWindow> LiveWindow::open(int width, int stripHeight, int panelHeight, Position position,
                                             std::string& error)
{
    std::unique_ptr<LiveWindow> window(new LiveWindow());
    if (!window->create(width, stripHeight, panelHeight, position, error))
        return nullptr;
    return window;
}

bool LiveWindow::create(int width, int stripHeight, int panelHeight, Position position, std::string& error)
{
    display_ = openQuietConnection(error);
    if (!display_)
        return false;
    const int screen = DefaultScreen(display_);
    const int height = stripHeight + panelHeight;
    const bool placed = position.given && position.x > kVisibleMargin - width &&
                        position.x < DisplayWidth(display_, screen) - kVisibleMargin && position.y >= 0 &&
                        position.y < DisplayHeight(display_, screen) - kVisibleMargin;
    const Window root = RootWindow(display_, screen);
    window_ = XCreateSimpleWindow(display_, root, placed ? position.x : 0, placed ? position.y : 0,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                  BlackPixel(display_, screen), BlackPixel(display_, screen));
    strip_ = XCreateSimpleWindow(display_, window_, 0, 0, static_cast<unsigned>(width),
                                 static_cast<unsigned>(stripHeight), 0, 0, BlackPixel(display_, screen));
    panel_ = XCreateSimpleWindow(display_, window_, 0, stripHeight, static_cast<unsigned>(width),
                                 static_cast<unsigned>(panelHeight), 0, 0, BlackPixel(display_, screen));

    fixSize(width, height, placed, position.x, position.y);
    XWMHints* wmHints = XAllocWMHints();
    wmHints->flags = InputHint | StateHint;
    wmHints->input = True;  // the keyboard focus, for Page Up and Page Down
    wmHints->initial_state = NormalState;
    XSetWMHints(display_, window_, wmHints);
    XFree(wmHints);
    XClassHint* classHint = XAllocClassHint();
    char resourceName[] = "korvalex-live", resourceClass[] = "Korvalex Live";
    classHint->res_name = resourceName;
    classHint->res_class = resourceClass;
    XSetClassHint(display_, window_, classHint);
    XFree(classHint);
    const long pid = getpid();
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    deleteMessage_ = XInternAtom(display_, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(display_, window_, &deleteMessage_, 1);
    XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
    for (KeySym key : {XK_Page_Up, XK_Page_Down, XK_KP_Page_Up, XK_KP_Page_Down})
        grabKey(key);
    XMapWindow(display_, strip_);
    XMapWindow(display_, panel_);
    XMapWindow(display_, window_);
    XSync(display_, False);  // the toolkit's and the editor's connections must find the areas
    return true;
}

LiveWindow::~LiveWindow()
{
    if (!display_)
        return;
    if (window_)
        XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
}

// The user does not resize the window: its size is the panel's.
void LiveWindow::fixSize(int width, int height, bool placed, int x, int y)
{
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PMinSize | PMaxSize | (placed ? USPosition : 0);
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    hints->x = x;
    hints->y = y;
    XSetWMNormalHints(display_, window_, hints);
    XFree(hints);
}

void LiveWindow::resize(int width, int stripHeight, int panelHeight)
{
    if (!window_)
        return;
    const int height = stripHeight + panelHeight;
    fixSize(width, height, false, 0, 0);
    XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XResizeWindow(display_, strip_, static_cast<unsigned>(width), static_cast<unsigned>(stripHeight));
    XMoveResizeWindow(display_, panel_, 0, stripHeight, static_cast<unsigned>(width),
                      static_cast<unsigned>(panelHeight));
    XSync(display_, False);  // before the strip's and the panel's windows take their new sizes
}

// The key reaches this window whichever of its children holds the pointer or the focus.
void LiveWindow::grabKey(KeySym key)
{
    const KeyCode code = XKeysymToKeycode(display_, key);
    if (!code)
        return;
    for (unsigned int modifiers : kIgnoredModifiers)
        XGrabKey(display_, code, modifiers, window_, True, GrabModeAsync, GrabModeAsync);
}

void LiveWindow::setTitle(const std::string& title)
{
    XStoreName(display_, window_, title.c_str());
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False),
                    XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    XFlush(display_);
}

void LiveWindow::processEvents()
{
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteMessage_) {
            closeRequested_ = true;
        } else if (event.type == KeyPress) {
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            if (key == XK_Page_Up || key == XK_KP_Page_Up)
                --steps_;
            else if (key == XK_Page_Down || key == XK_KP_Page_Down)
                ++steps_;
        } else if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
            window_ = 0;
            closeRequested_ = true;
        }
    }
}

int LiveWindow::takeProgramSteps()
{
    const int steps = steps_;
    steps_ = 0;
    return steps;
}

bool LiveWindow::position(int& x, int& y)
{
    if (!window_)
        return false;
    // The outermost window below the root: the window manager's frame, or ours.
    Window current = window_;
    for (;;) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display_, current, &root, &parent, &children, &count))
            return false;
        if (children)
            XFree(children);
        if (parent == root || parent == 0)
            break;
        current = parent;
    }
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display_, current, &attributes))
        return false;
    x = attributes.x;
    y = attributes.y;
    return true;
}

}  // namespace live
