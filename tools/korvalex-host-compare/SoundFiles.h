#pragma once
// Reading and writing audio files (libsndfile), as 32-bit float samples per channel.

#include <string>
#include <vector>

struct SoundData {
    int sampleRate = 0;
    std::vector<std::vector<float>> channels;
};

// Appends the channels of the file to `data`. All files appended must share one rate; the
// channels may differ in length. Answers false with `error` set on failure.
bool appendSoundFile(const std::string& path, SoundData& data, std::string& error);

// Writes one channel as a mono 32-bit float WAV file.
bool writeMonoFloatWav(const std::string& path, const std::vector<float>& samples, int sampleRate,
                       std::string& error);
