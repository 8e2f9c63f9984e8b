#include "lv2/Descriptions.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "lv2/Ports.h"
#include "plugin/FactoryBank.h"
#include "plugin/Parameters.h"

namespace lv2ttl {

namespace {

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

constexpr const char* kPageName = "Panel Page";
constexpr int kAmplifierPositions = 20;  // values k / 19, k = 0..19

// How a parameter appears to hosts.
enum class ControlKind {
    Continuous,
    Toggle,    // an on/off switch: off at 0, on above it
    Selector,  // a choice among the values its display texts name
    Page,      // the panel's page: kept with the sound, not shown on generic panels
};

ControlKind kindOf(int index)
{
    if (index == kEditorPage)
        return ControlKind::Page;
    switch (kParameterTable[index].rule) {
    case DisplayRule::OnOff:
        return index == kBankAB ? ControlKind::Selector : ControlKind::Toggle;  // Bank A/B picks a bank
    case DisplayRule::HighLow:
    case DisplayRule::PostPre:
    case DisplayRule::PhaserChorus:
    case DisplayRule::PanCenter:
    case DisplayRule::Raw:  // the Amplifier's positions
        return ControlKind::Selector;
    default:
        return ControlKind::Continuous;
    }
}

// The values a selector takes, as 32-bit floats (the Amplifier's as the panel's menu sends
// them).
std::vector<float> selectorValues(int index)
{
    if (kParameterTable[index].rule != DisplayRule::Raw)
        return {0.0f, 1.0f};
    std::vector<float> values;
    for (int k = 0; k < kAmplifierPositions; ++k)
        values.push_back(static_cast<float>(static_cast<double>(k) / (kAmplifierPositions - 1)));
    return values;
}

// A float as a Turtle number that reads back as the same float.
std::string number(float value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

std::string quoted(const std::string& text)
{
    std::string q = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            q += '\\';
        q += c;
    }
    return q + "\"";
}

std::string uri(const std::string& text) { return "<" + text + ">"; }

std::string presetUri(int program) { return KORVALEX_LV2_PRESET_PREFIX + std::to_string(program); }

float programValue(int program, int index)
{
    return index == kEditorPage ? 0.0f : kFactoryBank[program].values[index];  // the bank leaves the page at 0
}

std::string parameterName(int index) { return index == kEditorPage ? kPageName : kParameterTable[index].name; }

std::string displayText(int index, float value)
{
    char text[32];
    formatParameterValue(kParameterTable[index].rule, value, text, sizeof text);
    return text;
}

std::string controlPort(int index)
{
    std::string port = "    [\n        a lv2:InputPort , lv2:ControlPort ;\n";
    port += "        lv2:index " + std::to_string(index) + " ;\n";
    port += "        lv2:symbol " + quoted(parameterSymbol(index)) + " ;\n";
    port += "        lv2:name " + quoted(parameterName(index)) + " ;\n";
    port += "        lv2:default " + number(programValue(0, index)) + " ;\n";
    port += "        lv2:minimum 0.0 ;\n        lv2:maximum 1.0";
    switch (kindOf(index)) {
    case ControlKind::Continuous:
        break;
    case ControlKind::Toggle:
        port += " ;\n        lv2:portProperty lv2:toggled";
        break;
    case ControlKind::Selector: {
        port += " ;\n        lv2:portProperty lv2:enumeration ;\n        lv2:scalePoint";
        const std::vector<float> values = selectorValues(index);
        for (size_t i = 0; i < values.size(); ++i)
            port += std::string(i ? " ," : "") + "\n            [ rdfs:label " + quoted(displayText(index, values[i])) +
                    " ; rdf:value " + number(values[i]) + " ]";
        break;
    }
    case ControlKind::Page:
        port += " ;\n        lv2:portProperty lv2:integer , pprops:notOnGUI";
        break;
    }
    return port + "\n    ]";
}

std::string outputControlPort(uint32_t index, const char* symbol, const char* name, const char* extra)
{
    return "    [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index " + std::to_string(index) +
           " ;\n        lv2:symbol " + quoted(symbol) + " ;\n        lv2:name " + quoted(name) + " ;\n" + extra +
           "    ]";
}

std::string audioPort(uint32_t index, const char* direction, const char* symbol, const char* name)
{
    return std::string("    [\n        a lv2:AudioPort , lv2:") + direction + " ;\n        lv2:index " +
           std::to_string(index) + " ;\n        lv2:symbol " + quoted(symbol) + " ;\n        lv2:name " + quoted(name) +
           "\n    ]";
}

std::string meterNotification(const char* symbol)
{
    return "        [ ui:plugin " + uri(KORVALEX_LV2_URI) + " ; lv2:symbol " + quoted(symbol) +
           " ; ui:protocol ui:floatProtocol ]";
}

constexpr const char* kCompressorMeterSymbol = "comp_meter";
constexpr const char* kGateMeterSymbol = "gate_meter";

}  // namespace

std::string parameterSymbol(int index)
{
    std::string symbol;
    bool gap = false;
    for (char c : parameterName(index)) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            if (gap && !symbol.empty())
                symbol += '_';
            symbol += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            gap = false;
        } else {
            gap = true;
        }
    }
    return symbol;
}

std::string manifest()
{
    std::string ttl = kPrefixes;
    ttl += uri(KORVALEX_LV2_URI) + "\n    a lv2:Plugin ;\n    lv2:binary " + uri(kDspBinary) +
           " ;\n    rdfs:seeAlso " + uri(kPluginFile) + " .\n\n";
    ttl += uri(KORVALEX_LV2_UI_URI) + "\n    a ui:X11UI ;\n    ui:binary " + uri(kUiBinary) +
           " ;\n    rdfs:seeAlso " + uri(kPluginFile) + " .\n";
    for (int p = 0; p < kNumPrograms; ++p)
        ttl += "\n" + uri(presetUri(p)) + "\n    a pset:Preset ;\n    lv2:appliesTo " + uri(KORVALEX_LV2_URI) +
               " ;\n    rdfs:seeAlso " + uri(kPresetsFile) + " .\n";
    return ttl;
}

std::string pluginDescription()
{
    std::string ttl = kPrefixes;
    ttl += uri(KORVALEX_LV2_URI) +
           "\n    a lv2:Plugin , doap:Project , lv2:SimulatorPlugin ;\n"
           "    doap:name \"Korvalex\" ;\n"
           "    doap:maintainer [ foaf:name \"Zarelworks\" ] ;\n"
           "    lv2:minorVersion 0 ;\n    lv2:microVersion 0 ;\n"
           "    lv2:optionalFeature lv2:hardRTCapable , opts:options , urid:map ;\n"
           "    opts:supportedOption bufsz:maxBlockLength ;\n"
           "    ui:ui " + uri(KORVALEX_LV2_UI_URI) + " ;\n    lv2:port\n";
    std::vector<std::string> ports;
    for (int i = 0; i < kNumParameters; ++i)
        ports.push_back(controlPort(i));
    ports.push_back(outputControlPort(lv2port::kLatency, "latency", "Latency",
                                      "        lv2:designation lv2:latency ;\n"
                                      "        lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
                                      "        units:unit units:frame ;\n"
                                      "        lv2:minimum 0 ;\n        lv2:maximum 8192 ;\n"));
    const char* meterRange = "        lv2:minimum 0.0 ;\n        lv2:maximum 1.0 ;\n";
    ports.push_back(outputControlPort(lv2port::kCompressorMeter, kCompressorMeterSymbol, "Compressor Meter", meterRange));
    ports.push_back(outputControlPort(lv2port::kGateMeter, kGateMeterSymbol, "Gate Meter", meterRange));
    ports.push_back(audioPort(lv2port::kInputLeft, "InputPort", "in_left", "Input Left"));
    ports.push_back(audioPort(lv2port::kInputRight, "InputPort", "in_right", "Input Right"));
    ports.push_back(audioPort(lv2port::kOutputLeft, "OutputPort", "out_left", "Output Left"));
    ports.push_back(audioPort(lv2port::kOutputRight, "OutputPort", "out_right", "Output Right"));
    for (size_t i = 0; i < ports.size(); ++i)
        ttl += ports[i] + (i + 1 < ports.size() ? " ,\n" : " .\n");

    ttl += "\n" + uri(KORVALEX_LV2_UI_URI) +
           "\n    a ui:X11UI ;\n"
           "    lv2:requiredFeature ui:parent , ui:idleInterface ;\n"
           "    lv2:optionalFeature ui:resize , ui:touch , ui:noUserResize , opts:options , urid:map ;\n"
           "    lv2:extensionData ui:idleInterface ;\n"
           "    opts:supportedOption ui:scaleFactor ;\n"
           "    ui:portNotification\n" +
           meterNotification(kCompressorMeterSymbol) + " ,\n" + meterNotification(kGateMeterSymbol) + " .\n";
    return ttl;
}

std::string presets()
{
    std::string ttl = kPrefixes;
    for (int p = 0; p < kNumPrograms; ++p) {
        ttl += uri(presetUri(p)) + "\n    a pset:Preset ;\n    lv2:appliesTo " + uri(KORVALEX_LV2_URI) +
               " ;\n    rdfs:label " + quoted(kFactoryBank[p].name) + " ;\n    lv2:port";
        for (int i = 0; i < kNumParameters; ++i)
            ttl += std::string(i ? " ," : "") + "\n        [ lv2:symbol " + quoted(parameterSymbol(i)) +
                   " ; pset:value " + number(programValue(p, i)) + " ]";
        ttl += " .\n\n";
    }
    return ttl;
}

}  // namespace lv2ttl
