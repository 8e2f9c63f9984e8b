#include "tools/korvalex-host-compare/SoundFiles.h"

#include <sndfile.h>

#include <cstddef>

bool appendSoundFile(const std::string& path, SoundData& data, std::string& error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    if (data.sampleRate != 0 && data.sampleRate != info.samplerate) {
        error = path + ": sample rate " + std::to_string(info.samplerate) + " differs from " +
                std::to_string(data.sampleRate);
        sf_close(file);
        return false;
    }
    const auto frames = static_cast<std::size_t>(info.frames);
    const auto count = static_cast<std::size_t>(info.channels);
    std::vector<float> interleaved(frames * count);
    const sf_count_t got = sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    if (got != info.frames) {
        error = path + ": read " + std::to_string(got) + " of " + std::to_string(info.frames) + " frames";
        return false;
    }
    data.sampleRate = info.samplerate;
    for (std::size_t c = 0; c < count; ++c) {
        std::vector<float> channel(frames);
        for (std::size_t i = 0; i < frames; ++i)
            channel[i] = interleaved[i * count + c];
        data.channels.push_back(std::move(channel));
    }
    return true;
}

bool writeMonoFloatWav(const std::string& path, const std::vector<float>& samples, int sampleRate,
                       std::string& error)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    const auto frames = static_cast<sf_count_t>(samples.size());
    const sf_count_t written = sf_writef_float(file, samples.data(), frames);
    sf_close(file);
    if (written != frames) {
        error = path + ": wrote " + std::to_string(written) + " of " + std::to_string(frames) + " frames";
        return false;
    }
    return true;
}
