#include "host/EditorSession.h"

#include <chrono>
#include <thread>

#include "host/PluginHost.h"

std::unique_ptr<EditorSession> EditorSession::open(PluginHost& host, std::string& error, Parent parent)
{
    if (!(host.effect()->flags & effFlagsHasEditor)) {
        error = "the plug-in has no editor";
        return nullptr;
    }
    ERect* rect = nullptr;
    if (!host.editGetRect(&rect) || !rect || rect->right <= rect->left || rect->bottom <= rect->top) {
        error = "the plug-in gives no editor rectangle";
        return nullptr;
    }
    std::unique_ptr<EditorSession> session(new EditorSession(host));
    session->editorWidth = rect->right - rect->left;
    session->editorHeight = rect->bottom - rect->top;
    const bool later = parent == Parent::SizedLater;
    session->window = later ? EditorWindow::create(1, 1, host.effectName(), error, true)
                            : EditorWindow::create(session->editorWidth, session->editorHeight, host.effectName(), error);
    if (!session->window)
        return nullptr;
    session->handle = session->window->nativeHandle();
    session->margin = later ? kLaterMargin : 0;
    host.setIdleHandler([s = session.get()] { s->hostIdle(); });
    host.setSizeWindowHandler([s = session.get()](int32_t w, int32_t h) { return s->resize(w, h); });
    host.editOpen(session->window->parentHandle());
    session->editorOpen = true;
    // Some editors know their size only once open.
    if (host.editGetRect(&rect) && rect && rect->right > rect->left && rect->bottom > rect->top) {
        session->editorWidth = rect->right - rect->left;
        session->editorHeight = rect->bottom - rect->top;
    }
    if (later)
        session->window->show(session->width() + kLaterMargin, session->height() + kLaterMargin);
    return session;
}

bool EditorSession::resize(int32_t width, int32_t height)
{
    constexpr int32_t kLargest = 16384;
    if (!window || width <= 0 || height <= 0 || width > kLargest || height > kLargest)
        return false;
    editorWidth = width;
    editorHeight = height;
    window->show(width + margin, height + margin);
    return true;
}

EditorSession::~EditorSession() { close(); }

void EditorSession::idle()
{
    if (window)
        window->processEvents();
    if (editorOpen)
        host->editIdle();
    ++idles;
}

void EditorSession::hostIdle()
{
    if (window)
        window->processEvents();
    ++idles;
}

EditorSession::Clock& EditorSession::steadyClock()
{
    struct Steady : Clock {
        TimePoint now() override { return std::chrono::steady_clock::now(); }
        void sleepUntil(TimePoint when) override { std::this_thread::sleep_until(when); }
    };
    static Steady clock;
    return clock;
}

void EditorSession::run(double seconds, double rate, const std::function<bool()>& done, Clock& clock)
{
    const Clock::TimePoint start = clock.now();
    for (uint64_t n = 1;; ++n) {
        idle();
        if (closeRequested())
            return;
        const bool finished = !done || done();
        if (finished && seconds >= 0 && static_cast<double>(n) / rate > seconds)
            return;
        const std::chrono::duration<double> due(static_cast<double>(n) / rate);
        clock.sleepUntil(start + std::chrono::duration_cast<Clock::TimePoint::duration>(due));
    }
}

void EditorSession::close()
{
    if (host && editorOpen)
        host->editClose();
    editorOpen = false;
    if (host) {
        host->setIdleHandler(nullptr);
        host->setSizeWindowHandler(nullptr);
    }
    host = nullptr;
    if (window)
        window->destroy();
    window.reset();
    handle = 0;
}

void EditorSession::destroyWindowFirst()
{
    if (window)
        window->destroy();
    handle = 0;
}

void EditorSession::abandonEditor()
{
    editorOpen = false;
    if (host) {
        host->setIdleHandler(nullptr);
        host->setSizeWindowHandler(nullptr);
    }
    host = nullptr;
}
