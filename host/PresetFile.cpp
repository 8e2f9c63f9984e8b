#include "host/PresetFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/FileIO.h"
#include "host/PluginHost.h"

namespace {

constexpr std::size_t kNameField = kPresetNameLength + 1;
// Larger than any program of parameter values a plug-in could have (1 MB of floats).
constexpr VstInt32 kMaxParams = 1 << 18;

VstInt32 fourCC(const char (&text)[5])
{
    return static_cast<VstInt32>((uint32_t(uint8_t(text[0])) << 24) | (uint32_t(uint8_t(text[1])) << 16) |
                                 (uint32_t(uint8_t(text[2])) << 8) | uint32_t(uint8_t(text[3])));
}

uint32_t bigEndian32(const std::vector<unsigned char>& bytes, std::size_t at)
{
    return (uint32_t(bytes[at]) << 24) | (uint32_t(bytes[at + 1]) << 16) | (uint32_t(bytes[at + 2]) << 8) |
           uint32_t(bytes[at + 3]);
}

void putBigEndian32(std::vector<unsigned char>& bytes, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(static_cast<unsigned char>(value >> shift));
}

float floatFromBits(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Offsets of the header's fields.
enum : std::size_t {
    kChunkMagic = 0,
    kByteSize = 4,
    kFxMagic = 8,
    kVersion = 12,
    kFxId = 16,
    kFxVersion = 20,
    kNumParams = 24,
    kName = 28,
};

}  // namespace

bool parsePresetFile(const std::vector<unsigned char>& bytes, ProgramPreset& preset, std::string& reason)
{
    if (bytes.size() < kFxMagic + 4 || bigEndian32(bytes, kChunkMagic) != uint32_t(fourCC("CcnK"))) {
        reason = "is not a VST preset file (it does not begin with \"CcnK\")";
        return false;
    }
    const uint32_t kind = bigEndian32(bytes, kFxMagic);
    if (kind == uint32_t(fourCC("FxBk")) || kind == uint32_t(fourCC("FBCh"))) {
        reason = "is a bank of programs (.fxb), not a single program (.fxp)";
        return false;
    }
    if (kind == uint32_t(fourCC("FPCh"))) {
        reason = "holds a plug-in's opaque chunk, not parameter values";
        return false;
    }
    if (kind != uint32_t(fourCC("FxCk"))) {
        reason = "is not a VST program file (unknown kind \"" + fourCharacters(static_cast<VstInt32>(kind)) + "\")";
        return false;
    }
    if (bytes.size() < kPresetHeaderSize) {
        reason = "is truncated: " + std::to_string(bytes.size()) + " bytes, shorter than the " +
                 std::to_string(kPresetHeaderSize) + "-byte header";
        return false;
    }
    const uint32_t version = bigEndian32(bytes, kVersion);
    if (version != 1 && version != 2) {
        reason = "has an unknown format version (" + std::to_string(version) + ")";
        return false;
    }
    const auto count = static_cast<VstInt32>(bigEndian32(bytes, kNumParams));
    if (count < 0 || count > kMaxParams) {
        reason = "is damaged: it claims " + std::to_string(count) + " parameters";
        return false;
    }
    // The size field is not trusted (hosts disagree about it); the file's real size is.
    const std::size_t needed = kPresetHeaderSize + 4 * static_cast<std::size_t>(count);
    if (bytes.size() < needed) {
        reason = "is truncated: " + std::to_string(count) + " parameter values need " + std::to_string(needed) +
                 " bytes, the file has " + std::to_string(bytes.size());
        return false;
    }
    ProgramPreset read;
    read.pluginId = static_cast<VstInt32>(bigEndian32(bytes, kFxId));
    read.pluginVersion = static_cast<VstInt32>(bigEndian32(bytes, kFxVersion));
    for (std::size_t i = 0; i < kNameField && bytes[kName + i] != 0; ++i)
        read.name += static_cast<char>(bytes[kName + i]);
    if (read.name.size() > kPresetNameLength)
        read.name.resize(kPresetNameLength);
    read.values.resize(static_cast<std::size_t>(count));
    for (VstInt32 i = 0; i < count; ++i) {
        const float value = floatFromBits(bigEndian32(bytes, kPresetHeaderSize + 4 * static_cast<std::size_t>(i)));
        if (!(value >= 0.0f && value <= 1.0f)) {
            char text[32];
            std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
            reason = "is damaged: parameter " + std::to_string(i) + " holds " + text + ", outside 0..1";
            return false;
        }
        read.values[static_cast<std::size_t>(i)] = value;
    }
    preset = std::move(read);
    return true;
}

std::vector<unsigned char> encodePresetFile(const ProgramPreset& preset)
{
    std::vector<unsigned char> bytes;
    const std::size_t size = kPresetHeaderSize + 4 * preset.values.size();
    bytes.reserve(size);
    putBigEndian32(bytes, uint32_t(fourCC("CcnK")));
    putBigEndian32(bytes, static_cast<uint32_t>(size - 8));
    putBigEndian32(bytes, uint32_t(fourCC("FxCk")));
    putBigEndian32(bytes, 1);
    putBigEndian32(bytes, static_cast<uint32_t>(preset.pluginId));
    putBigEndian32(bytes, static_cast<uint32_t>(preset.pluginVersion));
    putBigEndian32(bytes, static_cast<uint32_t>(preset.values.size()));
    unsigned char name[kNameField] = {};
    std::memcpy(name, preset.name.data(), std::min(preset.name.size(), kPresetNameLength));
    bytes.insert(bytes.end(), name, name + kNameField);
    for (float value : preset.values)
        putBigEndian32(bytes, bitsOf(value));
    return bytes;
}

bool readPresetFile(const std::string& path, ProgramPreset& preset, std::string& error)
{
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path, bytes, error))
        return false;
    std::string reason;
    if (!parsePresetFile(bytes, preset, reason)) {
        error = path + ": " + reason;
        return false;
    }
    return true;
}

bool writePresetFile(const std::string& path, const ProgramPreset& preset, std::string& error)
{
    return writeFileAtomically(path, encodePresetFile(preset), error);
}

bool presetFitsPlugin(const ProgramPreset& preset, VstInt32 uniqueId, VstInt32 numParams, std::string& reason)
{
    if (preset.pluginId != uniqueId) {
        reason = "is a preset of another plug-in (ID \"" + fourCharacters(preset.pluginId) + "\", not \"" +
                 fourCharacters(uniqueId) + "\")";
        return false;
    }
    if (preset.values.size() != static_cast<std::size_t>(numParams)) {
        reason = "holds " + std::to_string(preset.values.size()) + " parameter values; the plug-in has " +
                 std::to_string(numParams);
        return false;
    }
    return true;
}

ProgramPreset capturePreset(PluginHost& host)
{
    ProgramPreset preset;
    preset.pluginId = host.effect()->uniqueID;
    preset.pluginVersion = host.effect()->version;
    preset.name = host.programName().substr(0, kPresetNameLength);
    for (int i = 0; i < host.numParams(); ++i)
        preset.values.push_back(host.getParameter(i));
    return preset;
}

void applyPreset(PluginHost& host, const ProgramPreset& preset)
{
    for (std::size_t i = 0; i < preset.values.size(); ++i)
        host.setParameter(static_cast<VstInt32>(i), preset.values[i]);
    host.setProgramName(preset.name);
}
