#pragma once
// What a host of Korvalex knows about the plug-in beyond the interface: the delay of its
// speaker-cabinet stage, which it does not report as latency, when that stage is in the
// chain, and the private request that puts an impulse response in place of its stored
// cabinet responses. Parameters are found by their names, as a host learns them.

#include <vector>

class PluginHost;

// The cabinet convolves in 16-sample blocks, which delays the output by 31 samples at the
// engine's rate while the cabinet is in the chain.
constexpr int kCabinetLatency = 31;
constexpr double kCabinetLatencyRate = 44100.0;

// Whether the current settings keep the cabinet in the chain: Power on and the Amplifier
// on one of its cabinets, not on its last two positions ("-", "BYPASS"). A plug-in
// without those parameters is taken to have it.
bool cabinetInChain(PluginHost& host);

// Sends the cabinet request (vst/KorvalexRequests.h): `taps` at 44100 Hz in place of the
// stored responses, `gainDb` on top of the level match; no taps give the stored responses
// back. False when the plug-in did not take it (nothing changed).
bool sendCabinetResponse(PluginHost& host, const std::vector<float>& taps, double gainDb);
