// korvalex-live: the Korvalex guitar amplifier as a real-time program on JACK.

#include <cstdio>
#include <string>
#include <vector>

#include "live/LiveApp.h"
#include "live/LiveOptions.h"

#ifndef KORVALEX_VERSION
#define KORVALEX_VERSION "unknown"
#endif

int main(int argc, char** argv)
{
    using namespace live;
    LiveOptions options;
    try {
        options = parseLiveOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "korvalex-live: %s\nTry 'korvalex-live --help' for more information.\n", error.what());
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(liveUsageText().c_str(), stdout);
        return kExitSuccess;
    }
    if (options.version) {
        std::printf("korvalex-live %s\n", KORVALEX_VERSION);
        return kExitSuccess;
    }
    return runLive(options);
}
