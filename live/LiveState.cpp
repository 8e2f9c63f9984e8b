#include "live/LiveState.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/FileIO.h"

namespace live {

namespace {

constexpr int kFormat = 1;
constexpr int kMaxPrograms = 100000;
constexpr int kMaxParameters = 100000;
constexpr long kMaxCoordinate = 100000;

std::string trimmed(const std::string& text)
{
    const std::size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// Control characters would break the file's lines.
std::string oneLine(const std::string& text)
{
    std::string out = text;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32)
            c = ' ';
    return out;
}

bool parseInteger(const std::string& text, long lowest, long highest, long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == 0 && value >= lowest && value <= highest;
}

bool parseReal(const std::string& text, double lowest, double highest, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == 0 && std::isfinite(value) && value >= lowest && value <= highest;
}

std::string formatFloat(double value)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.9g", value);  // enough digits to read the same float back
    return text;
}

}  // namespace

std::string formatState(const LiveState& state)
{
    std::string out = "# Korvalex Live: the state of the last session, written when it ended.\n";
    out += "format = " + std::to_string(kFormat) + "\n";
    if (state.program >= 0) {
        out += "program = " + std::to_string(state.program) + "\n";
        out += "program-name = " + oneLine(state.programName) + "\n";
    }
    if (!state.preset.empty())
        out += "preset = " + oneLine(state.preset) + "\n";
    for (std::size_t i = 0; i < state.values.size(); ++i)
        out += "parameter " + std::to_string(i) + " = " + formatFloat(state.values[i]) + "\n";
    out += "input-gain = " + formatFloat(state.inputGainDb) + "\n";
    if (!state.cabinet.empty())
        out += "cabinet = " + oneLine(state.cabinet) + "\n";
    if (state.cabinetGainDb != 0.0)
        out += "cabinet-gain = " + formatFloat(state.cabinetGainDb) + "\n";
    for (const auto& [port, peers] : state.connections)
        for (const std::string& peer : peers)
            out += "connect " + oneLine(port) + " = " + oneLine(peer) + "\n";
    if (state.hasWindowPosition)
        out += "window = " + std::to_string(state.windowX) + " " + std::to_string(state.windowY) + "\n";
    return out;
}

bool parseState(const std::string& text, LiveState& state, std::string& reason)
{
    LiveState read;
    bool formatSeen = false;
    std::size_t start = 0;
    for (int line = 1; start < text.size(); ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string content = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (content.empty() || content[0] == '#')
            continue;
        const auto fail = [&](const std::string& why) {
            reason = "line " + std::to_string(line) + ": " + why;
            return false;
        };
        const std::size_t equals = content.find('=');
        if (equals == std::string::npos)
            return fail("\"" + content.substr(0, 40) + "\" is not a \"key = value\" line");
        const std::string key = trimmed(content.substr(0, equals));
        const std::string value = trimmed(content.substr(equals + 1));
        long number = 0;
        double real = 0.0;
        if (key == "format") {
            if (!parseInteger(value, kFormat, kFormat, number))
                return fail("unknown format \"" + value + "\"");
            formatSeen = true;
        } else if (key == "program") {
            if (!parseInteger(value, 0, kMaxPrograms, number))
                return fail("\"" + value + "\" is not a program number");
            read.program = static_cast<int>(number);
        } else if (key == "program-name") {
            read.programName = value;
        } else if (key == "preset") {
            read.preset = value;
        } else if (key.rfind("parameter ", 0) == 0) {
            if (!parseInteger(trimmed(key.substr(10)), 0, kMaxParameters, number) ||
                static_cast<std::size_t>(number) != read.values.size())
                return fail("\"" + key + "\" out of order");
            if (!parseReal(value, 0.0, 1.0, real))
                return fail("\"" + value + "\" is not a value from 0 to 1");
            read.values.push_back(static_cast<float>(real));
        } else if (key == "input-gain") {
            if (!parseReal(value, -kMaxInputGainDb, kMaxInputGainDb, real))
                return fail("\"" + value + "\" is not a gain in dB");
            read.inputGainDb = real;
        } else if (key == "cabinet") {
            read.cabinet = value;
        } else if (key == "cabinet-gain") {
            if (!parseReal(value, -kMaxCabinetGainDb, kMaxCabinetGainDb, real))
                return fail("\"" + value + "\" is not a gain in dB");
            read.cabinetGainDb = real;
        } else if (key.rfind("connect ", 0) == 0) {
            const std::string port = trimmed(key.substr(8));
            if (port.empty() || value.empty())
                return fail("a connection needs two port names");
            read.connections[port].push_back(value);
        } else if (key == "window") {
            long x = 0, y = 0;
            const std::size_t space = value.find(' ');
            if (space == std::string::npos || !parseInteger(value.substr(0, space), -kMaxCoordinate, kMaxCoordinate, x) ||
                !parseInteger(trimmed(value.substr(space)), -kMaxCoordinate, kMaxCoordinate, y))
                return fail("\"" + value + "\" is not a window position");
            read.hasWindowPosition = true;
            read.windowX = static_cast<int>(x);
            read.windowY = static_cast<int>(y);
        }
        // Other keys are left for later versions.
    }
    if (!formatSeen) {
        reason = "it has no \"format\" line, so it is not a state file of Korvalex Live";
        return false;
    }
    state = read;
    return true;
}

LiveState StateFile::load(std::string& report)
{
    report.clear();
    struct stat status{};
    if (stat(path_.c_str(), &status) != 0 && errno == ENOENT)
        return {};
    std::vector<unsigned char> bytes;
    std::string problem;
    LiveState state;
    if (readWholeFile(path_, bytes, problem)) {
        std::string reason;
        if (parseState(std::string(bytes.begin(), bytes.end()), state, reason))
            return state;
        problem = path_ + " is damaged (" + reason + ")";
    }
    const std::string kept = moveAside();
    report = problem + "; " +
             (kept.empty() ? "it is left as it is, and this session's state will not be saved"
                           : "it is kept as " + kept) +
             "; starting with the defaults";
    return {};
}

std::string StateFile::moveAside()
{
    for (int n = 1; n < 1000; ++n) {
        const std::string aside = path_ + ".damaged" + (n > 1 ? "-" + std::to_string(n) : "");
        struct stat status{};
        if (lstat(aside.c_str(), &status) == 0)
            continue;
        if (rename(path_.c_str(), aside.c_str()) == 0)
            return aside;
        break;
    }
    writable_ = false;
    return {};
}

bool StateFile::save(const LiveState& state, std::string& error)
{
    if (!writable_) {
        error = path_ + ": not saved, so that the file that could not be read is not overwritten";
        return false;
    }
    const std::size_t slash = path_.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path_.substr(0, slash), error))
        return false;
    const std::string text = formatState(state);
    return writeFileAtomically(path_, std::vector<unsigned char>(text.begin(), text.end()), error);
}

}  // namespace live
