// The bundle as LV2 hosts read it (through lilv), against the VST plug-in file (through
// the host library): every port, and every preset.

#include <gtest/gtest.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <set>

#include "tests/e2e/LoadedPlugin.h"
#include "tests/lv2/Lv2Bundle.h"

namespace {

enum class Kind { Continuous, Toggle, Selector, Page };

// How each parameter must appear: on/off switches as toggles; the amplifier, bank and mode
// selectors as enumerations; the panel page as a hidden integer; the rest continuous.
Kind expectedKind(int index)
{
    static const std::set<int> toggles{0, 11, 15, 20, 25, 32, 39, 41};
    static const std::set<int> selectors{1, 2, 10, 12, 16, 26, 33};
    if (index == 52)
        return Kind::Page;
    if (toggles.count(index))
        return Kind::Toggle;
    return selectors.count(index) ? Kind::Selector : Kind::Continuous;
}

class BundleDescription : public LoadedPlugin {
protected:
    void SetUp() override
    {
        LoadedPlugin::SetUp();
        ASSERT_NE(bundle.plugin(), nullptr) << "the bundle in " KORVALEX_LV2_PATH " did not load";
    }
    const LilvPort* port(uint32_t index) { return lilv_plugin_get_port_by_index(bundle.plugin(), index); }
    bool is(uint32_t index, const char* classUri) { return lilv_port_is_a(bundle.plugin(), port(index), bundle.node(classUri)); }
    bool has(uint32_t index, const char* property)
    {
        return lilv_port_has_property(bundle.plugin(), port(index), bundle.node(property));
    }
    std::string symbol(uint32_t index) { return lilv_node_as_string(lilv_port_get_symbol(bundle.plugin(), port(index))); }
    std::string name(uint32_t index)
    {
        LilvNode* n = lilv_port_get_name(bundle.plugin(), port(index));
        const std::string text = n ? lilv_node_as_string(n) : "";
        lilv_node_free(n);
        return text;
    }
    // The VST plug-in's display text for a value of a parameter.
    std::string vstDisplay(int index, float value)
    {
        host->setParameter(index, value);
        return host->parameterDisplay(index);
    }

    Lv2Bundle& bundle = Lv2Bundle::get();
};

TEST_F(BundleDescription, EveryPortHasItsIndexSymbolDirectionAndType)
{
    ASSERT_EQ(lilv_plugin_get_num_ports(bundle.plugin()), lv2port::kCount);
    std::set<std::string> symbols;
    // An LV2 symbol: a letter or underscore, then letters, digits and underscores.
    const auto validSymbol = [](const std::string& s) {
        const auto word = [](char c) { return c == '_' || std::isalnum(static_cast<unsigned char>(c)); };
        return !s.empty() && !std::isdigit(static_cast<unsigned char>(s[0])) && std::all_of(s.begin(), s.end(), word);
    };
    for (uint32_t i = 0; i < lv2port::kCount; ++i) {
        SCOPED_TRACE("port " + std::to_string(i));
        EXPECT_TRUE(validSymbol(symbol(i))) << symbol(i);
        EXPECT_TRUE(symbols.insert(symbol(i)).second) << "symbol used twice: " << symbol(i);
        const bool control = i < lv2port::kInputLeft;
        const bool input = i < lv2port::kParameterCount || i == lv2port::kInputLeft || i == lv2port::kInputRight;
        EXPECT_EQ(is(i, LV2_CORE__ControlPort), control);
        EXPECT_EQ(is(i, LV2_CORE__AudioPort), !control);
        EXPECT_EQ(is(i, LV2_CORE__InputPort), input);
        EXPECT_EQ(is(i, LV2_CORE__OutputPort), !input);
    }
    EXPECT_EQ(lilv_plugin_get_latency_port_index(bundle.plugin()), lv2port::kLatency);
    EXPECT_EQ(symbol(lv2port::kCompressorMeter), "comp_meter");
    EXPECT_EQ(symbol(lv2port::kGateMeter), "gate_meter");
}

TEST_F(BundleDescription, ParameterPortsHaveTheVstNamesRangesDefaultsAndKinds)
{
    std::vector<float> minimum(lv2port::kCount), maximum(lv2port::kCount), defaults(lv2port::kCount);
    lilv_plugin_get_port_ranges_float(bundle.plugin(), minimum.data(), maximum.data(), defaults.data());
    // The defaults are program 0 as the VST plug-in has it after construction.
    std::vector<float> programZero;
    for (int i = 0; i < 53; ++i)
        programZero.push_back(host->getParameter(i));

    for (int i = 0; i < 53; ++i) {
        SCOPED_TRACE("parameter " + std::to_string(i) + " " + name(i));
        if (i < 52) {
            EXPECT_EQ(name(i), host->parameterName(i));
        }
        EXPECT_EQ(minimum[i], 0.0f);
        EXPECT_EQ(maximum[i], 1.0f);
        EXPECT_EQ(defaults[i], programZero[i]);

        const Kind kind = expectedKind(i);
        EXPECT_EQ(has(i, LV2_CORE__toggled), kind == Kind::Toggle);
        EXPECT_EQ(has(i, LV2_CORE__enumeration), kind == Kind::Selector);
        EXPECT_EQ(has(i, LV2_CORE__integer), kind == Kind::Page);
        EXPECT_EQ(has(i, LV2_PORT_PROPS__notOnGUI), kind == Kind::Page);
        if (kind == Kind::Toggle) {
            // Off at 0, on at anything above it: the VST plug-in's display shows the same.
            EXPECT_NE(vstDisplay(i, 0.0f), vstDisplay(i, 1.0f));
            EXPECT_EQ(vstDisplay(i, 0.01f), vstDisplay(i, 1.0f));
        }

        LilvScalePoints* points = lilv_port_get_scale_points(bundle.plugin(), port(i));
        std::vector<float> values;
        LILV_FOREACH (scale_points, p, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, p);
            const float value = lilv_node_as_float(lilv_scale_point_get_value(point));
            values.push_back(value);
            EXPECT_EQ(lilv_node_as_string(lilv_scale_point_get_label(point)), vstDisplay(i, value)) << value;
        }
        lilv_scale_points_free(points);
        std::sort(values.begin(), values.end());
        if (kind != Kind::Selector) {
            EXPECT_TRUE(values.empty());
        } else if (i == 10) {
            // The amplifier's twenty positions, as the panel's menu sends them.
            ASSERT_EQ(values.size(), 20u);
            for (int k = 0; k < 20; ++k)
                EXPECT_EQ(values[k], static_cast<float>(k / 19.0)) << k;
        } else {
            EXPECT_EQ(values, (std::vector<float>{0.0f, 1.0f}));
        }
    }
}

TEST_F(BundleDescription, PresetsAreTheFactoryProgramsWithTheirNamesAndValues)
{
    const std::vector<std::string> presets = bundle.presetUris();
    ASSERT_EQ(presets.size(), 82u);
    std::set<std::string> labels;
    for (int p = 0; p < 82; ++p) {
        SCOPED_TRACE("program " + std::to_string(p));
        LilvNode* preset = lilv_new_uri(bundle.world(), presets[p].c_str());
        lilv_world_load_resource(bundle.world(), preset);
        LilvNodes* found = lilv_world_find_nodes(bundle.world(), preset, bundle.node(LILV_NS_RDFS "label"), nullptr);
        ASSERT_EQ(lilv_nodes_size(found), 1u);
        const std::string label = lilv_node_as_string(lilv_nodes_get_first(found));
        lilv_nodes_free(found);
        lilv_node_free(preset);
        // VST hosts see the names cut to 23 characters; LV2 hosts get them whole.
        std::string vstName;
        ASSERT_TRUE(host->programNameIndexed(p, vstName));
        EXPECT_EQ(label.substr(0, vstName.size()), vstName);
        EXPECT_LE(label.size(), 27u);
        EXPECT_TRUE(labels.insert(label).second) << label;

        Lv2Instance instance(44100.0);
        ASSERT_TRUE(instance.valid());
        instance.controls.fill(-1.0f);
        ASSERT_TRUE(instance.restorePreset(presets[p]));
        host->setProgram(p);
        for (int i = 0; i < 53; ++i)
            EXPECT_EQ(instance.controls[i], host->getParameter(i)) << "parameter " << i;
        for (uint32_t i = 53; i < lv2port::kCount; ++i)
            EXPECT_EQ(instance.controls[i], -1.0f) << "a preset sets only the parameters, not port " << i;
    }
}

}  // namespace
