#pragma once
// A pop-up menu as the toolkit hands it to a window backend: a tree of items, each with
// the id reported when it is chosen.

#include <cstdint>
#include <string>
#include <vector>

namespace gui::platform {

struct PopupItem {
    enum class Kind { Item, Separator, SubMenu };
    Kind kind = Kind::Item;
    std::string label;
    int32_t id = -1;           // reported when an item is chosen
    bool greyed = false;       // shown greyed, cannot be chosen
    bool disabled = false;     // shown normally, cannot be chosen (titles)
    bool checked = false;      // shown with a check mark
    bool columnBreak = false;  // starts a new column
    std::vector<PopupItem> children;  // the items of a sub-menu
};

using PopupMenu = std::vector<PopupItem>;

}  // namespace gui::platform
