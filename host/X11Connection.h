#pragma once

#include <string>

#include <X11/Xlib.h>

// A private X connection for the host's own windows and screenshots. Windows of other
// programs come and go, so errors on it are expected answers: a hook on the connection
// claims them, and no process-wide error handler is touched. Null, with `error` set,
// when there is no display.
Display* openQuietConnection(std::string& error);
