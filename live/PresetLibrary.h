#pragma once
// The user's presets: the program files (.fxp) in the preset folder, known by their file
// names without the extension.

#include <string>
#include <vector>

namespace live {

class PresetLibrary {
public:
    explicit PresetLibrary(std::string folder) : folder_(std::move(folder)) {}

    const std::string& folder() const { return folder_; }
    // Reads the folder again; its .fxp files sorted by name, letter case ignored.
    void rescan();
    const std::vector<std::string>& names() const { return names_; }
    int indexOf(const std::string& name) const;
    std::string pathOf(const std::string& name) const { return folder_ + "/" + name + ".fxp"; }
    // The name of the preset at `path` when the file lies in the folder, else empty.
    std::string nameOf(const std::string& path) const;
    // A name for a new preset: `base` made fit for a file name, with " 2", " 3"... added
    // while a preset of that name exists.
    std::string freeName(const std::string& base) const;

private:
    std::string folder_;
    std::vector<std::string> names_;
};

}  // namespace live
