#include "live/PresetLibrary.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>

#include "host/PresetFile.h"
#include "live/Paths.h"

namespace live {

namespace {

constexpr const char* kExtension = ".fxp";
constexpr std::size_t kExtensionLength = 4;

bool hasExtension(const std::string& file)
{
    return file.size() > kExtensionLength &&
           strcasecmp(file.c_str() + file.size() - kExtensionLength, kExtension) == 0;
}

}  // namespace

void PresetLibrary::rescan()
{
    names_ = filesIn(folder_, hasExtension);
    for (std::string& name : names_)
        name.resize(name.size() - kExtensionLength);
    sortNames(names_);
}

int PresetLibrary::indexOf(const std::string& name) const
{
    const auto found = std::find(names_.begin(), names_.end(), name);
    return found == names_.end() ? -1 : static_cast<int>(found - names_.begin());
}

std::string PresetLibrary::nameOf(const std::string& path) const
{
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat a{}, b{};
    if (!hasExtension(file) || stat(folder.c_str(), &a) != 0 || stat(folder_.c_str(), &b) != 0 ||
        a.st_dev != b.st_dev || a.st_ino != b.st_ino)
        return {};
    return file.substr(0, file.size() - kExtensionLength);
}

std::string PresetLibrary::freeName(const std::string& base) const
{
    std::string name;
    for (char c : base)
        name += (c == '/' || static_cast<unsigned char>(c) < 32) ? '-' : c;
    while (!name.empty() && (name[0] == '.' || name[0] == ' ' || name[0] == '-'))
        name.erase(0, 1);
    if (name.empty())
        name = "Preset";
    name = name.substr(0, kPresetNameLength);
    std::string candidate = name;
    for (int n = 2; indexOf(candidate) >= 0; ++n) {
        const std::string suffix = " " + std::to_string(n);
        candidate = name.substr(0, kPresetNameLength - suffix.size()) + suffix;
    }
    return candidate;
}

}  // namespace live
