#pragma once
// What a host of Korvalex knows about the plug-in beyond the interface: the delay of its
// speaker-cabinet stage, which it does not report as latency, and when that stage is in
// the chain. Parameters are found by their names, as a host learns them.

class PluginHost;

// The cabinet convolves in 16-sample blocks, which delays the output by 31 samples at the
// engine's rate while the cabinet is in the chain.
constexpr int kCabinetLatency = 31;
constexpr double kCabinetLatencyRate = 44100.0;

// Whether the current settings keep the cabinet in the chain: Power on and the Amplifier
// on one of its cabinets, not on its last two positions ("-", "BYPASS"). A plug-in
// without those parameters is taken to have it.
bool cabinetInChain(PluginHost& host);
