// Writes the LV2 bundle's descriptions into the folder given: korvalex-lv2-descriptions DIR.
// A file whose content is unchanged is left as it is.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "lv2/Descriptions.h"

namespace {

bool writeIfChanged(const std::string& path, const std::string& content)
{
    std::ifstream old(path, std::ios::binary);
    std::stringstream current;
    current << old.rdbuf();
    if (old && current.str() == content)
        return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s BUNDLE_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const struct {
        const char* file;
        std::string content;
    } files[] = {
        {lv2ttl::kManifestFile, lv2ttl::manifest()},
        {lv2ttl::kPluginFile, lv2ttl::pluginDescription()},
        {lv2ttl::kPresetsFile, lv2ttl::presets()},
    };
    for (const auto& f : files) {
        if (!writeIfChanged(dir + "/" + f.file, f.content)) {
            std::fprintf(stderr, "%s: cannot write %s/%s\n", argv[0], dir.c_str(), f.file);
            return 1;
        }
    }
    return 0;
}
