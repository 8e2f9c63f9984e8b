#include "host/EditorWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "host/X11Connection.h"

namespace {

class X11EditorWindow : public EditorWindow {
public:
    ~X11EditorWindow() override
    {
        destroy();
        if (display)
            XCloseDisplay(display);
    }

    bool open(int32_t width, int32_t height, const std::string& title, std::string& error, bool hidden)
    {
        display = openQuietConnection(error);
        if (!display)
            return false;
        const int screen = DefaultScreen(display);
        window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 0, BlackPixel(display, screen),
                                     BlackPixel(display, screen));
        XStoreName(display, window, title.c_str());
        fixSize(width, height);
        deleteMessage = XInternAtom(display, "WM_DELETE_WINDOW", False);
        XSetWMProtocols(display, window, &deleteMessage, 1);
        XSelectInput(display, window, StructureNotifyMask);
        if (!hidden)
            XMapWindow(display, window);
        XSync(display, False);  // the editor's own connection must find the window
        return true;
    }

    void show(int32_t width, int32_t height) override
    {
        if (!window)
            return;
        fixSize(width, height);
        XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XMapWindow(display, window);
        XSync(display, False);
    }

    void* parentHandle() override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }

    void processEvents() override
    {
        while (window && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteMessage)
                closing = true;
        }
    }

    bool closeRequested() const override { return closing; }

    void destroy() override
    {
        if (!window)
            return;
        XDestroyWindow(display, window);
        XSync(display, False);
        window = 0;
    }

    bool exists() const override { return window != 0; }

private:
    void fixSize(int32_t width, int32_t height)
    {
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(display, window, hints);
        XFree(hints);
    }

    Display* display = nullptr;
    Window window = 0;
    Atom deleteMessage = 0;
    bool closing = false;
};

}  // namespace

std::unique_ptr<EditorWindow> EditorWindow::create(int32_t width, int32_t height, const std::string& title,
                                                   std::string& error, bool hidden)
{
    auto window = std::make_unique<X11EditorWindow>();
    if (!window->open(width, height, title, error, hidden))
        return nullptr;
    return window;
}
