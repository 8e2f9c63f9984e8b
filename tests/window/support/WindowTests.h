#pragma once
// Support of the window tests: a display to show windows on, the test plug-in's editor
// run by the host library on a thread of its own (as DAWs run editors on a GUI thread),
// the scene's report, and waiting for conditions with a generous upper bound.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "gui/platform/PopupMenu.h"
#include "host/Desktop.h"
#include "host/EditorSession.h"

class PluginHost;

namespace windowtest {

// Waits until `condition` holds, checking every millisecond, for at most `bound`.
bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds bound = std::chrono::seconds(30));

// Linux: starts a private Xvfb (a free display number chosen by the server) for this test
// process and points DISPLAY at it. Windows (under Wine): the display Wine runs on, when
// KORVALEX_DISPLAY_TESTS=1 says there is one. False (with the reason) when there is none.
// Linux: the screen's depth in bits may be chosen (24 or 16).
bool startDisplay(std::string& why, int depth = 24);
void stopDisplay();

// The lines the test plug-in's scene writes.
class SceneReport {
public:
    SceneReport();  // a fresh file, named in KORVALEX_SCENE_REPORT for the plug-in
    ~SceneReport();
    std::vector<std::string> lines() const;
    bool has(const std::string& line) const;
    // Waits until a line starting with `prefix` appears after the first `from` lines;
    // answers it, or "" when none came.
    std::string waitForLine(const std::string& prefix, size_t from = 0) const;
    const std::string& path() const { return file; }

private:
    std::string file;
};

// How the editor thread ends.
enum class Ending {
    CloseEditorFirst,  // the careful order: editor, window, plug-in
    ClosePluginOnly,   // the plug-in is closed with its editor still open
};

// The test plug-in loaded and its editor opened by the host library on a thread of its
// own, idled 60 times a second until the test ends it. With a content scale, the host
// tells the plug-in the display's scale (as some hosts do) before the editor opens.
class EditorThread {
public:
    EditorThread(const std::string& pluginPath, EditorSession::Parent parent, float contentScale = 0.0f);
    ~EditorThread();  // end(CloseEditorFirst) unless ended

    bool opened() const { return openOk; }
    const std::string& error() const { return openError; }
    uintptr_t window() const;
    uint64_t idles() const;
    // Sets a parameter from the calling thread, as automation on another thread does.
    void setParameterHere(int32_t index, float value);
    // Runs `task` on the editor thread between two idles and waits for it.
    void run(const std::function<void(PluginHost&, EditorSession&)>& task);
    void end(Ending how);
    bool ended() const { return finished; }

private:
    void main(std::string path, EditorSession::Parent parent, float contentScale);

    std::thread thread;
    mutable std::mutex lock;
    std::condition_variable changed;
    std::deque<std::function<void(PluginHost&, EditorSession&)>> tasks;
    bool started = false;
    bool openOk = false;
    std::string openError;
    bool stopping = false;
    Ending ending = Ending::CloseEditorFirst;
    bool finished = false;
    std::atomic<EditorSession*> session{nullptr};
    std::atomic<PluginHost*> plugin{nullptr};
};

// Platform parts: the item rectangles of an open pop-up menu level (the newest is the
// last of Desktop::popupMenus), and what the pointer looks like now.
ScreenRect popupItemOnScreen(Desktop& desktop, size_t level, const gui::platform::PopupMenu& items, size_t index,
                             int32_t scalePercent = 100);
uint64_t cursorSignature();

// The items of the zoom menu a panel opens on its logo, for their places on screen, on a
// desktop at 100 % that no host scales.
gui::platform::PopupMenu zoomMenuItems();

inline int32_t centreX(const ScreenRect& r) { return (r.left + r.right) / 2; }
inline int32_t centreY(const ScreenRect& r) { return (r.top + r.bottom) / 2; }

}  // namespace windowtest
