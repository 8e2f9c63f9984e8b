#pragma once
// The LV2 plug-in: the Korvalex plug-in object inside, driven as a VST host drives it.
// Each run first gives the plug-in the control values that changed since the last run
// (as the host's setParameter calls), then processes the block and reports the meters
// and the latency on the output ports. An activation after processing starts afresh with
// a new plug-in object, as LV2 asks (hosts run a block to learn the latency, then
// deactivate and activate again before the real work).

#include <lv2/core/lv2.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "lv2/Ports.h"

class CZarelVST;

class Lv2Plugin {
public:
    // Null when the plug-in cannot be built.
    static Lv2Plugin* create(double sampleRate, const LV2_Feature* const* features);
    ~Lv2Plugin();

    void connectPort(uint32_t port, void* data);
    void activate();
    void deactivate();
    void run(uint32_t frames);

private:
    Lv2Plugin() = default;
    // A fresh plug-in object for the rate and block size; false when it cannot be built.
    bool build();
    void applyChangedControls();
    void process(uint32_t frames);
    void publishOutputs();

    std::unique_ptr<CZarelVST> plugin;
    float sampleRate = 44100.0f;
    int32_t maxBlock = 0;      // 0: the host did not say
    bool processed = false;    // the plug-in has processed audio since it was built
    std::array<const float*, lv2port::kParameterCount> controls{};
    // The bits of the last value each control port was seen with: a change of bits is a
    // change of value, and a NaN left on a port is not sent again and again.
    std::array<uint32_t, lv2port::kParameterCount> lastSeen{};
    float* latencyPort = nullptr;
    float* compressorMeterPort = nullptr;
    float* gateMeterPort = nullptr;
    const float* inputs[2] = {};
    float* outputs[2] = {};
    float latency = 0.0f;
    // Stand-ins for audio ports a host left unconnected: silence in, output discarded.
    std::vector<float> silence, discarded;
};
