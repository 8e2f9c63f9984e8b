#pragma once
// Constants shared by every engine block.

// Every block is designed once for this rate; only the equaliser follows later changes.
constexpr float kDesignSampleRate = 44100.0f;

// Offsets added to signals so that recursive state never decays into denormals.
constexpr float kAntiDenormal = 1e-18f;
constexpr float kAntiDenormalSmall = 1e-24f;

// Input beyond +120 dBFS is garbage (an uninitialised host buffer, say), not audio, and
// treated like NaN: far louder input overflows to infinity inside the chain (the limiter's
// cubic above all) and would then stay in the filters' and the delay line's memories.
constexpr float kInputCeiling = 1e6f;
