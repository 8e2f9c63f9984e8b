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

std::size_t framesFor(double seconds, int rate)
{
    return static_cast<std::size_t>(std::llround(seconds * rate));
}

// The stages after the source: conversion to the rate the plug-in runs at, processing in
// fixed blocks, dropping the plug-in's first output frames (its latency), conversion to an
// output rate below the plug-in's, the fade-out and the writer, which stops at the output
// length once that is known. The last frames are held back until the length is known, so
// that the fade can reach them; the plug-in's output is watched for the quiet that ends
// an automatic tail.
class Pipeline {
public:
    Pipeline(const std::string& name, int inputRate, int pluginRate, int outputRate, PluginSession& plugin,
             AudioWriter& writer, std::size_t framesToDrop)
        : toPlugin_(name, inputRate, pluginRate),
          fromPlugin_(name, pluginRate, outputRate),
          pluginRate_(pluginRate),
          plugin_(plugin),
          writer_(writer),
          framesToDrop_(framesToDrop),
          fadeFrames_(std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(kFadeOutSeconds * outputRate)))),
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
        acceptReady();
        // The converters round their lengths; should the output still be short, it ends in silence.
        const std::vector<float> silence(2 * kChunkFrames, 0.0f);
        while (accepted_ < outputLength_)
            accept(silence.data(), std::min(kChunkFrames, outputLength_ - accepted_));
        release();
    }

    // The output is at least this long (the input's length at the output rate): what lies
    // before its fade can be written while an automatic tail is still being looked for.
    void setMinimumLength(std::size_t frames) { minimumLength_ = frames; }
    void setOutputLength(std::size_t frames)
    {
        outputLength_ = frames;
        release();
    }
    bool complete() const { return written_ >= outputLength_; }
    double pluginTime() const { return pluginTime_; }
    std::size_t pluginFrames() const { return pluginFrames_; }

    // The end of an automatic tail, in plug-in frames from the start of the output: the
    // first frame, not before `inputEnd`, that closes kQuietSeconds of quiet output. Known
    // (true) once the quiet has lasted a further kQuietLookahead, so that a delay's next
    // repeat after a pause cannot be cut off; or once the tail has reached its limit.
    bool autoTailEnd(std::size_t inputEnd, std::size_t& end) const
    {
        const std::size_t quiet = framesFor(kQuietSeconds, pluginRate_);
        const std::size_t limit = inputEnd + framesFor(kMaxAutoTailSeconds, pluginRate_);
        end = std::min(limit, std::max(inputEnd, quietSince_ + quiet));
        return emitted_ >= std::min(limit, end + framesFor(kQuietLookahead, pluginRate_));
    }

private:
    // Longer than the longest delay time (about one second), so a pause between repeats
    // is not taken for the end.
    static constexpr double kQuietLookahead = 1.5;

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
            watchLevel(processed_.data() + 2 * dropped, count - dropped);
            fromPlugin_.process(processed_.data() + 2 * dropped, count - dropped, atOutputRate_);
        }
        atPluginRate_.erase(atPluginRate_.begin(), atPluginRate_.begin() + static_cast<std::ptrdiff_t>(2 * offset));
        acceptReady();
    }

    void watchLevel(const float* stereo, std::size_t count)
    {
        static const float quietLevel = static_cast<float>(std::pow(10.0, kQuietDbfs / 20.0));
        for (std::size_t i = 0; i < count; ++i)
            if (std::fabs(stereo[2 * i]) >= quietLevel || std::fabs(stereo[2 * i + 1]) >= quietLevel)
                quietSince_ = emitted_ + i + 1;
        emitted_ += count;
    }

    void acceptReady()
    {
        const std::size_t ready = atOutputRate_.size() / 2;
        accept(atOutputRate_.data(), std::min(ready, accepted_ < outputLength_ ? outputLength_ - accepted_ : 0));
        atOutputRate_.clear();
    }

    void accept(const float* stereo, std::size_t count)
    {
        held_.insert(held_.end(), stereo, stereo + 2 * count);
        accepted_ += count;
        release();
    }

    // Writes the held frames that can no longer fall within the fade (all of them once
    // the output length is known), fading those that do.
    void release()
    {
        std::size_t frames = held_.size() / 2;
        const bool lengthKnown = outputLength_ != kUnknownLength;
        if (!lengthKnown) {
            // While the input runs, the output may end a fade's length after any frame;
            // after it, no sooner than a fade's length after its minimum length.
            const std::size_t safe = minimumLength_ == kUnknownLength
                                         ? written_ + (frames > fadeFrames_ ? frames - fadeFrames_ : 0)
                                         : (minimumLength_ > fadeFrames_ ? minimumLength_ - fadeFrames_ : 0);
            frames = std::min(frames, safe > written_ ? safe - written_ : 0);
        }
        frames = std::min(frames, outputLength_ - written_);
        if (frames == 0)
            return;
        if (lengthKnown) {
            const std::size_t fade = std::min(fadeFrames_, outputLength_);
            for (std::size_t i = 0; i < frames; ++i) {
                const std::size_t remaining = outputLength_ - (written_ + i);  // 1 for the last frame
                if (remaining > fade)
                    continue;
                const double x = static_cast<double>(remaining - 1) / static_cast<double>(fade);
                const auto gain = static_cast<float>(0.5 - 0.5 * std::cos(kPi * x));
                held_[2 * i] *= gain;
                held_[2 * i + 1] *= gain;
            }
        }
        writer_.write(held_.data(), frames);
        written_ += frames;
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(2 * frames));
    }

    static constexpr std::size_t kUnknownLength = std::numeric_limits<std::size_t>::max();
    static constexpr double kPi = 3.14159265358979323846;

    Resampler toPlugin_;
    Resampler fromPlugin_;
    int pluginRate_;
    PluginSession& plugin_;
    AudioWriter& writer_;
    std::size_t framesToDrop_;
    std::size_t fadeFrames_;
    std::vector<float> atPluginRate_;
    std::vector<float> processed_;
    std::vector<float> atOutputRate_;
    std::vector<float> held_;
    std::size_t outputLength_ = kUnknownLength;
    std::size_t minimumLength_ = kUnknownLength;
    std::size_t accepted_ = 0;  // frames taken in for the output (held or written)
    std::size_t written_ = 0;
    std::size_t emitted_ = 0;     // plug-in frames passed on after the dropped latency
    std::size_t quietSince_ = 0;  // the first of the quiet frames at the end of those
    double pluginTime_ = 0.0;
    std::size_t pluginFrames_ = 0;
};

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
    if (!settings.cabinetTaps.empty())
        plugin->useCabinetResponse(settings.cabinetTaps, settings.cabinetGainDb);
    // The plug-in runs at the output rate (it converts to its engine's rate itself), or at
    // its engine's rate for lower output rates, which it would take for that one.
    const int pluginRate = std::max(outputRate, kEngineRate);
    const bool cabinet = plugin->cabinetInChain();
    plugin->start(pluginRate);
    // The latency the plug-in reports (its converters'), which a host compensates, and when
    // aligning the cabinet's, which it does not report: 31 engine samples, to the nearest
    // frame at the plug-in's rate.
    std::size_t latency = static_cast<std::size_t>(plugin->reportedLatency());
    if (settings.align && cabinet)
        latency += static_cast<std::size_t>(std::lround(static_cast<double>(kCabinetLatency) * pluginRate / kEngineRate));

    AudioWriter writer(job.output, format, outputRate, settings.force);
    Pipeline pipeline(job.output, inputRate, pluginRate, outputRate, *plugin, writer, latency);

    // After the input: the tail, then enough silence to cover the frames dropped for the
    // latency and the converters' rounding; the output is cut to its length. An automatic
    // tail is fed silence until the plug-in's output has gone quiet.
    const std::size_t margin =
        static_cast<std::size_t>(std::ceil(double(latency) * inputRate / pluginRate)) + kPaddingMargin;
    const auto gain = static_cast<float>(std::pow(10.0, settings.inputGainDb / 20.0));
    const double expected = static_cast<double>(source.frames() + margin) +
                            (settings.autoTail ? kQuietSeconds : settings.tailSeconds) * inputRate;
    std::vector<float> chunk(2 * kChunkFrames);
    std::size_t inputFrames = 0, fed = 0, paddingFed = 0, outputLength = 0;
    bool inputEnded = false, tailKnown = false;
    double tailSeconds = 0.0;
    while (!pipeline.complete()) {
        if (cancelled.load())
            throw RenderFailure(job.output + ": interrupted");
        std::size_t count = 0;
        if (!inputEnded) {
            count = source.read(chunk.data(), kChunkFrames);
            inputFrames += count;
            for (std::size_t i = 0; i < 2 * count; ++i)
                chunk[i] *= gain;
            if (count == 0) {
                inputEnded = true;
                if (inputFrames == 0)
                    throw RenderFailure(job.input + ": holds no audio");
                pipeline.setMinimumLength(framesFor(static_cast<double>(inputFrames) / inputRate, outputRate));
                std::fill(chunk.begin(), chunk.end(), 0.0f);
            }
        }
        if (inputEnded) {
            const double inputSeconds = static_cast<double>(inputFrames) / inputRate;
            if (!tailKnown) {
                std::size_t end = 0;
                if (!settings.autoTail) {
                    tailSeconds = settings.tailSeconds;
                    tailKnown = true;
                } else if (pipeline.autoTailEnd(framesFor(inputSeconds, pluginRate), end)) {
                    tailSeconds = static_cast<double>(end) / pluginRate - inputSeconds;
                    tailKnown = true;
                }
                if (tailKnown) {
                    outputLength = framesFor(inputSeconds, outputRate) + framesFor(tailSeconds, outputRate);
                    pipeline.setOutputLength(outputLength);
                }
            }
            const std::size_t padding = framesFor(tailSeconds, inputRate) + margin;
            if (tailKnown && paddingFed >= padding)
                break;
            count = tailKnown ? std::min(padding - paddingFed, kChunkFrames) : kChunkFrames;
            paddingFed += count;
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
    stats.pluginSeconds = static_cast<double>(pipeline.pluginFrames()) / pluginRate;
    stats.pluginTime = pipeline.pluginTime();
    stats.clippedSamples = writer.clippedSamples();
    return stats;
}
