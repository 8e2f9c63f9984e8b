#pragma once
// Where Korvalex Live keeps its files, by the XDG base directory rules: the state of the
// last session under $XDG_CONFIG_HOME/korvalex/ (~/.config/korvalex/), the user's presets
// under $XDG_DATA_HOME/korvalex/presets/ (~/.local/share/korvalex/presets/).

#include <string>

namespace live {

// Empty when neither the XDG variable nor HOME gives a folder.
std::string configFolder();
std::string presetFolder();

}  // namespace live
