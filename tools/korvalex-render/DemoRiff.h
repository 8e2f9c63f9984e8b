#pragma once
// The built-in demo input: a dry electric-guitar riff made by plucked-string synthesis,
// so that a new user can hear the plug-in without a recording of their own.

#include <vector>

constexpr int kDemoRiffRate = 44100;
constexpr double kDemoRiffSeconds = 8.0;
constexpr double kDemoRiffPeak = 0.25;  // about -12 dBFS, the level of a typical DI track

// The riff, mono at kDemoRiffRate, exactly kDemoRiffSeconds long: single notes and strummed
// chords at 120 beats per minute, the last chord ringing out within the length. The same
// samples on every run.
std::vector<float> synthesizeDemoRiff();
