#pragma once
// Korvalex's private request through the vendor-specific opcode: an impulse response in
// place of the plug-in's stored cabinet responses. Hosts do not send it, and a host that
// never does gets the plug-in exactly as it is without it; korvalex-render (--cabinet)
// and Korvalex Live send it.
//
//   dispatcher(effVendorSpecific, index 'Korv', value 'CbIR', ptr, opt 0)
//
// `ptr` points to a KorvalexCabinetRequest that the caller owns: the plug-in copies the
// taps before it answers, so the caller may free them as soon as the call returns. The
// taps are at 44100 Hz, the engine's rate, whatever rate the host runs at. A request of
// length 0 (taps null) gives the stored responses back.
//
// The plug-in matches the response's loudness to the stored response that the Amplifier
// and Bank parameters select (and follows them when they change), then applies gainDb.
// The answer is 1 when the plug-in has taken the request: the response is heard from the
// next processing call on, while earlier input rings out through the response it met.
// The answer is 0, and nothing changes, for a malformed request: a null ptr, a size that
// is not this record's, a length outside 0..kKorvalexCabinetMaxTaps, null or non-finite
// taps, a gain that is not finite or lies beyond kKorvalexCabinetGainLimitDb, or a
// response with next to nothing in the band a guitar cabinet plays (below -80 dB
// between 80 Hz and 5 kHz). The response is not part of the saved state: the plug-in's
// state stays its parameters, so the caller sends it again after a restart.

#include "vst/vst2.h"

constexpr VstInt32 kKorvalexVendorIndex = vstFourCC('K', 'o', 'r', 'v');
constexpr VstIntPtr kKorvalexCabinetRequest = vstFourCC('C', 'b', 'I', 'R');
constexpr VstInt32 kKorvalexCabinetMaxTaps = 44100;  // one second
constexpr float kKorvalexCabinetGainLimitDb = 40.0f;

struct KorvalexCabinetRequest {
    VstInt32 size;       // sizeof(KorvalexCabinetRequest)
    VstInt32 length;     // number of taps, 0..kKorvalexCabinetMaxTaps
    const float* taps;   // `length` taps at 44100 Hz; null for length 0
    float gainDb;        // on top of the level match, within +-kKorvalexCabinetGainLimitDb
};
