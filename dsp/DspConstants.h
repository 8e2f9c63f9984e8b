#pragma once
// Constants shared by every engine block.

// Every block is designed once for this rate; only the equaliser follows later changes.
constexpr float kDesignSampleRate = 44100.0f;

// Offsets added to signals so that recursive state never decays into denormals.
constexpr float kAntiDenormal = 1e-18f;
constexpr float kAntiDenormalSmall = 1e-24f;
