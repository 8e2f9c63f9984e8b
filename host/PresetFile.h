#pragma once
// VST 2 program files (.fxp) of parameter values, the preset format every VST 2 host reads
// and writes: a 56-byte big-endian header ("CcnK", size, "FxCk", version, the plug-in's
// ID and version, the number of parameters, a 28-byte name) and one big-endian float per
// parameter. Reading checks everything before anything is used, so a file that is not a
// complete program of the expected plug-in changes nothing.

#include <cstdint>
#include <string>
#include <vector>

#include "vst/vst2.h"

class PluginHost;

struct ProgramPreset {
    VstInt32 pluginId = 0;       // the plug-in's unique ID (fxID)
    VstInt32 pluginVersion = 0;  // fxVersion
    std::string name;            // at most kPresetNameLength characters
    std::vector<float> values;   // normalized, by parameter index
};

constexpr std::size_t kPresetNameLength = 27;  // the name field holds 28 bytes with its NUL
constexpr std::size_t kPresetHeaderSize = 56;

// The file's bytes as a program of parameter values, or false with the reason (a sentence
// fragment such as "is truncated: ..."; the caller puts the file's name before it).
bool parsePresetFile(const std::vector<unsigned char>& bytes, ProgramPreset& preset, std::string& reason);
std::vector<unsigned char> encodePresetFile(const ProgramPreset& preset);

// Reads and parses a file; false with a message that names the file.
bool readPresetFile(const std::string& path, ProgramPreset& preset, std::string& error);
// Writes the file whole or not at all: a temporary file beside it, renamed over it.
bool writePresetFile(const std::string& path, const ProgramPreset& preset, std::string& error);

// Whether the preset belongs to this plug-in (its ID and number of parameters); false with
// the reason otherwise.
bool presetFitsPlugin(const ProgramPreset& preset, VstInt32 uniqueId, VstInt32 numParams, std::string& reason);

// The plug-in's current program as a preset, and a preset applied to the current program
// (every value, then the name), as hosts load program files.
ProgramPreset capturePreset(PluginHost& host);
void applyPreset(PluginHost& host, const ProgramPreset& preset);
