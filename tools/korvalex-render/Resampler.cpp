#include "tools/korvalex-render/Resampler.h"

#include <soxr.h>

#include <cmath>
#include <string>

#include "tools/korvalex-render/Errors.h"

namespace {
constexpr unsigned kChannels = 2;
constexpr std::size_t kScratchFrames = 8192;
}  // namespace

Resampler::Resampler(const std::string& name, double inputRate, double outputRate) : name_(name)
{
    if (inputRate == outputRate)
        return;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);  // one thread: workers run in parallel already
    soxr_error_t error = nullptr;
    converter_ = soxr_create(inputRate, outputRate, kChannels, &error, &io, &quality, &runtime);
    if (error || !converter_)
        throw RenderFailure(name_ + ": cannot convert " + std::to_string(std::lround(inputRate)) + " Hz to " +
                            std::to_string(std::lround(outputRate)) + " Hz (" + (error ? error : "unknown reason") + ")");
    scratch_.resize(kScratchFrames * kChannels);
}

Resampler::~Resampler()
{
    if (converter_)
        soxr_delete(converter_);
}

void Resampler::process(const float* stereo, std::size_t count, std::vector<float>& out)
{
    if (!converter_) {
        out.insert(out.end(), stereo, stereo + count * kChannels);
        return;
    }
    drain(stereo, count, false, out);
}

void Resampler::flush(std::vector<float>& out)
{
    if (converter_)
        drain(nullptr, 0, true, out);
}

void Resampler::drain(const float* stereo, std::size_t count, bool ending, std::vector<float>& out)
{
    // Feed until every input frame is taken; when ending, until the converter gives no more.
    while (true) {
        std::size_t taken = 0, produced = 0;
        const soxr_error_t error =
            soxr_process(converter_, ending ? nullptr : stereo, count, ending ? nullptr : &taken, scratch_.data(),
                         kScratchFrames, &produced);
        if (error)
            throw RenderFailure(name_ + ": sample-rate conversion failed (" + error + ")");
        out.insert(out.end(), scratch_.begin(), scratch_.begin() + static_cast<std::ptrdiff_t>(produced * kChannels));
        if (ending) {
            if (produced == 0)
                return;
            continue;
        }
        stereo += taken * kChannels;
        count -= taken;
        if (count == 0 && produced < kScratchFrames)
            return;
    }
}
