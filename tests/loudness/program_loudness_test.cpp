// The factory bank's levels as a player hears them: every program renders a fixed DI test
// signal through the built plug-in, and its BS.1770 integrated loudness is measured.
// Programs a player switches between must not need the fader: the designed programs (all
// but the four whose values are fixed: 0, 47, 58, 64) lie within kBankSpanLu of each
// other, and the programs of one family (clean, crunch, lead, by name) within
// kFamilySpanLu. The README's program table must show the levels measured here.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"
#include "tests/support/Loudness.h"
#include "tools/korvalex-compare/PluckedSignal.h"

namespace {

constexpr int kRate = 44100;
constexpr VstInt32 kBlockSize = 512;
constexpr int kPrerollBlocks = 16;  // ramps and switch fades settle before the DI starts
constexpr double kSignalSeconds = 10.0;
constexpr float kDiPeak = 0.7079458f;  // -3 dBFS
constexpr double kBankSpanLu = 12.0;
constexpr double kFamilySpanLu = 6.0;
constexpr double kReadmeToleranceLu = 0.5;
// Picking 12 dB softer must take a crunch program down by at least this much: it cleans
// up, where a hard-clipping lead stays at nearly one level (2 to 3 LU).
constexpr float kSofterPicking = 0.25118864f;  // -12 dB
constexpr double kCrunchCleanUpLu = 5.0;
constexpr std::size_t kNameBuffer = 64;  // room for the longest factory name (26 characters)
const int kGivenPrograms[] = {0, 47, 58, 64};

struct Measured {
    std::string name;
    std::string family;
    double lufs = 0.0;
};

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string familyOf(const std::string& name)
{
    const std::string n = lower(name);
    for (const char* family : {"clean", "crunch", "lead"})
        if (n.find(family) != std::string::npos)
            return family;
    return "-";
}

bool isGiven(int program)
{
    return std::find(std::begin(kGivenPrograms), std::end(kGivenPrograms), program) != std::end(kGivenPrograms);
}

// Loudness of `program` on the DI signal scaled by `inputGain`, with a fresh instance.
double renderLoudness(int program, const std::vector<float>& di, float inputGain, std::string* name = nullptr)
{
    auto host = loadPlugin();
    if (!host)
        return NAN;
    host->setSampleRate(static_cast<float>(kRate));
    host->setBlockSize(kBlockSize);
    host->setProgram(program);
    host->setMainsOn(true);
    if (name)
        host->programNameIndexed(program, *name, kNameBuffer);
    const std::size_t preroll = static_cast<std::size_t>(kPrerollBlocks) * kBlockSize;
    std::vector<float> input(preroll + di.size(), 0.0f);
    for (std::size_t i = 0; i < di.size(); ++i)
        input[preroll + i] = di[i] * inputGain;
    std::vector<float> left(input.size()), right(input.size());
    host->processStereo(input.data(), input.data(), left.data(), right.data(), input.size(), kBlockSize);
    left.erase(left.begin(), left.begin() + static_cast<std::ptrdiff_t>(preroll));
    right.erase(right.begin(), right.begin() + static_cast<std::ptrdiff_t>(preroll));
    return integratedLoudness(left, right, kRate);
}

// The DI: plucked notes and a chord with peaks at -3 dBFS, then a quarter of silence; fed
// to both inputs, as a host feeds a mono track into a stereo effect.
const std::vector<float>& diSignal()
{
    static const std::vector<float> di = makePluckedSignal(static_cast<std::size_t>(kSignalSeconds * kRate), kDiPeak);
    return di;
}

const std::vector<Measured>& measuredBank()
{
    static const std::vector<Measured> bank = [] {
        std::vector<Measured> out;
        for (int p = 0; p < kNumPrograms; ++p) {
            Measured m;
            m.lufs = renderLoudness(p, diSignal(), 1.0f, &m.name);
            m.family = familyOf(m.name);
            out.push_back(m);
        }
        return out;
    }();
    return bank;
}

void printTable(const std::vector<Measured>& bank)
{
    std::printf("| # | program | family | LUFS |\n|---:|---|---|---:|\n");
    for (std::size_t p = 0; p < bank.size(); ++p)
        std::printf("| %zu | %s | %s | %.1f |\n", p, bank[p].name.c_str(), bank[p].family.c_str(), bank[p].lufs);
}

}  // namespace

TEST(ProgramLoudness, DesignedProgramsShareOneLevel)
{
    const std::vector<Measured>& bank = measuredBank();
    ASSERT_EQ(bank.size(), static_cast<std::size_t>(kNumPrograms));
    printTable(bank);
    std::map<std::string, std::vector<int>> families;
    std::vector<int> designed;
    for (int p = 0; p < kNumPrograms; ++p) {
        ASSERT_TRUE(std::isfinite(bank[p].lufs)) << "program " << p << " \"" << bank[p].name << "\" is silent";
        if (isGiven(p))
            continue;
        designed.push_back(p);
        if (bank[p].family != "-")
            families[bank[p].family].push_back(p);
    }
    const auto spanOf = [&](const std::vector<int>& programs, int& quietest, int& loudest) {
        quietest = loudest = programs.front();
        for (int p : programs) {
            if (bank[p].lufs < bank[quietest].lufs)
                quietest = p;
            if (bank[p].lufs > bank[loudest].lufs)
                loudest = p;
        }
        return bank[loudest].lufs - bank[quietest].lufs;
    };
    int quietest = 0, loudest = 0;
    EXPECT_LE(spanOf(designed, quietest, loudest), kBankSpanLu)
        << "quietest \"" << bank[quietest].name << "\" " << bank[quietest].lufs << " LUFS, loudest \""
        << bank[loudest].name << "\" " << bank[loudest].lufs << " LUFS";
    ASSERT_EQ(families.size(), 3u);
    for (const auto& [family, programs] : families) {
        EXPECT_LE(spanOf(programs, quietest, loudest), kFamilySpanLu)
            << family << ": quietest \"" << bank[quietest].name << "\" " << bank[quietest].lufs
            << " LUFS, loudest \"" << bank[loudest].name << "\" " << bank[loudest].lufs << " LUFS";
    }
}

TEST(ProgramLoudness, CrunchProgramsCleanUpWhenPickedSofter)
{
    const std::vector<Measured>& bank = measuredBank();
    int crunch = 0;
    for (int p = 0; p < kNumPrograms; ++p) {
        if (bank[p].family != "crunch")
            continue;
        ++crunch;
        const double softer = renderLoudness(p, diSignal(), kSofterPicking);
        EXPECT_GE(bank[p].lufs - softer, kCrunchCleanUpLu)
            << "\"" << bank[p].name << "\": " << bank[p].lufs << " LUFS picked hard, " << softer << " picked softer";
    }
    EXPECT_EQ(crunch, 8);
}

TEST(ProgramLoudness, GatesSitOnTheHighestGainPrograms)
{
    // The bank has room for twenty gates; every gated program has at least the Drive of
    // every program without one.
    float lowestGated = 1.0f, highestOpen = 0.0f;
    int gated = 0;
    auto host = loadPlugin();
    ASSERT_TRUE(host);
    for (int p = 0; p < kNumPrograms; ++p) {
        host->setProgram(p);
        const float drive = host->getParameter(kDrive);
        if (host->getParameter(kGateBypass) > 0.0f) {
            ++gated;
            lowestGated = std::min(lowestGated, drive);
        } else {
            highestOpen = std::max(highestOpen, drive);
        }
    }
    EXPECT_EQ(gated, 20);
    EXPECT_GE(lowestGated, highestOpen);
}

TEST(ProgramLoudness, ReadmeTableShowsTheMeasuredLevels)
{
    const std::vector<Measured>& bank = measuredBank();
    std::ifstream readme(KORVALEX_README);
    ASSERT_TRUE(readme) << KORVALEX_README;
    // Rows "| N | NAME | FAMILY | LUFS |" of the program table.
    std::map<int, std::vector<std::string>> rows;
    std::string line;
    while (std::getline(readme, line)) {
        if (line.size() < 3 || line[0] != '|' || !std::isdigit(static_cast<unsigned char>(line[2])))
            continue;
        std::vector<std::string> cells;
        std::stringstream stream(line.substr(1));
        std::string cell;
        while (std::getline(stream, cell, '|')) {
            const std::size_t first = cell.find_first_not_of(' ');
            const std::size_t last = cell.find_last_not_of(' ');
            cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
        }
        if (cells.size() >= 4)
            rows[std::stoi(cells[0])] = cells;
    }
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(kNumPrograms)) << "program rows in the README";
    for (int p = 0; p < kNumPrograms; ++p) {
        const std::vector<std::string>& row = rows[p];
        EXPECT_EQ(row[1], bank[p].name) << "README row " << p;
        EXPECT_EQ(row[2], bank[p].family) << "README row " << p;
        EXPECT_NEAR(std::stod(row[3]), bank[p].lufs, kReadmeToleranceLu) << "README row " << p << " " << row[1];
    }
}
