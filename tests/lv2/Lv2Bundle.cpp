#include "tests/lv2/Lv2Bundle.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/presets/presets.h>

#include <algorithm>
#include <cmath>
#include <cstring>

Lv2Bundle& Lv2Bundle::get()
{
    static Lv2Bundle bundle;
    return bundle;
}

Lv2Bundle::Lv2Bundle()
{
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle handle, const char* uri) {
        return static_cast<Lv2Bundle*>(handle)->mapUri(uri);
    };
    world_ = lilv_world_new();
    LilvNode* path = lilv_new_string(world_, KORVALEX_LV2_PATH);
    lilv_world_set_option(world_, LILV_OPTION_LV2_PATH, path);
    lilv_node_free(path);
    lilv_world_load_all(world_);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), node(KORVALEX_LV2_URI));
}

Lv2Bundle::~Lv2Bundle()
{
    for (LilvNode* n : nodes_)
        lilv_node_free(n);
    lilv_world_free(world_);
}

LilvNode* Lv2Bundle::node(const char* uri)
{
    nodes_.push_back(lilv_new_uri(world_, uri));
    return nodes_.back();
}

LV2_URID Lv2Bundle::mapUri(const char* uri)
{
    const auto found = std::find(uris_.begin(), uris_.end(), uri);
    if (found != uris_.end())
        return static_cast<LV2_URID>(found - uris_.begin() + 1);
    uris_.push_back(uri);
    return static_cast<LV2_URID>(uris_.size());
}

std::vector<std::string> Lv2Bundle::presetUris()
{
    std::vector<std::string> uris;
    LilvNodes* presets = lilv_plugin_get_related(plugin_, node(LV2_PRESETS__Preset));
    LILV_FOREACH (nodes, i, presets)
        uris.push_back(lilv_node_as_uri(lilv_nodes_get(presets, i)));
    lilv_nodes_free(presets);
    const auto number = [](const std::string& uri) { return std::stoi(uri.substr(uri.find_last_of(':') + 1)); };
    std::sort(uris.begin(), uris.end(), [&](const auto& a, const auto& b) { return number(a) < number(b); });
    return uris;
}

Lv2Instance::Lv2Instance(double rate, bool connectPorts, uint32_t maxBlock) : maxBlock_(maxBlock)
{
    Lv2Bundle& bundle = Lv2Bundle::get();
    if (!bundle.plugin())
        return;
    const int32_t block = static_cast<int32_t>(maxBlock);
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, bundle.mapUri(LV2_BUF_SIZE__maxBlockLength), sizeof block,
         bundle.mapUri(LV2_ATOM__Int), &block},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    const LV2_Feature mapFeature{LV2_URID__map, bundle.map()};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature* features[] = {&mapFeature, &optionsFeature, nullptr};
    instance_ = lilv_plugin_instantiate(bundle.plugin(), rate, features);
    if (!instance_)
        return;
    // Controls start at their defaults, as a host sets them.
    std::vector<float> defaults(lv2port::kCount, 0.0f);
    lilv_plugin_get_port_ranges_float(bundle.plugin(), nullptr, nullptr, defaults.data());
    for (uint32_t i = 0; i < lv2port::kCount; ++i)
        controls[i] = std::isnan(defaults[i]) ? 0.0f : defaults[i];
    for (int c = 0; c < 2; ++c) {
        in[c].assign(maxBlock, 0.0f);
        out[c].assign(maxBlock, 0.0f);
    }
    if (!connectPorts)
        return;
    for (uint32_t i = 0; i < lv2port::kInputLeft; ++i)
        connect(i, &controls[i]);
    connect(lv2port::kInputLeft, in[0].data());
    connect(lv2port::kInputRight, in[1].data());
    connect(lv2port::kOutputLeft, out[0].data());
    connect(lv2port::kOutputRight, out[1].data());
}

Lv2Instance::~Lv2Instance()
{
    if (instance_) {
        lilv_instance_deactivate(instance_);
        lilv_instance_free(instance_);
    }
}

bool Lv2Instance::restorePreset(const std::string& uri)
{
    Lv2Bundle& bundle = Lv2Bundle::get();
    LilvNode* preset = lilv_new_uri(bundle.world(), uri.c_str());
    lilv_world_load_resource(bundle.world(), preset);
    LilvState* state = lilv_state_new_from_world(bundle.world(), bundle.map(), preset);
    lilv_node_free(preset);
    if (!state)
        return false;
    struct Target {
        Lv2Instance* self;
        LV2_URID floatType;
        bool ok = true;
    } target{this, bundle.mapUri(LV2_ATOM__Float)};
    const auto setValue = [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
        auto* t = static_cast<Target*>(data);
        LilvNode* symbolNode = lilv_new_string(Lv2Bundle::get().world(), symbol);
        const LilvPort* port = lilv_plugin_get_port_by_symbol(Lv2Bundle::get().plugin(), symbolNode);
        lilv_node_free(symbolNode);
        if (!port || type != t->floatType || size != sizeof(float)) {
            t->ok = false;
            return;
        }
        std::memcpy(&t->self->controls[lilv_port_get_index(Lv2Bundle::get().plugin(), port)], value, sizeof(float));
    };
    lilv_state_restore(state, instance_, setValue, &target, 0, nullptr);
    lilv_state_free(state);
    return target.ok;
}

void Lv2Instance::process(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                          std::size_t frames, uint32_t block)
{
    block = std::min(block, maxBlock_);
    for (std::size_t done = 0; done < frames;) {
        const uint32_t n = static_cast<uint32_t>(std::min<std::size_t>(block, frames - done));
        std::copy(inLeft + done, inLeft + done + n, in[0].begin());
        std::copy(inRight + done, inRight + done + n, in[1].begin());
        run(n);
        std::copy(out[0].begin(), out[0].begin() + n, outLeft + done);
        std::copy(out[1].begin(), out[1].begin() + n, outRight + done);
        done += n;
    }
}
