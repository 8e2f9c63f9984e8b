#include "live/Paths.h"

#include <cstdlib>

namespace live {

namespace {

// The variable if it holds an absolute path (others are to be ignored), else HOME's folder.
std::string baseFolder(const char* variable, const char* underHome)
{
    const char* value = std::getenv(variable);
    if (value && value[0] == '/')
        return value;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/" + underHome;
    return {};
}

}  // namespace

std::string configFolder()
{
    const std::string base = baseFolder("XDG_CONFIG_HOME", ".config");
    return base.empty() ? base : base + "/korvalex";
}

std::string presetFolder()
{
    const std::string base = baseFolder("XDG_DATA_HOME", ".local/share");
    return base.empty() ? base : base + "/korvalex/presets";
}

}  // namespace live
