#include "host/X11Connection.h"

// Declares the per-connection error hook (XESetError).
#include <X11/Xlibint.h>

namespace {

int ignoreError(Display*, xError*, XExtCodes*, int* result)
{
    *result = 0;
    return 1;
}

}  // namespace

Display* openQuietConnection(std::string& error)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        error = "cannot open the X display (is DISPLAY set?)";
        return nullptr;
    }
    if (XExtCodes* codes = XAddExtension(display))
        XESetError(display, codes->extension, ignoreError);
    return display;
}
