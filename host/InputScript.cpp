#include "host/InputScript.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "host/Desktop.h"
#include "host/EditorSession.h"

namespace {

// How long a step waits for the host to idle before it goes on anyway (a modal loop of
// the editor, such as an open pop-up menu, keeps the host from idling).
constexpr std::chrono::seconds kIdleWait{3};
constexpr std::chrono::seconds kShowWait{20};

bool parsePoint(const std::string& text, int32_t& x, int32_t& y)
{
    int n = 0;
    return std::sscanf(text.c_str(), "%d,%d%n", &x, &y, &n) == 2 && size_t(n) == text.size();
}

}  // namespace

bool parseScriptStep(const std::string& option, const std::string& value, ScriptStep& step, std::string& error)
{
    step = ScriptStep{};
    const size_t colon = value.find(':');
    const std::string first = value.substr(0, colon);
    const std::string rest = colon == std::string::npos ? "" : value.substr(colon + 1);
    bool ok = false;
    if (option == "--click" || option == "--right-click") {
        step.kind = option == "--click" ? ScriptStep::Kind::Click : ScriptStep::Kind::RightClick;
        ok = colon == std::string::npos && parsePoint(value, step.x, step.y);
    } else if (option == "--drag") {
        step.kind = ScriptStep::Kind::Drag;
        const size_t second = rest.find(':');
        ok = parsePoint(first, step.x, step.y) && parsePoint(rest.substr(0, second), step.toX, step.toY);
        if (ok && second != std::string::npos)
            ok = std::sscanf(rest.substr(second + 1).c_str(), "%d", &step.steps) == 1 && step.steps > 0 &&
                 step.steps <= 1000;
    } else if (option == "--wheel") {
        step.kind = ScriptStep::Kind::Wheel;
        ok = parsePoint(first, step.x, step.y) && std::sscanf(rest.c_str(), "%d", &step.notches) == 1 &&
             step.notches != 0 && step.notches >= -100 && step.notches <= 100;
    } else if (option == "--screenshot") {
        step.kind = ScriptStep::Kind::Screenshot;
        step.file = value;
        ok = !value.empty();
    }
    if (!ok)
        error = "bad value for " + option + ": '" + value + "'";
    return ok;
}

bool InputScript::run(const std::vector<ScriptStep>& steps, std::string& error)
{
    if (!waitUntilShown()) {
        error = "the editor's window was not shown";
        return false;
    }
    for (const ScriptStep& s : steps) {
        bool ok = false;
        switch (s.kind) {
        case ScriptStep::Kind::Click: ok = click(s, 1); break;
        case ScriptStep::Kind::RightClick: ok = click(s, 3); break;
        case ScriptStep::Kind::Drag: ok = drag(s); break;
        case ScriptStep::Kind::Wheel: ok = wheel(s); break;
        case ScriptStep::Kind::Screenshot: ok = screenshot(s, error); break;
        }
        if (!ok) {
            if (error.empty())
                error = "the input could not be delivered (the window is gone?)";
            return false;
        }
    }
    return true;
}

bool InputScript::waitUntilShown()
{
    const auto deadline = std::chrono::steady_clock::now() + kShowWait;
    while (std::chrono::steady_clock::now() < deadline) {
        const uintptr_t window = session.windowHandle();
        if (window && desktop.isViewable(window)) {
            // The editor's first exposure may take a few idles to be painted.
            waitForIdles(5);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void InputScript::waitForIdles(uint64_t count)
{
    const uint64_t target = session.idleCount() + count;
    const auto deadline = std::chrono::steady_clock::now() + kIdleWait;
    while (session.idleCount() < target && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

bool InputScript::toScreen(int32_t x, int32_t y, int32_t& sx, int32_t& sy)
{
    int32_t ox = 0, oy = 0;
    if (!desktop.clientOrigin(session.windowHandle(), ox, oy))
        return false;
    sx = ox + x;
    sy = oy + y;
    return true;
}

bool InputScript::click(const ScriptStep& s, int32_t button)
{
    int32_t sx = 0, sy = 0;
    if (!toScreen(s.x, s.y, sx, sy) || !desktop.moveTo(sx, sy))
        return false;
    waitForIdles(2);
    desktop.button(button, true);
    waitForIdles(2);
    desktop.button(button, false);
    waitForIdles(2);
    return true;
}

bool InputScript::drag(const ScriptStep& s)
{
    int32_t sx = 0, sy = 0, ex = 0, ey = 0;
    if (!toScreen(s.x, s.y, sx, sy) || !toScreen(s.toX, s.toY, ex, ey) || !desktop.moveTo(sx, sy))
        return false;
    waitForIdles(2);
    desktop.button(1, true);
    waitForIdles(2);
    for (int32_t i = 1; i <= s.steps; ++i) {
        desktop.moveTo(sx + (ex - sx) * i / s.steps, sy + (ey - sy) * i / s.steps);
        waitForIdles(2);
    }
    desktop.button(1, false);
    waitForIdles(2);
    return true;
}

bool InputScript::wheel(const ScriptStep& s)
{
    int32_t sx = 0, sy = 0;
    if (!toScreen(s.x, s.y, sx, sy) || !desktop.moveTo(sx, sy))
        return false;
    waitForIdles(2);
    desktop.wheel(s.notches);
    waitForIdles(2);
    return true;
}

bool InputScript::screenshot(const ScriptStep& s, std::string& error)
{
    waitForIdles(2);
    Picture picture;
    if (!desktop.capture(session.windowHandle(), picture)) {
        error = "cannot take a picture of the editor's window";
        return false;
    }
    return writePng(s.file, picture, error);
}
