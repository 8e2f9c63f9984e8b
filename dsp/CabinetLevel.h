#pragma once
// How loud a cabinet response plays a guitar: its power gain for pink noise over the band
// a guitar speaker radiates, 80 Hz to 5 kHz (equal power per octave, sampled every twelfth
// of an octave), as an amplitude.
//
// This is what "the same loudness" means when a user's response takes the place of a
// stored one. A guitar's spectrum after the drive falls with frequency about as pink noise
// does, and what lies outside the band hardly reaches a listener through a real cabinet.
// The response's energy (its gain for white noise over the whole spectrum) would let the
// content above 5 kHz count as much as the midrange: a unit impulse, flat to 22 kHz, would
// be matched some 6 dB too quiet against a speaker's response, and ultrasonic ringing
// from a microphone would make a file quieter. The band gain weighs what is heard.

constexpr double kCabinetBandLowHz = 80.0;
constexpr double kCabinetBandHighHz = 5000.0;

// The band gain of `taps` at `sampleRate`, in double precision.
double cabinetBandGain(const float* taps, int length, double sampleRate);
