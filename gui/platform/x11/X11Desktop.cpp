#include "gui/platform/x11/X11Desktop.h"

#include <X11/Xlib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gui/platform/PlatformWindow.h"
#include "gui/platform/x11/X11Display.h"

namespace gui::platform {

namespace x11 {

namespace {

constexpr double kDesignDpi = 96.0;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

int32_t scaleFromResources(const char* resources)
{
    static const char kName[] = "Xft.dpi";
    for (const char* line = resources; line && *line;) {
        const char* end = std::strchr(line, '\n');
        const char* p = line;
        while (isBlank(*p))
            ++p;
        if (std::strncmp(p, kName, sizeof kName - 1) == 0) {
            p += sizeof kName - 1;
            while (isBlank(*p))
                ++p;
            if (*p == ':') {
                char* after = nullptr;
                const double dpi = std::strtod(p + 1, &after);
                if (after != p + 1 && std::isfinite(dpi) && dpi >= kDesignDpi / 4 && dpi <= kDesignDpi * 8)
                    return static_cast<int32_t>(std::lround(dpi * 100.0 / kDesignDpi));
            }
        }
        line = end ? end + 1 : nullptr;
    }
    return 100;
}

}  // namespace x11

// The resources the desktop loaded into the server (xrdb), read on a connection of its own.
int32_t desktopScalePercent(void*)
{
    x11::X11Display connection;
    if (!connection.isOpen())
        return 100;
    return x11::scaleFromResources(XResourceManagerString(connection.get()));
}

}  // namespace gui::platform
