#pragma once
// Streaming sample-rate conversion of interleaved stereo float frames with libsoxr at its
// high-quality setting. The output starts in step with the input (the converter's own
// filter delay is taken out), so a converted file lines up with the original.

#include <cstddef>
#include <string>
#include <vector>

struct soxr;

class Resampler {
public:
    // A converter from `inputRate` to `outputRate` for the file called `name` (named in
    // its error messages); equal rates pass frames through. Throws RenderFailure if the
    // converter cannot be built.
    Resampler(const std::string& name, double inputRate, double outputRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    bool converts() const { return converter_ != nullptr; }

    // Converts `count` frames and appends the frames that are ready to `out`.
    void process(const float* stereo, std::size_t count, std::vector<float>& out);
    // Ends the stream: appends the frames still held inside the converter.
    void flush(std::vector<float>& out);

private:
    void drain(const float* stereo, std::size_t count, bool ending, std::vector<float>& out);

    std::string name_;
    soxr* converter_ = nullptr;
    std::vector<float> scratch_;
};
