#pragma once
// Scripted input for an open editor, as korvalex-host --editor takes it from its command
// line: clicks, drags and wheel turns at editor coordinates, and screenshots, in order.
// The script runs on a thread of its own; after each input it waits until the host has
// idled the editor twice, so that the editor has seen it (a loop that follows the mouse
// idles the host as well).

#include <cstdint>
#include <string>
#include <vector>

class Desktop;
class EditorSession;

struct ScriptStep {
    enum class Kind { Click, RightClick, Drag, Wheel, Screenshot };
    Kind kind = Kind::Click;
    int32_t x = 0, y = 0;    // editor coordinates
    int32_t toX = 0, toY = 0;
    int32_t steps = 10;       // pointer moves of a drag
    int32_t notches = 0;      // wheel, positive away from the user
    std::string file;         // screenshot
};

// Parses the value of one option: "--click X,Y", "--right-click X,Y",
// "--drag X1,Y1:X2,Y2[:STEPS]", "--wheel X,Y:NOTCHES", "--screenshot FILE.png".
bool parseScriptStep(const std::string& option, const std::string& value, ScriptStep& step, std::string& error);

class InputScript {
public:
    InputScript(EditorSession& editorSession, Desktop& screen) : session(editorSession), desktop(screen) {}
    // Waits for the editor's window to be shown, then runs the steps; false (with the
    // reason) at the first step that fails.
    bool run(const std::vector<ScriptStep>& steps, std::string& error);

private:
    bool waitUntilShown();
    void waitForIdles(uint64_t count);
    bool toScreen(int32_t x, int32_t y, int32_t& sx, int32_t& sy);
    bool click(const ScriptStep& s, int32_t button);
    bool drag(const ScriptStep& s);
    bool wheel(const ScriptStep& s);
    bool screenshot(const ScriptStep& s, std::string& error);

    EditorSession& session;
    Desktop& desktop;
};
