#include "live/Paths.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
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

std::string dataFolder(const char* name)
{
    const std::string base = baseFolder("XDG_DATA_HOME", ".local/share");
    return base.empty() ? base : base + "/korvalex/" + name;
}

}  // namespace

std::string configFolder()
{
    const std::string base = baseFolder("XDG_CONFIG_HOME", ".config");
    return base.empty() ? base : base + "/korvalex";
}

std::string presetFolder() { return dataFolder("presets"); }

std::string cabinetFolder() { return dataFolder("cabinets"); }

std::vector<std::string> filesIn(const std::string& folder, const std::function<bool(const std::string&)>& accept)
{
    std::vector<std::string> names;
    DIR* listing = opendir(folder.c_str());
    if (!listing)
        return names;
    while (const dirent* entry = readdir(listing)) {
        const std::string file = entry->d_name;
        if (file[0] == '.' || !accept(file))
            continue;
        struct stat status{};
        if (stat((folder + "/" + file).c_str(), &status) == 0 && S_ISREG(status.st_mode))
            names.push_back(file);
    }
    closedir(listing);
    return names;
}

void sortNames(std::vector<std::string>& names)
{
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int order = strcasecmp(a.c_str(), b.c_str());
        return order != 0 ? order < 0 : a < b;
    });
}

}  // namespace live
