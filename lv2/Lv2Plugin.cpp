#include "lv2/Lv2Plugin.h"

#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/atom/atom.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "lv2/Features.h"
#include "plugin/CZarelVST.h"

namespace {

// Blocks are cut into pieces of this size only where an audio port is left unconnected.
constexpr uint32_t kStandInFrames = 4096;

uint32_t bitsOf(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

}  // namespace

Lv2Plugin* Lv2Plugin::create(double sampleRate, const LV2_Feature* const* features)
{
    std::unique_ptr<Lv2Plugin> self(new (std::nothrow) Lv2Plugin);
    if (!self)
        return nullptr;
    self->sampleRate = static_cast<float>(sampleRate);
    if (const auto* maxBlock = static_cast<const int32_t*>(
            lv2features::findOption(features, LV2_BUF_SIZE__maxBlockLength, LV2_ATOM__Int)))
        self->maxBlock = *maxBlock;
    try {
        self->silence.assign(kStandInFrames, 0.0f);
        self->discarded.assign(kStandInFrames, 0.0f);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return self->build() ? self.release() : nullptr;
}

bool Lv2Plugin::build()
{
    std::unique_ptr<CZarelVST> fresh(CZarelVST::create(nullptr, nullptr));  // no host callback, no editor
    if (!fresh)
        return false;
    fresh->dispatcher(effSetSampleRate, 0, 0, nullptr, sampleRate);
    if (maxBlock > 0)
        fresh->dispatcher(effSetBlockSize, 0, maxBlock, nullptr, 0.0f);
    // The plug-in starts on program 0; ports that still hold those values change nothing.
    for (uint32_t i = 0; i < lv2port::kParameterCount; ++i)
        lastSeen[i] = bitsOf(fresh->getParameter(static_cast<VstInt32>(i)));
    plugin = std::move(fresh);
    processed = false;
    return true;
}

Lv2Plugin::~Lv2Plugin() = default;

void Lv2Plugin::connectPort(uint32_t port, void* data)
{
    if (lv2port::isParameter(port)) {
        controls[port] = static_cast<const float*>(data);
        return;
    }
    switch (port) {
    case lv2port::kLatency:
        latencyPort = static_cast<float*>(data);
        break;
    case lv2port::kCompressorMeter:
        compressorMeterPort = static_cast<float*>(data);
        break;
    case lv2port::kGateMeter:
        gateMeterPort = static_cast<float*>(data);
        break;
    case lv2port::kInputLeft:
    case lv2port::kInputRight:
        inputs[port - lv2port::kInputLeft] = static_cast<const float*>(data);
        break;
    case lv2port::kOutputLeft:
    case lv2port::kOutputRight:
        outputs[port - lv2port::kOutputLeft] = static_cast<float*>(data);
        break;
    default:
        break;
    }
}

void Lv2Plugin::activate()
{
    // What the plug-in heard before is forgotten (should a new one not be built, the old
    // one goes on with its history).
    if (processed)
        build();
    plugin->dispatcher(effMainsChanged, 0, 1, nullptr, 0.0f);
    // What the plug-in reports to VST hosts once it is set up for the rate and resumed.
    latency = static_cast<float>(plugin->getAeffect()->initialDelay);
}

void Lv2Plugin::deactivate()
{
    plugin->dispatcher(effMainsChanged, 0, 0, nullptr, 0.0f);
}

void Lv2Plugin::run(uint32_t frames)
{
    applyChangedControls();
    if (frames > 0) {
        process(frames);
        processed = true;
    }
    publishOutputs();
}

// Index by index, as a host's setParameter calls; the plug-in clamps, and ignores what is
// not a number, as it does for VST hosts.
void Lv2Plugin::applyChangedControls()
{
    for (uint32_t i = 0; i < lv2port::kParameterCount; ++i) {
        if (!controls[i])
            continue;
        const float value = *controls[i];
        const uint32_t bits = bitsOf(value);
        if (bits == lastSeen[i])
            continue;
        lastSeen[i] = bits;
        plugin->setParameter(static_cast<VstInt32>(i), value);
    }
}

void Lv2Plugin::process(uint32_t frames)
{
    if (inputs[0] && inputs[1] && outputs[0] && outputs[1]) {
        float* in[2] = {const_cast<float*>(inputs[0]), const_cast<float*>(inputs[1])};
        plugin->processReplacing(in, outputs, static_cast<VstInt32>(frames));
        return;
    }
    // A port left unconnected: its stand-in buffer instead, a piece at a time. Both
    // unconnected outputs may share the discarded buffer: nothing reads it.
    for (uint32_t done = 0; done < frames;) {
        const uint32_t n = std::min(frames - done, kStandInFrames);
        float* in[2], *out[2];
        for (int c = 0; c < 2; ++c) {
            in[c] = inputs[c] ? const_cast<float*>(inputs[c]) + done : silence.data();
            out[c] = outputs[c] ? outputs[c] + done : discarded.data();
        }
        plugin->processReplacing(in, out, static_cast<VstInt32>(n));
        done += n;
    }
}

void Lv2Plugin::publishOutputs()
{
    if (latencyPort)
        *latencyPort = latency;
    if (compressorMeterPort)
        *compressorMeterPort = plugin->getParameter(kCompressorMeterIndex);
    if (gateMeterPort)
        *gateMeterPort = plugin->getParameter(kGateMeterIndex);
}

// ---- the LV2 interface ------------------------------------------------------------------

namespace {

Lv2Plugin* self(LV2_Handle handle) { return static_cast<Lv2Plugin*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    try {
        return Lv2Plugin::create(rate, features);
    } catch (...) {
        return nullptr;  // nothing may be thrown across the host boundary
    }
}

void connectPort(LV2_Handle h, uint32_t port, void* data) { self(h)->connectPort(port, data); }
void activate(LV2_Handle h) { self(h)->activate(); }
void run(LV2_Handle h, uint32_t frames) { self(h)->run(frames); }
void deactivate(LV2_Handle h) { self(h)->deactivate(); }
void cleanup(LV2_Handle h) { delete self(h); }
const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {
    KORVALEX_LV2_URI, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}
