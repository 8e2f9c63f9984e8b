#pragma once
// The bundle's descriptions, written from the plug-in's own parameter table and factory
// bank (a program run at build time writes them into the bundle), so that they cannot
// drift from the plug-in: manifest.ttl, the plug-in and its UI (korvalex.ttl), and the
// 82 factory programs as presets (presets.ttl).

#include <string>

namespace lv2ttl {

// The file names inside the bundle.
constexpr const char* kManifestFile = "manifest.ttl";
constexpr const char* kPluginFile = "korvalex.ttl";
constexpr const char* kPresetsFile = "presets.ttl";
constexpr const char* kDspBinary = "korvalex_dsp.so";
constexpr const char* kUiBinary = "korvalex_ui.so";

std::string manifest();
std::string pluginDescription();
std::string presets();

// A parameter port's symbol: its name in lower case, every run of other characters an
// underscore ("Bank A/B" is "bank_a_b"). Hosts save port values by symbol.
std::string parameterSymbol(int index);

}  // namespace lv2ttl
