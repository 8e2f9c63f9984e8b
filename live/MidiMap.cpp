#include "live/MidiMap.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "host/FileIO.h"
#include "host/NameLookup.h"
#include "plugin/Parameters.h"

namespace live {

namespace {

struct DefaultAssignment {
    int controller;
    const char* parameter;
};

// Expression pedals on the continuous controllers, footswitches (latching, 127 and 0) on
// the general-purpose switches 80..87.
constexpr DefaultAssignment kDefaultMap[] = {
    {1, "Chorus Mix"},      // modulation wheel
    {4, "Drive"},           // foot controller
    {7, "Volume"},          // channel volume
    {11, "Volume"},         // expression
    {12, "Reverb"},         // effect control 1
    {13, "Delay Mix"},      // effect control 2
    {80, "Comp Bypass"},    {81, "Chorus Bypass"}, {82, "Delay Bypass"}, {83, "Tremolo Bypass"},
    {84, "Gate Bypass"},    {85, "Space Bypass"},  {86, "PEQ Bypass"},   {87, "Bank A/B"},
};

// The Amplifier menu's positions are k / 19, k = 0..19.
constexpr int kSelectorSteps = 19;
constexpr int kMaxValue = 127;
constexpr int kSwitchOn = 64;

const std::vector<std::string>& parameterNames()
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list;
        for (const ParameterInfo& info : kParameterTable)
            list.push_back(info.name);
        return list;
    }();
    return names;
}

std::string trimmed(const std::string& text)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool isSwitch(DisplayRule rule)
{
    return rule == DisplayRule::OnOff || rule == DisplayRule::HighLow || rule == DisplayRule::PostPre ||
           rule == DisplayRule::PhaserChorus || rule == DisplayRule::PanCenter;
}

int parameterIndex(const char* name)
{
    const std::vector<std::string>& names = parameterNames();
    return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
}

}  // namespace

MidiMap MidiMap::defaults()
{
    MidiMap map;
    for (const DefaultAssignment& a : kDefaultMap)
        map.assign(a.controller, parameterIndex(a.parameter));
    return map;
}

bool MidiMap::parse(const std::string& text, const std::string& source, MidiMap& map, std::string& error)
{
    MidiMap read;
    std::array<int, kControllers> lineOf{};
    std::size_t start = 0;
    for (int line = 1; start <= text.size(); ++line) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string content = text.substr(start, end - start);
        start = end + 1;
        content = trimmed(content.substr(0, content.find('#')));
        if (content.empty())
            continue;
        const auto where = [&] { return source + ":" + std::to_string(line) + ": "; };
        const std::size_t equals = content.find('=');
        if (equals == std::string::npos) {
            error = where() + "expected \"CC = parameter name\", found \"" + content + "\"";
            return false;
        }
        const std::string number = trimmed(content.substr(0, equals));
        const std::string name = trimmed(content.substr(equals + 1));
        const bool digits = !number.empty() && number.size() <= 3 &&
                            std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c); });
        const int cc = digits ? std::stoi(number) : -1;
        if (cc < 0 || cc >= kControllers) {
            error = where() + "\"" + number + "\" is not a controller number (0 to 127)";
            return false;
        }
        if (lineOf[size_t(cc)] != 0) {
            error = where() + "controller " + number + " is mapped already (line " + std::to_string(lineOf[size_t(cc)]) + ")";
            return false;
        }
        const NameMatch match = lookUpName(parameterNames(), name, false);
        if (name.empty() || match.index < 0) {
            error = where() + (name.empty() ? std::string("controller ") + number + " names no parameter"
                                            : describeFailedLookup("parameter", name, match, parameterNames()));
            return false;
        }
        read.assign(cc, match.index);
        lineOf[size_t(cc)] = line;
    }
    map = read;
    return true;
}

bool MidiMap::load(const std::string& path, MidiMap& map, std::string& error)
{
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path, bytes, error))
        return false;
    return parse(std::string(bytes.begin(), bytes.end()), path, map, error);
}

float MidiMap::parameterValue(int parameter, int value)
{
    value = std::clamp(value, 0, kMaxValue);
    const DisplayRule rule = kParameterTable[parameter].rule;
    if (isSwitch(rule))
        return value >= kSwitchOn ? 1.0f : 0.0f;
    if (rule == DisplayRule::Raw) {
        const long position = std::lround(double(value) * kSelectorSteps / kMaxValue);
        return static_cast<float>(double(position) / kSelectorSteps);
    }
    return static_cast<float>(value) / kMaxValue;
}

std::string MidiMap::text() const
{
    std::string out;
    for (int cc = 0; cc < kControllers; ++cc)
        if (parameters_[size_t(cc)] >= 0)
            out += std::to_string(cc) + " = " + kParameterTable[parameters_[size_t(cc)]].name + "\n";
    return out;
}

}  // namespace live
