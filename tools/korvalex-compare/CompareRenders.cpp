#include "tools/korvalex-compare/CompareRenders.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

#include "host/PluginHost.h"
#include "tools/korvalex-compare/PluckedSignal.h"

namespace {

constexpr double kSampleRate = 44100.0;

std::string programFile(const std::string& folder, int program)
{
    char name[32];
    std::snprintf(name, sizeof name, "/program-%02d.f32", program);
    return folder + name;
}

bool writeFloats(const std::string& path, const std::vector<float>& samples)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(samples.data(), sizeof(float), samples.size(), file) == samples.size();
    return std::fclose(file) == 0 && ok;
}

bool readFloats(const std::string& path, std::vector<float>& samples)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    samples.clear();
    float chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, sizeof(float), 4096, file)) > 0)
        samples.insert(samples.end(), chunk, chunk + got);
    const bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

// Reads programs.txt: the names by index, in file order.
bool readProgramList(const std::string& folder, std::vector<std::string>& names)
{
    std::FILE* file = std::fopen((folder + "/programs.txt").c_str(), "r");
    if (!file)
        return false;
    names.clear();
    char line[256];
    while (std::fgets(line, sizeof line, file)) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        const std::size_t tab = text.find('\t');
        if (tab == std::string::npos || std::atoi(text.c_str()) != static_cast<int>(names.size())) {
            std::fclose(file);
            return false;
        }
        names.push_back(text.substr(tab + 1));
    }
    std::fclose(file);
    return true;
}

}  // namespace

bool renderPrograms(const std::string& pluginPath, const std::string& folder, const RenderSettings& settings,
                    std::string& error)
{
    const auto frames = static_cast<std::size_t>(settings.seconds * kSampleRate);
    if (frames == 0 || settings.blockSize <= 0) {
        error = "nothing to render";
        return false;
    }
    const std::vector<float> input = makePluckedSignal(frames);
    const std::vector<float> silence(frames, 0.0f);
    std::vector<float> left(frames), right(frames), interleaved(2 * frames);

    std::unique_ptr<PluginHost> first = PluginHost::load(pluginPath, error, settings.entryPoint);
    if (!first)
        return false;
    const int programs = first->numPrograms();
    first.reset();

    std::FILE* list = std::fopen((folder + "/programs.txt").c_str(), "w");
    if (!list) {
        error = "cannot write " + folder + "/programs.txt";
        return false;
    }
    for (int program = 0; program < programs; ++program) {
        // A fresh instance per program: every render starts from the same state.
        std::unique_ptr<PluginHost> host = PluginHost::load(pluginPath, error, settings.entryPoint);
        if (!host) {
            std::fclose(list);
            return false;
        }
        host->setSampleRate(static_cast<float>(kSampleRate));
        host->setBlockSize(settings.blockSize);
        host->setProgram(program);
        host->setMainsOn(true);
        std::fprintf(list, "%d\t%s\n", program, host->programName().c_str());
        host->processStereo(input.data(), silence.data(), left.data(), right.data(), frames, settings.blockSize);
        for (std::size_t i = 0; i < frames; ++i) {
            interleaved[2 * i] = left[i];
            interleaved[2 * i + 1] = right[i];
        }
        const std::string path = programFile(folder, program);
        if (!writeFloats(path, interleaved)) {
            std::fclose(list);
            error = "cannot write " + path;
            return false;
        }
    }
    if (std::fclose(list) != 0) {
        error = "cannot write " + folder + "/programs.txt";
        return false;
    }
    return true;
}

double relativeRmsDifference(const std::vector<float>& reference, const std::vector<float>& test)
{
    if (reference.size() != test.size())
        return std::numeric_limits<double>::infinity();
    double difference = 0.0, energy = 0.0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        if (!std::isfinite(reference[i]) || !std::isfinite(test[i]))
            return std::numeric_limits<double>::infinity();
        const double d = static_cast<double>(test[i]) - static_cast<double>(reference[i]);
        difference += d * d;
        energy += static_cast<double>(reference[i]) * static_cast<double>(reference[i]);
    }
    const double floor = kSilenceFloor * kSilenceFloor * static_cast<double>(reference.size());
    return difference == 0.0 ? 0.0 : std::sqrt(difference / std::max(energy, floor));
}

bool compareRenderSets(const std::string& referenceFolder, const std::string& testFolder, double tolerance,
                       std::FILE* report)
{
    std::vector<std::string> referenceNames, testNames;
    if (!readProgramList(referenceFolder, referenceNames) || !readProgramList(testFolder, testNames)) {
        std::fprintf(report, "cannot read programs.txt in %s and %s\n", referenceFolder.c_str(), testFolder.c_str());
        return false;
    }
    if (referenceNames.empty() || referenceNames.size() != testNames.size()) {
        std::fprintf(report, "program counts differ or are zero: %zu and %zu\n", referenceNames.size(),
                     testNames.size());
        return false;
    }
    int passed = 0, failed = 0;
    double worst = 0.0;
    for (std::size_t p = 0; p < referenceNames.size(); ++p) {
        const int program = static_cast<int>(p);
        std::vector<float> reference, test;
        bool ok = true;
        double difference = std::numeric_limits<double>::infinity();
        double level = 0.0;
        if (!readFloats(programFile(referenceFolder, program), reference) ||
            !readFloats(programFile(testFolder, program), test) || reference.empty()) {
            ok = false;
        } else {
            difference = relativeRmsDifference(reference, test);
            for (float v : reference)
                level += static_cast<double>(v) * static_cast<double>(v);
            level = std::sqrt(level / static_cast<double>(reference.size()));
            ok = difference <= tolerance;
        }
        std::string note;
        if (referenceNames[p] != testNames[p]) {
            ok = false;
            note = "  (named \"" + testNames[p] + "\" there)";
        }
        worst = std::max(worst, difference);
        std::fprintf(report, "%-4s %2d  %-28s rms %.3e  relative difference %.3e%s\n", ok ? "ok" : "FAIL", program,
                     referenceNames[p].c_str(), level, difference, note.c_str());
        (ok ? passed : failed) += 1;
    }
    std::fprintf(report, "largest relative difference %.3e (tolerance %.1e): %d programs agree, %d differ\n", worst,
                 tolerance, passed, failed);
    return failed == 0;
}
