#include "tests/window/support/WindowTests.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

#if defined(_WIN32)
#include <process.h>
#define processId _getpid
#else
#include <unistd.h>
#define processId getpid
#endif

#include "host/EditorSession.h"
#include "host/PluginHost.h"

namespace windowtest {

bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds bound)
{
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// ---- the scene's report -------------------------------------------------------------

namespace {

// A file of its own for each report of each test process.
std::string reportPath()
{
    static int counter = 0;
#if defined(_WIN32)
    const char* dir = std::getenv("TEMP");
    const std::string base = dir && *dir ? dir : ".";
#else
    const char* dir = std::getenv("TMPDIR");
    const std::string base = dir && *dir ? dir : "/tmp";
#endif
    return base + "/korvalex-scene-" + std::to_string(processId()) + "-" + std::to_string(++counter) + ".txt";
}

void setEnvironment(const char* name, const std::string& value)
{
#if defined(_WIN32)
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

}  // namespace

SceneReport::SceneReport() : file(reportPath())
{
    std::remove(file.c_str());
    setEnvironment("KORVALEX_SCENE_REPORT", file);
}

SceneReport::~SceneReport() { std::remove(file.c_str()); }

std::vector<std::string> SceneReport::lines() const
{
    std::vector<std::string> result;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line.back() == '\r')
            result.push_back(line.substr(0, line.size() - 1));
        else
            result.push_back(line);
    return result;
}

bool SceneReport::has(const std::string& line) const
{
    for (const std::string& l : lines())
        if (l == line)
            return true;
    return false;
}

std::string SceneReport::waitForLine(const std::string& prefix, size_t from) const
{
    std::string found;
    waitUntil([&] {
        const std::vector<std::string> all = lines();
        for (size_t i = from; i < all.size(); ++i)
            if (all[i].compare(0, prefix.size(), prefix) == 0) {
                found = all[i];
                return true;
            }
        return false;
    });
    return found;
}

// ---- the editor thread ------------------------------------------------------------------

EditorThread::EditorThread(const std::string& pluginPath, EditorSession::Parent parent, float contentScale)
{
    thread = std::thread([this, pluginPath, parent, contentScale] { main(pluginPath, parent, contentScale); });
    std::unique_lock<std::mutex> hold(lock);
    changed.wait(hold, [this] { return started; });
}

EditorThread::~EditorThread()
{
    if (!finished)
        end(Ending::CloseEditorFirst);
}

uintptr_t EditorThread::window() const
{
    EditorSession* s = session.load();
    return s ? s->windowHandle() : 0;
}

uint64_t EditorThread::idles() const
{
    EditorSession* s = session.load();
    return s ? s->idleCount() : 0;
}

void EditorThread::setParameterHere(int32_t index, float value)
{
    if (PluginHost* h = plugin.load())
        h->setParameter(index, value);
}

void EditorThread::run(const std::function<void(PluginHost&, EditorSession&)>& task)
{
    std::unique_lock<std::mutex> hold(lock);
    if (finished || !openOk)
        return;
    std::atomic<bool> done{false};
    tasks.push_back([&](PluginHost& h, EditorSession& s) {
        task(h, s);
        done = true;
    });
    changed.wait(hold, [&] { return done || finished; });
}

void EditorThread::end(Ending how)
{
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
        ending = how;
    }
    if (thread.joinable())
        thread.join();
}

void EditorThread::main(std::string path, EditorSession::Parent parent, float contentScale)
{
    std::string error;
    std::unique_ptr<PluginHost> host = PluginHost::load(path, error);
    if (host && contentScale > 0.0f)
        host->setContentScale(contentScale);
    std::unique_ptr<EditorSession> editor = host ? EditorSession::open(*host, error, parent) : nullptr;
    {
        std::lock_guard<std::mutex> hold(lock);
        started = true;
        openOk = editor != nullptr;
        openError = error;
        session = editor.get();
        plugin = host.get();
        if (!openOk)
            finished = true;
    }
    changed.notify_all();
    if (!openOk)
        return;
    const auto period = std::chrono::microseconds(1000000 / 60);
    auto next = std::chrono::steady_clock::now();
    for (;;) {
        editor->idle();
        std::unique_lock<std::mutex> hold(lock);
        while (!tasks.empty()) {
            auto task = std::move(tasks.front());
            tasks.pop_front();
            hold.unlock();
            task(*host, *editor);
            hold.lock();
            changed.notify_all();
        }
        if (stopping)
            break;
        hold.unlock();
        next += period;
        std::this_thread::sleep_until(next);
    }
    switch (ending) {
    case Ending::CloseEditorFirst:
        editor->close();
        break;
    case Ending::ClosePluginOnly:
        plugin = nullptr;
        editor->abandonEditor();
        host.reset();  // the plug-in closes its own editor
        break;
    }
    session = nullptr;
    plugin = nullptr;
    editor.reset();
    host.reset();
    std::lock_guard<std::mutex> hold(lock);
    finished = true;
    changed.notify_all();
}

gui::platform::PopupMenu zoomMenuItems()
{
    gui::platform::PopupMenu items(6);
    const char* labels[] = {"Zoom", "100%", "150%", "200%", "", "Automatic (100%)"};
    for (size_t i = 0; i < items.size(); ++i)
        items[i].label = labels[i];
    items[0].disabled = true;
    items[4].kind = gui::platform::PopupItem::Kind::Separator;
    return items;
}

}  // namespace windowtest
