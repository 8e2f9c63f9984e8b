// The window tests' X11 parts: a private Xvfb, pop-up item positions from the menu's
// layout, and the pointer's look through XFixes.

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "gui/platform/x11/PopupMenuLook.h"
#include "tests/window/support/WindowTests.h"

namespace windowtest {

namespace {

pid_t server = 0;

}  // namespace

bool startDisplay(std::string& why, int depth)
{
    if (server)
        return true;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        why = "no pipe";
        return false;
    }
    // Made before the fork: the child of a process with threads may not allocate.
    const std::string fd = std::to_string(pipeEnds[1]);
    const std::string screen = "2048x1280x" + std::to_string(depth);  // room for a panel at 200 %
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test process that dies takes its server along
        close(pipeEnds[0]);
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeEnds[1]);
    if (child < 0) {
        close(pipeEnds[0]);
        why = "cannot start Xvfb";
        return false;
    }
    // The server writes its display number once it accepts connections.
    std::string number;
    char c = 0;
    while (read(pipeEnds[0], &c, 1) == 1 && c != '\n')
        number += c;
    close(pipeEnds[0]);
    if (number.empty()) {
        waitpid(child, nullptr, 0);
        why = "Xvfb did not start (is the xvfb package installed?)";
        return false;
    }
    server = child;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return true;
}

void stopDisplay()
{
    if (!server)
        return;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    server = 0;
}

ScreenRect popupItemOnScreen(Desktop& desktop, size_t level, const gui::platform::PopupMenu& items, size_t index,
                             int32_t scalePercent)
{
    const std::vector<ScreenRect> menus = desktop.popupMenus();
    if (level >= menus.size())
        return ScreenRect{};
    const gui::platform::x11::PopupLayout layout = gui::platform::x11::layoutPopup(items, scalePercent);
    const CRect& r = layout.items[index];
    const ScreenRect& m = menus[level];
    return ScreenRect{m.left + r.left, m.top + r.top, m.left + r.right, m.top + r.bottom};
}

uint64_t cursorSignature()
{
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return 0;
    uint64_t hash = 0;
    if (XFixesCursorImage* image = XFixesGetCursorImage(d)) {
        hash = 1469598103934665603ull;  // FNV-1a over the cursor's size, hot spot and pixels
        auto mix = [&](uint64_t v) {
            hash ^= v;
            hash *= 1099511628211ull;
        };
        mix(image->width);
        mix(image->height);
        mix(image->xhot);
        mix(image->yhot);
        for (size_t i = 0; i < size_t(image->width) * image->height; ++i)
            mix(image->pixels[i]);
        XFree(image);
    }
    XCloseDisplay(d);
    return hash;
}

}  // namespace windowtest
