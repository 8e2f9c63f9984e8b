// Program files (.fxp): what is written is read back exactly, in the layout VST 2 hosts
// use; files that are not a complete program of this plug-in are refused with the reason.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "host/PresetFile.h"

namespace {

constexpr VstInt32 kKorvalexId = 0x524F7269;  // "ROri"
constexpr VstInt32 kParams = 53;

ProgramPreset examplePreset()
{
    ProgramPreset p;
    p.pluginId = kKorvalexId;
    p.pluginVersion = 1;
    p.name = "Crunchy Verby Tremolo Plus";
    for (int i = 0; i < kParams; ++i)
        p.values.push_back(static_cast<float>(i) / kParams);
    p.values[10] = static_cast<float>(10.0 / 19.0);
    return p;
}

void putWord(std::vector<unsigned char>& bytes, std::size_t at, uint32_t word)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = static_cast<unsigned char>(word >> (24 - 8 * i));
}

uint32_t bitsOf(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}

TEST(PresetFile, WrittenFilesReadBackExactlyInTheHostsLayout)
{
    const ProgramPreset p = examplePreset();
    const std::vector<unsigned char> bytes = encodePresetFile(p);
    ASSERT_EQ(bytes.size(), kPresetHeaderSize + 4u * kParams);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "CcnK");
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FxCk");
    EXPECT_EQ(std::string(bytes.begin() + 16, bytes.begin() + 20), "ROri");
    // byteSize counts what follows it; numParams and the values are big-endian.
    EXPECT_EQ((bytes[4] << 24) | (bytes[5] << 16) | (bytes[6] << 8) | bytes[7], int(bytes.size() - 8));
    EXPECT_EQ(bytes[27], kParams);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[28])), p.name);
    const uint32_t tenNineteenths = bitsOf(p.values[10]);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(bytes[kPresetHeaderSize + 40 + size_t(i)], (tenNineteenths >> (24 - 8 * i)) & 0xff);

    ProgramPreset read;
    std::string reason;
    ASSERT_TRUE(parsePresetFile(bytes, read, reason)) << reason;
    EXPECT_EQ(read.pluginId, p.pluginId);
    EXPECT_EQ(read.pluginVersion, 1);
    EXPECT_EQ(read.name, p.name);
    EXPECT_EQ(read.values, p.values);
    EXPECT_TRUE(presetFitsPlugin(read, kKorvalexId, kParams, reason)) << reason;

    // Hosts disagree about the size field, and some pad files: neither matters.
    std::vector<unsigned char> padded = bytes;
    padded.resize(bytes.size() + 100, 0);
    putWord(padded, 4, 12345);
    ASSERT_TRUE(parsePresetFile(padded, read, reason)) << reason;
    EXPECT_EQ(read.values, p.values);
    // A name that fills its 28 bytes without a NUL is cut to 27 characters.
    std::vector<unsigned char> longName = bytes;
    std::memset(&longName[28], 'x', 28);
    ASSERT_TRUE(parsePresetFile(longName, read, reason));
    EXPECT_EQ(read.name, std::string(27, 'x'));
}

TEST(PresetFile, DamagedAndForeignFilesAreRefusedWithTheirReason)
{
    const std::vector<unsigned char> good = encodePresetFile(examplePreset());
    struct Case {
        const char* what;
        std::function<void(std::vector<unsigned char>&)> damage;
        const char* reason;
    };
    const Case cases[] = {
        {"empty", [](auto& b) { b.clear(); }, "is not a VST preset file"},
        {"another format", [](auto& b) { b[0] = 'R'; }, "is not a VST preset file"},
        {"cut in the header", [](auto& b) { b.resize(40); }, "is truncated: 40 bytes, shorter than the 56-byte header"},
        {"cut in the values", [](auto& b) { b.resize(b.size() - 3); },
         "is truncated: 53 parameter values need 268 bytes, the file has 265"},
        {"a bank", [](auto& b) { std::memcpy(&b[8], "FxBk", 4); }, "is a bank of programs (.fxb)"},
        {"a chunk", [](auto& b) { std::memcpy(&b[8], "FPCh", 4); }, "holds a plug-in's opaque chunk"},
        {"an unknown kind", [](auto& b) { std::memcpy(&b[8], "Junk", 4); }, "unknown kind \"Junk\""},
        {"version 7", [](auto& b) { putWord(b, 12, 7); }, "has an unknown format version (7)"},
        {"minus one parameter", [](auto& b) { putWord(b, 24, 0xFFFFFFFF); }, "is damaged: it claims -1 parameters"},
        {"a billion parameters", [](auto& b) { putWord(b, 24, 1000000000); }, "is damaged: it claims 1000000000"},
        {"a value that is not a number", [](auto& b) { putWord(b, 60, bitsOf(std::numeric_limits<float>::quiet_NaN())); },
         "is damaged: parameter 1 holds nan"},
        {"a value above 1", [](auto& b) { putWord(b, 56 + 4 * 52, bitsOf(1.5f)); }, "parameter 52 holds 1.5, outside 0..1"},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes = good;
        c.damage(bytes);
        ProgramPreset read = examplePreset();
        read.name = "untouched";
        std::string reason;
        EXPECT_FALSE(parsePresetFile(bytes, read, reason)) << c.what;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
        EXPECT_EQ(read.name, "untouched") << c.what << ": a refused file changes nothing";
    }

    ProgramPreset other = examplePreset();
    std::string reason;
    other.pluginId = 0x41424344;  // "ABCD"
    EXPECT_FALSE(presetFitsPlugin(other, kKorvalexId, kParams, reason));
    EXPECT_EQ(reason, "is a preset of another plug-in (ID \"ABCD\", not \"ROri\")");
    other = examplePreset();
    other.values.pop_back();
    EXPECT_FALSE(presetFitsPlugin(other, kKorvalexId, kParams, reason));
    EXPECT_EQ(reason, "holds 52 parameter values; the plug-in has 53");
}

}  // namespace
