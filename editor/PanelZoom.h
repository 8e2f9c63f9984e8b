#pragma once
// The scales the front panel is drawn at, and the user's choice of one, kept for the next
// panel in a small per-user settings file.
//
// The panel's zoom comes, in this order, from the user's choice (made on the panel), else
// from what the host says (a VST host's content scale request, an LV2 host's scale
// factor), else from the desktop's setting.

#include <cstdint>
#include <filesystem>

namespace editor {

constexpr int32_t kZoomLevels[] = {100, 150, 200};
constexpr int32_t kAutomaticZoom = 0;  // no choice made: the host's or the desktop's scale

// The zoom nearest to a scale in percent (a scale halfway between two takes the larger);
// 100 for a scale that is no number or not positive.
int32_t nearestZoom(double percent);

// The user's choice in the settings file: `zoom=150` on a line of its own, other lines
// `key=value` kept as they are.
class ZoomSettings {
public:
    enum class State {
        Missing,    // no file (or no place for one): nothing known
        Automatic,  // a file without a valid choice, or one that cannot be read
        Chosen,
    };

    // $XDG_CONFIG_HOME/korvalex/settings.conf (~/.config/... without it) on Linux,
    // %APPDATA%\Korvalex\settings.conf on Windows; empty when there is no such folder.
    static std::filesystem::path defaultPath();

    explicit ZoomSettings(std::filesystem::path file = defaultPath()) : path(std::move(file)) {}

    // What the file says; `zoom` gets the choice when there is one.
    State read(int32_t& zoom) const;
    // Keeps a choice (kAutomaticZoom takes it out). The file is written under another name
    // and renamed over the old one, so that a reader never sees half of it; false when it
    // cannot be written.
    bool write(int32_t zoom) const;

    const std::filesystem::path& file() const { return path; }

private:
    std::filesystem::path path;
};

}  // namespace editor
