#pragma once
// Korvalex Live as a whole: the plug-in linked into the program and driven as a host
// drives it, the JACK client, the window with the strip and the front panel (or none),
// the state of the last session, and the main loop that ties them together.

#include "live/LiveOptions.h"

namespace live {

// Runs until the user ends it (window closed, SIGINT, SIGTERM, SIGHUP) or the JACK server
// goes away; answers the exit status.
int runLive(const LiveOptions& options);

}  // namespace live
