#include "irfile/CabinetFile.h"

#include <sndfile.h>
#include <soxr.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "dsp/CabinetLevel.h"
#include "dsp/UserCabinet.h"

namespace {

static_assert(kCabinetFileRate * kCabinetFileMaxSeconds == UserCabinet::kMaxTaps, "the plug-in's limit");

// A file far longer than the limit is refused before it is read: trimming its silence
// could not bring it under.
constexpr double kReadLimitSeconds = 10.0;

// libsndfile reports why an open failed through one global slot.
std::mutex openMutex;

struct Refusal {
    std::string reason;
};

std::string decibels(double amplitude)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(amplitude));
    return text;
}

std::string seconds(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3g s", value);
    return text;
}

double peakOf(const std::vector<float>& x)
{
    double peak = 0.0;
    for (float v : x)
        peak = std::max(peak, static_cast<double>(std::fabs(v)));
    return peak;
}

// Drops the trailing samples below kCabinetFileTrimDb of the peak.
void trimTail(std::vector<float>& x)
{
    const double floor = peakOf(x) * std::pow(10.0, kCabinetFileTrimDb / 20.0);
    size_t end = x.size();
    while (end > 0 && std::fabs(x[end - 1]) < floor)
        --end;
    x.resize(end);
}

// The samples as mono: a stereo pair summed (as the mean, so a centred source keeps its level).
std::vector<float> readMono(const std::string& path, CabinetFile& file)
{
    struct stat status{};
    if (stat(path.c_str(), &status) != 0)
        throw Refusal{std::string("cannot read: ") + std::strerror(errno)};
    if (S_ISDIR(status.st_mode))
        throw Refusal{"is a folder, not an audio file"};
    SF_INFO info{};
    SNDFILE* sound = nullptr;
    {
        std::lock_guard<std::mutex> lock(openMutex);
        sound = sf_open(path.c_str(), SFM_READ, &info);
        if (!sound)
            throw Refusal{std::string("not an audio file that can be read (") + sf_strerror(nullptr) + ")"};
    }
    struct Closer {
        SNDFILE* s;
        ~Closer() { sf_close(s); }
    } closer{sound};
    file.fileRate = info.samplerate;
    file.fileChannels = info.channels;
    if (info.channels > 2)
        throw Refusal{"has " + std::to_string(info.channels) +
                      " channels; an impulse response must be mono or stereo"};
    if (info.frames <= 0 || info.samplerate <= 0)
        throw Refusal{"holds no audio (0 frames)"};
    const double length = static_cast<double>(info.frames) / info.samplerate;
    if (length > kReadLimitSeconds)
        throw Refusal{"is " + seconds(length) + " long; an impulse response may be at most " +
                      seconds(kCabinetFileMaxSeconds)};

    std::vector<float> interleaved(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    const sf_count_t got = sf_readf_float(sound, interleaved.data(), info.frames);
    if (got != info.frames)
        throw Refusal{std::string("read error (") + sf_strerror(sound) + ")"};
    std::vector<float> mono(static_cast<size_t>(info.frames));
    for (size_t i = 0; i < mono.size(); ++i) {
        const float* frame = &interleaved[i * static_cast<size_t>(info.channels)];
        for (int c = 0; c < info.channels; ++c)
            if (!std::isfinite(frame[c]))
                throw Refusal{"holds a sample that is not a finite number (frame " + std::to_string(i) + ")"};
        mono[i] = info.channels == 2 ? 0.5f * (frame[0] + frame[1]) : frame[0];
    }
    return mono;
}

// To the engine's rate. The taps are scaled by the ratio of the rates, so that the
// response keeps its gain (a filter's taps sum to its gain at 0 Hz).
std::vector<float> toEngineRate(const std::vector<float>& x, int rate)
{
    if (rate == kCabinetFileRate)
        return x;
    const double ratio = static_cast<double>(kCabinetFileRate) / rate;
    std::vector<float> out(static_cast<size_t>(std::ceil(static_cast<double>(x.size()) * ratio)) + 1);
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    size_t produced = 0;
    const soxr_error_t error = soxr_oneshot(rate, kCabinetFileRate, 1, x.data(), x.size(), nullptr, out.data(),
                                            out.size(), &produced, &io, &quality, nullptr);
    if (error)
        throw Refusal{"cannot convert " + std::to_string(rate) + " Hz to " + std::to_string(kCabinetFileRate) +
                      " Hz (" + error + ")"};
    out.resize(produced);
    const auto scale = static_cast<float>(1.0 / ratio);
    for (float& v : out)
        v *= scale;
    return out;
}

std::vector<float> prepare(const std::string& path, CabinetFile& file)
{
    std::vector<float> x = readMono(path, file);
    const double peak = peakOf(x);
    if (peak < std::pow(10.0, kCabinetFileMinPeakDbfs / 20.0))
        throw Refusal{std::string("its peak") + (file.fileChannels == 2 ? " (after summing its two channels)" : "") +
                      " is " + (peak > 0.0 ? decibels(peak) + " dBFS" : "silence") + ", below " +
                      std::to_string(static_cast<int>(kCabinetFileMinPeakDbfs)) + " dBFS: nothing to normalise"};
    trimTail(x);
    x = toEngineRate(x, file.fileRate);
    trimTail(x);  // the converter's own ringing after the end
    if (x.size() > static_cast<size_t>(UserCabinet::kMaxTaps))
        throw Refusal{"the response is " + seconds(static_cast<double>(x.size()) / kCabinetFileRate) +
                      " long (after trimming the trailing samples below -90 dB of its peak); the limit is " +
                      seconds(kCabinetFileMaxSeconds)};
    const double band = cabinetBandGain(x.data(), static_cast<int>(x.size()), kCabinetFileRate);
    if (!(band >= UserCabinet::kMinBandGain))
        throw Refusal{"has next to nothing between 80 Hz and 5 kHz (" + (band > 0.0 ? decibels(band) : "-inf") +
                      " dB), nothing to level as a cabinet"};
    return x;
}

}  // namespace

CabinetFile readCabinetFile(const std::string& path)
{
    CabinetFile file;
    try {
        file.taps = prepare(path, file);
    } catch (const Refusal& refusal) {
        file.taps.clear();
        file.error = path + ": " + refusal.reason;
    }
    return file;
}

std::string CabinetFile::description() const
{
    std::string text;
    if (fileChannels == 2)
        text += "stereo, summed to mono; ";
    if (fileRate != kCabinetFileRate)
        text += std::to_string(fileRate) + " Hz, converted to " + std::to_string(kCabinetFileRate) + " Hz; ";
    char length[64];
    std::snprintf(length, sizeof length, "%zu taps (%.3f s)", taps.size(),
                  static_cast<double>(taps.size()) / kCabinetFileRate);
    return text + length;
}
