#include "editor/PanelZoom.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace editor {

namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kMaxFileSize = 64 * 1024;  // a settings file is a few lines; more is damage
constexpr char kZoomKey[] = "zoom";
constexpr char kHeader[] = "# Korvalex: the front panel's settings, written by the panel.\n";

bool isZoomLevel(long zoom)
{
    for (int32_t level : kZoomLevels)
        if (zoom == level)
            return true;
    return false;
}

bool isKeyCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == '-';
}

// "key=value" with a key of letters, digits and _ . - and a value of printable text.
bool parseLine(const std::string& line, std::string& key, std::string& value)
{
    const size_t equals = line.find('=');
    if (equals == 0 || equals == std::string::npos)
        return false;
    key = line.substr(0, equals);
    value = line.substr(equals + 1);
    for (char c : key)
        if (!isKeyCharacter(c))
            return false;
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return false;
    return true;
}

// The file's lines; false when it cannot be read whole or is too large to be ours.
bool readLines(const fs::path& path, std::vector<std::string>& lines)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kMaxFileSize)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || text.size() != size)
        return false;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return true;
}

// A name beside the file for writing it, unlike any other writer's.
fs::path temporaryName(const fs::path& path)
{
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const size_t thread = std::hash<std::thread::id>{}(std::this_thread::get_id());
    fs::path temporary = path;
    temporary += ".tmp-" + std::to_string(thread ^ static_cast<size_t>(now));
    return temporary;
}

}  // namespace

int32_t nearestZoom(double percent)
{
    if (!(percent > 0.0) || !std::isfinite(percent))
        return kZoomLevels[0];
    int32_t best = kZoomLevels[0];
    for (int32_t level : kZoomLevels)
        if (std::fabs(percent - level) <= std::fabs(percent - best))
            best = level;
    return best;
}

fs::path ZoomSettings::defaultPath()
{
#ifdef _WIN32
    const wchar_t* appData = _wgetenv(L"APPDATA");
    if (!appData || !*appData)
        return {};
    return fs::path(appData) / "Korvalex" / "settings.conf";
#else
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/')
        return fs::path(config) / "korvalex" / "settings.conf";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return fs::path(home) / ".config" / "korvalex" / "settings.conf";
    return {};
#endif
}

ZoomSettings::State ZoomSettings::read(int32_t& zoom) const
{
    std::error_code error;
    if (path.empty() || (!fs::exists(path, error) && !error))
        return State::Missing;
    std::vector<std::string> lines;
    if (!readLines(path, lines))
        return State::Automatic;
    State state = State::Automatic;
    std::string key, value;
    for (const std::string& line : lines) {
        if (!parseLine(line, key, value) || key != kZoomKey)
            continue;
        char* end = nullptr;
        const long chosen = std::strtol(value.c_str(), &end, 10);
        const bool valid = !value.empty() && *end == '\0' && isZoomLevel(chosen);
        state = valid ? State::Chosen : State::Automatic;  // the last line of the key counts
        if (valid)
            zoom = static_cast<int32_t>(chosen);
    }
    return state;
}

bool ZoomSettings::write(int32_t zoom) const
{
    if (path.empty())
        return false;
    std::string text = kHeader;
    std::vector<std::string> lines;
    std::string key, value;
    if (readLines(path, lines))
        for (const std::string& line : lines)
            if (parseLine(line, key, value) && key != kZoomKey)
                text += line + "\n";
    if (isZoomLevel(zoom))
        text += std::string(kZoomKey) + "=" + std::to_string(zoom) + "\n";

    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    const fs::path temporary = temporaryName(path);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            return false;
        }
    }
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace editor
