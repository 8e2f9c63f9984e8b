#pragma once
// Korvalex Live's window (X11): a top-level window holding two areas, the strip above and
// the plug-in's front panel below, each a child window that the toolkit's frame or the
// plug-in's editor opens its own window in. Page Up and Page Down are taken for the
// program steps wherever the pointer is. Every call on the thread that opened it.

#include <X11/Xlib.h>

#include <memory>
#include <string>

namespace live {

class LiveWindow {
public:
    struct Position {
        bool given = false;
        int x = 0;
        int y = 0;
    };

    // Null, with `error` set, when there is no display.
    static std::unique_ptr<LiveWindow> open(int width, int stripHeight, int panelHeight, Position position,
                                            std::string& error);
    ~LiveWindow();

    LiveWindow(const LiveWindow&) = delete;
    LiveWindow& operator=(const LiveWindow&) = delete;

    // The parents for the strip's frame and the plug-in's editor.
    void* stripArea() const { return handleOf(strip_); }
    void* panelArea() const { return handleOf(panel_); }
    Window topLevel() const { return window_; }

    // New sizes for the areas (the front panel's zoom changed): the window takes their
    // size, keeping its place.
    void resize(int width, int stripHeight, int panelHeight);
    void setTitle(const std::string& title);
    // Handles the window's events: the close request and the program keys.
    void processEvents();
    bool closeRequested() const { return closeRequested_; }
    // Program steps asked for by keys since the last call (Page Down +1, Page Up -1).
    int takeProgramSteps();
    // Where the window (with the window manager's frame, if any) lies on the screen.
    bool position(int& x, int& y);

private:
    LiveWindow() = default;
    bool create(int width, int stripHeight, int panelHeight, Position position, std::string& error);
    void grabKey(KeySym key);
    void fixSize(int width, int height, bool placed, int x, int y);
    static void* handleOf(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

    Display* display_ = nullptr;
    Window window_ = 0;
    Window strip_ = 0;
    Window panel_ = 0;
    Atom deleteMessage_ = 0;
    bool closeRequested_ = false;
    int steps_ = 0;
};

}  // namespace live
