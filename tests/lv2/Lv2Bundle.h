#pragma once
// The built LV2 bundle through lilv, as LV2 hosts load it: the world found on LV2_PATH,
// the plug-in's ports and presets, and instances with their ports connected to buffers.

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "lv2/Ports.h"

// The world with the bundle's folder as its only LV2_PATH, loaded once per test program.
class Lv2Bundle {
public:
    static Lv2Bundle& get();
    ~Lv2Bundle();

    LilvWorld* world() const { return world_; }
    const LilvPlugin* plugin() const { return plugin_; }  // null when the bundle did not load
    LilvNode* node(const char* uri);  // a URI node, kept for the program's life
    LV2_URID_Map* map() { return &map_; }
    LV2_URID mapUri(const char* uri);

    // The presets' URIs, sorted by their program number.
    std::vector<std::string> presetUris();

private:
    Lv2Bundle();
    LilvWorld* world_ = nullptr;
    const LilvPlugin* plugin_ = nullptr;
    std::vector<LilvNode*> nodes_;
    std::vector<std::string> uris_;
    LV2_URID_Map map_{};
};

// One instance of the plug-in. Every port is connected (controls to `controls`, audio to
// buffers of `maxBlock` frames) unless the instance is made with connectPorts false.
class Lv2Instance {
public:
    Lv2Instance(double rate, bool connectPorts = true, uint32_t maxBlock = 8192);
    ~Lv2Instance();
    bool valid() const { return instance_ != nullptr; }

    // The port values the preset holds, written into `controls` as a host restores them.
    bool restorePreset(const std::string& uri);
    void connect(uint32_t port, void* data) { lilv_instance_connect_port(instance_, port, data); }
    void activate() { lilv_instance_activate(instance_); }
    void deactivate() { lilv_instance_deactivate(instance_); }
    void run(uint32_t frames) { lilv_instance_run(instance_, frames); }

    // Runs stereo input through the instance in blocks of `block` frames (at most maxBlock).
    void process(const float* inLeft, const float* inRight, float* outLeft, float* outRight, std::size_t frames,
                 uint32_t block);

    std::array<float, lv2port::kCount> controls{};
    std::vector<float> in[2], out[2];

private:
    LilvInstance* instance_ = nullptr;
    uint32_t maxBlock_;
};
