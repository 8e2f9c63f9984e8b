#pragma once
// Where Korvalex Live keeps its files, by the XDG base directory rules: the state of the
// last session under $XDG_CONFIG_HOME/korvalex/ (~/.config/korvalex/), the user's presets
// under $XDG_DATA_HOME/korvalex/presets/ (~/.local/share/korvalex/presets/) and their
// cabinet impulse responses under $XDG_DATA_HOME/korvalex/cabinets/.

#include <functional>
#include <string>
#include <vector>

namespace live {

// Empty when neither the XDG variable nor HOME gives a folder.
std::string configFolder();
std::string presetFolder();
std::string cabinetFolder();

// The names of the regular files in `folder` that `accept` takes (hidden files left out),
// in no order; none when the folder cannot be read.
std::vector<std::string> filesIn(const std::string& folder, const std::function<bool(const std::string&)>& accept);
// Sorts names as the menus list them: letter case ignored (names that differ only in case
// in byte order).
void sortNames(std::vector<std::string>& names);

}  // namespace live
