#pragma once
// A plug-in's editor open in a window of the host, the way a careful DAW does it: the
// window is made from the editor's rectangle, the open request gets it as the parent, the
// editor idles at a steady rate together with the window's events, and the editor is
// closed before its window (and before the plug-in).
//
// Everything but idleCount(), windowHandle(), width() and height() belongs to the thread
// that opened it. An editor that asks for another size (audioMasterSizeWindow) gets it.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/EditorWindow.h"

class PluginHost;

class EditorSession {
public:
    // How the host makes its window. Several hosts open the editor in a small unmapped
    // window (1 x 1 here) and size and show it afterwards, a few pixels larger than asked.
    enum class Parent { Sized, SizedLater };
    static constexpr int32_t kLaterMargin = 3;  // the extra pixels of SizedLater

    static std::unique_ptr<EditorSession> open(PluginHost& host, std::string& error, Parent parent = Parent::Sized);
    ~EditorSession();  // close()

    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    int32_t width() const { return editorWidth.load(); }   // the editor's size now
    int32_t height() const { return editorHeight.load(); }
    uintptr_t windowHandle() const { return handle.load(); }  // 0 once the window is gone
    uint64_t idleCount() const { return idles.load(); }       // idles of either kind so far
    bool isEditorOpen() const { return editorOpen; }
    bool closeRequested() const { return window && window->closeRequested(); }

    // What the idle loop keeps time with: the steady clock, or one that a test moves.
    struct Clock {
        using TimePoint = std::chrono::steady_clock::time_point;
        virtual ~Clock() = default;
        virtual TimePoint now() = 0;
        virtual void sleepUntil(TimePoint when) = 0;
    };
    static Clock& steadyClock();

    // The window's events, then the editor's idle request.
    void idle();
    // Idles `rate` times a second on a fixed schedule: idle n is due n / rate seconds after
    // the first, however long each takes (a late one follows at once). Runs every idle due
    // within `seconds` (a negative time: no limit) and then stops as soon as `done`, asked
    // after every idle, answers true; the user closing the window stops it at once.
    void run(double seconds, double rate, const std::function<bool()>& done = {}, Clock& clock = steadyClock());

    // Closes the editor, then destroys the window.
    void close();
    // The plug-in asked for another size of its editor: the window follows.
    bool resize(int32_t width, int32_t height);
    // What a careless host does: the window is destroyed while the editor is still open.
    void destroyWindowFirst();
    // Forgets the editor and the plug-in without closing the editor: what a host does that
    // closes the plug-in with its editor open. Only the window is left to destroy.
    void abandonEditor();

private:
    explicit EditorSession(PluginHost& h) : host(&h) {}
    void hostIdle();  // the plug-in asked the host to idle

    PluginHost* host;  // null once abandoned
    std::unique_ptr<EditorWindow> window;
    std::atomic<int32_t> editorWidth{0};
    std::atomic<int32_t> editorHeight{0};
    int32_t margin = 0;  // what the window has around the editor
    bool editorOpen = false;
    std::atomic<uintptr_t> handle{0};
    std::atomic<uint64_t> idles{0};
};
