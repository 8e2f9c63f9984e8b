#include "tools/korvalex-render/Render.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>

#include "tools/korvalex-render/AudioFile.h"
#include "tools/korvalex-render/DemoRiff.h"
#include "tools/korvalex-render/Errors.h"
#include "tools/korvalex-render/PluginSession.h"
#include "tools/korvalex-render/Resampler.h"

namespace {

constexpr std::size_t kChunkFrames = 4096;  // frames read from the input at a time
constexpr std::size_t kPaddingMargin = 64;  // extra input-rate frames that cover the converters' rounding
constexpr double kProgressBeforeCommit = 0.99;  // a file counts as done once it is in place

// Where the input frames come from: a file or the demo riff, as stereo frames.
class Source {
public:
    explicit Source(const RenderJob& job)
    {
        if (job.demo) {
            riff_ = synthesizeDemoRiff();
            rate_ = kDemoRiffRate;
            frames_ = riff_.size();
        } else {
            reader_ = std::make_unique<AudioReader>(job.input);
            rate_ = reader_->sampleRate();
            frames_ = static_cast<std::size_t>(reader_->frames());
        }
    }

    int rate() const { return rate_; }
    std::size_t frames() const { return frames_; }

    std::size_t read(float* stereo, std::size_t count)
    {
        if (reader_)
            return reader_->read(stereo, count);
        const std::size_t n = std::min(count, riff_.size() - position_);
        for (std::size_t i = 0; i < n; ++i)
            stereo[2 * i] = stereo[2 * i + 1] = riff_[position_ + i];
        position_ += n;
        return n;
    }

private:
    std::unique_ptr<AudioReader> reader_;
    std::vector<float> riff_;
    std::size_t position_ = 0;
    int rate_ = 0;
    std::size_t frames_ = 0;
};

// The stages after the source: conversion to the plug-in's rate, processing in fixed
// blocks, dropping the plug-in's first output frames (its latency, when aligning),
// conversion to the output rate, and the writer, which stops at the output length once
// that is known.
class Pipeline {
public:
    Pipeline(const std::string& name, int inputRate, int outputRate, PluginSession& plugin, AudioWriter& writer,
             std::size_t framesToDrop)
        : toPlugin_(name, inputRate, kPluginRate),
          fromPlugin_(name, kPluginRate, outputRate),
          plugin_(plugin),
          writer_(writer),
          framesToDrop_(framesToDrop),
          processed_(2 * kBlockSize)
    {
    }

    void push(const float* stereo, std::size_t count)
    {
        toPlugin_.process(stereo, count, atPluginRate_);
        runPlugin(false);
    }

    void finish()
    {
        toPlugin_.flush(atPluginRate_);
        runPlugin(true);
        fromPlugin_.flush(atOutputRate_);
        writeReady();
        // The converters round their lengths; should the output still be short, it ends in silence.
        const std::vector<float> silence(2 * kChunkFrames, 0.0f);
        while (written_ < outputLength_)
            write(silence.data(), std::min(kChunkFrames, outputLength_ - written_));
    }

    void setOutputLength(std::size_t frames) { outputLength_ = frames; }
    bool complete() const { return written_ >= outputLength_; }
    double pluginTime() const { return pluginTime_; }
    std::size_t pluginFrames() const { return pluginFrames_; }

private:
    void runPlugin(bool final)
    {
        const std::size_t available = atPluginRate_.size() / 2;
        std::size_t offset = 0;
        while (available - offset >= static_cast<std::size_t>(kBlockSize) || (final && offset < available)) {
            const std::size_t count = std::min<std::size_t>(kBlockSize, available - offset);
            const auto begin = std::chrono::steady_clock::now();
            plugin_.processBlock(atPluginRate_.data() + 2 * offset, processed_.data(), count);
            pluginTime_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
            pluginFrames_ += count;
            offset += count;
            const std::size_t dropped = std::min(framesToDrop_, count);
            framesToDrop_ -= dropped;
            fromPlugin_.process(processed_.data() + 2 * dropped, count - dropped, atOutputRate_);
        }
        atPluginRate_.erase(atPluginRate_.begin(), atPluginRate_.begin() + static_cast<std::ptrdiff_t>(2 * offset));
        writeReady();
    }

    void writeReady()
    {
        const std::size_t ready = atOutputRate_.size() / 2;
        write(atOutputRate_.data(), std::min(ready, outputLength_ - written_));
        atOutputRate_.clear();
    }

    void write(const float* stereo, std::size_t count)
    {
        if (count == 0)
            return;
        writer_.write(stereo, count);
        written_ += count;
    }

    Resampler toPlugin_;
    Resampler fromPlugin_;
    PluginSession& plugin_;
    AudioWriter& writer_;
    std::size_t framesToDrop_;
    std::vector<float> atPluginRate_;
    std::vector<float> processed_;
    std::vector<float> atOutputRate_;
    std::size_t outputLength_ = std::numeric_limits<std::size_t>::max();
    std::size_t written_ = 0;
    double pluginTime_ = 0.0;
    std::size_t pluginFrames_ = 0;
};

std::size_t framesFor(double seconds, int rate)
{
    return static_cast<std::size_t>(std::llround(seconds * rate));
}

void checkOutputPath(const RenderJob& job, bool force)
{
    if (!job.demo && sameFile(job.input, job.output))
        throw RenderFailure(job.output + ": is the input itself; choose another output name");
    if (isDirectory(job.output))
        throw RenderFailure(job.output + ": is a folder; give a file name (or use -o DIR)");
    if (!force && fileExists(job.output))
        throw RenderFailure(job.output + ": already exists (use --force to overwrite it)");
}

}  // namespace

RenderStats renderFile(const RenderJob& job, const RenderSettings& settings, const ProgressCallback& progress,
                       const std::atomic<bool>& cancelled)
{
    const int format = outputFormatFor(job.output, settings.floatOutput);
    checkOutputPath(job, settings.force);

    Source source(job);
    const int inputRate = source.rate();
    const int outputRate = settings.outputRate > 0 ? settings.outputRate : inputRate;

    std::unique_ptr<PluginSession> plugin = PluginSession::open(settings.pluginPath);
    if (settings.program >= 0)
        plugin->selectProgram(settings.program);
    for (const auto& [index, value] : settings.parameters)
        plugin->setParameter(index, value);
    plugin->start();

    AudioWriter writer(job.output, format, outputRate, settings.force);
    Pipeline pipeline(job.output, inputRate, outputRate, *plugin, writer, settings.align ? kCabinetLatency : 0);

    // After the input: the tail, then enough silence to cover the frames dropped for the
    // latency and the converters' rounding; the output is cut to its length.
    const std::size_t padding = framesFor(settings.tailSeconds, inputRate) +
                                static_cast<std::size_t>(std::ceil(double(kCabinetLatency) * inputRate / kPluginRate)) +
                                kPaddingMargin;
    const double expected = static_cast<double>(source.frames() + padding);
    std::vector<float> chunk(2 * kChunkFrames);
    std::size_t inputFrames = 0, fed = 0, paddingLeft = padding, outputLength = 0;
    bool inputEnded = false;
    while (!pipeline.complete()) {
        if (cancelled.load())
            throw RenderFailure(job.output + ": interrupted");
        std::size_t count = 0;
        if (!inputEnded) {
            count = source.read(chunk.data(), kChunkFrames);
            inputFrames += count;
            if (count == 0) {
                inputEnded = true;
                if (inputFrames == 0)
                    throw RenderFailure(job.input + ": holds no audio");
                outputLength = framesFor(static_cast<double>(inputFrames) / inputRate, outputRate) +
                               framesFor(settings.tailSeconds, outputRate);
                pipeline.setOutputLength(outputLength);
                std::fill(chunk.begin(), chunk.end(), 0.0f);
            }
        }
        if (inputEnded) {
            if (paddingLeft == 0)
                break;
            count = std::min(paddingLeft, kChunkFrames);
            paddingLeft -= count;
        }
        pipeline.push(chunk.data(), count);
        fed += count;
        if (progress)
            progress(std::min(kProgressBeforeCommit, static_cast<double>(fed) / expected));
    }
    pipeline.finish();
    writer.commit();
    if (progress)
        progress(1.0);

    RenderStats stats;
    stats.outputRate = outputRate;
    stats.audioSeconds = static_cast<double>(outputLength) / outputRate;
    stats.pluginSeconds = static_cast<double>(pipeline.pluginFrames()) / kPluginRate;
    stats.pluginTime = pipeline.pluginTime();
    stats.clippedSamples = writer.clippedSamples();
    return stats;
}
