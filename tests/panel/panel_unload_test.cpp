// A host that opens the panel and unloads the file again, many times in one process: each
// cycle (load, open the editor in a window, idle, close, unload) must give back the heap,
// threads, file descriptors, thread-local storage keys and X server windows it took, also
// when the host opens the editor a second time without closing it.

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <string>

#include "host/DynamicLibrary.h"
#include "host/EditorSession.h"
#include "host/PluginHost.h"
#include "tests/e2e/ProcessFootprint.h"
#include "tests/window/support/WindowTests.h"

namespace {

constexpr int kSettlingCycles = 20;
constexpr int kMeasuredCycles = 30;
constexpr double kHeapGrowthLimitPerCycle = 1024.0;  // bytes

// Windows on the whole display, however deep.
int countWindows(Display* display, Window window)
{
    Window root, parent;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &count))
        return 0;
    int total = static_cast<int>(count);
    for (unsigned i = 0; i < count; ++i)
        total += countWindows(display, children[i]);
    if (children)
        XFree(children);
    return total;
}

void openAndCloseThePanel(Display* display)
{
    std::string error;
    std::unique_ptr<PluginHost> host = PluginHost::load(KORVALEX_PLUGIN_PATH, error);
    ASSERT_TRUE(host) << error;
    std::unique_ptr<EditorSession> session = EditorSession::open(*host, error);
    ASSERT_TRUE(session) << error;
    host->setParameter(52, 1.0f);  // both pages shown once
    for (int i = 0; i < 3; ++i)
        session->idle();
    // Opened again without a close, as some hosts do: the first panel's window goes at once,
    // and whatever else of it stays behind shows in the heap after the cycles.
    const Window parent = static_cast<Window>(session->windowHandle());
    const int windows = countWindows(display, parent);
    host->editOpen(reinterpret_cast<void*>(session->windowHandle()));
    session->idle();
    EXPECT_EQ(countWindows(display, parent), windows) << "windows in the host's window after opening again";
    session->close();
}

TEST(PanelLoadUnload, OpeningThePanelAndUnloadingLeaveNothingBehind)
{
    std::string why;
    ASSERT_TRUE(windowtest::startDisplay(why)) << why;
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    auto cycle = [&](int cycles) {
        for (int i = 0; i < cycles; ++i) {
            openAndCloseThePanel(display);
            ASSERT_FALSE(::testing::Test::HasFailure()) << "in cycle " << i;
            ASSERT_FALSE(DynamicLibrary::isLoaded(KORVALEX_PLUGIN_PATH)) << "the file stays loaded";
        }
    };
    cycle(kSettlingCycles);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    const ProcessFootprint before = ProcessFootprint::measure();
    const int windowsBefore = countWindows(display, DefaultRootWindow(display));
    cycle(kMeasuredCycles);
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    const ProcessFootprint after = ProcessFootprint::measure();
    const int windowsAfter = countWindows(display, DefaultRootWindow(display));

    const double growth = static_cast<double>(after.heapInUse - before.heapInUse) / kMeasuredCycles;
    EXPECT_LT(growth, kHeapGrowthLimitPerCycle) << "heap in use " << before.heapInUse << " -> " << after.heapInUse;
    EXPECT_LE(after.threads, before.threads);
    EXPECT_LE(after.openHandles, before.openHandles) << "file descriptors (display connections) left open";
    EXPECT_LE(after.firstFreeThreadKey, before.firstFreeThreadKey);
    EXPECT_EQ(windowsAfter, windowsBefore) << "windows left on the X server";
    XCloseDisplay(display);
    windowtest::stopDisplay();
}

}  // namespace
