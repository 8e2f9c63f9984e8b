#pragma once
// korvalex-validate: the pieces every check shares. A check drives one or more plug-in
// instances through `Plugin` (which counts every call and remembers the last one for the
// crash report) and records what it finds in a `Check`.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/PluginHost.h"

struct Options {
    std::string pluginPath;
    std::string entryPoint = "VSTPluginMain";
    std::uint64_t seed = 20240611;
    long iterations = 100000;         // random actions of the abuse check
    int threads = 4;                  // threads creating instances at once
    int instances = 24;               // instances per instance check
    long recoverySamples = 3 * 44100; // non-finite output allowed this long after bad input
    bool verbose = false;
    bool trace = false;
};

// The findings of one check. Thread-safe: checks with several threads share one.
class Check {
public:
    // Keeps the text of the first `keep` findings and counts the rest.
    explicit Check(std::string name, std::size_t keep = kMaxKept) : name_(std::move(name)), keep_(keep) {}

    const std::string& name() const { return name_; }
    void finding(const std::string& text);
    void note(const std::string& text);  // a measured fact for the report, not a finding
    std::size_t findingCount() const;
    std::vector<std::string> findings() const;  // the first `keep`
    std::vector<std::string> notes() const;

    static constexpr std::size_t kMaxKept = 12;

private:
    std::string name_;
    std::size_t keep_;
    mutable std::mutex mutex_;
    std::size_t count_ = 0;
    std::vector<std::string> findings_;
    std::vector<std::string> notes_;
};

std::string format(const char* fmt, ...) __attribute__((format(gnu_printf, 1, 2)));

// Every call made into any plug-in instance, for the report.
std::uint64_t callCount();

// Reports printed so far by a sanitizer the validator is built with (0 without one).
long sanitizerReportCount();

// Tracing: every call into the plug-in printed to standard error as it is made, and notes
// (such as the action number of a random session) between them.
void setTracing(bool on);
void traceNote(const std::string& text);

// Crash reporting: names the running check and the last call of the crashing thread.
void installCrashHandler();
void setCurrentCheck(const char* name);

// One plug-in instance as the validator drives it.
class Plugin {
public:
    static std::unique_ptr<Plugin> load(const Options& options, std::string& error);

    AEffect* effect() const { return host_->effect(); }
    int numParams() const { return effect()->numParams; }
    int numPrograms() const { return effect()->numPrograms; }
    int numInputs() const { return effect()->numInputs; }
    int numOutputs() const { return effect()->numOutputs; }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    void setParameter(VstInt32 index, float value);
    float getParameter(VstInt32 index);
    void process(float** inputs, float** outputs, VstInt32 frames);

    // What a host does before it processes: open, rate, block size, mains on.
    void start(float sampleRate = 44100.0f, VstIntPtr blockSize = 512);

    // Channels beyond the two that checks pass point at spare buffers of this many frames.
    static constexpr int kMaxChannels = 8;
    static constexpr int kSpareFrames = 8192 + 64;

private:
    explicit Plugin(std::unique_ptr<PluginHost> host);
    std::unique_ptr<PluginHost> host_;
    std::vector<std::vector<float>> spare_;
};

// A text buffer of a nominal size with guard bytes on both sides, for the requests whose
// answer the plug-in writes into host memory.
class GuardedText {
public:
    // The nominal area starts filled with `fill`: a non-zero byte for text answers (so that
    // an unterminated answer shows), zero for records the plug-in reads.
    explicit GuardedText(std::size_t nominal, unsigned char fill = kFillByte);
    char* data() { return bytes_.data() + kGuard; }
    std::size_t size() const { return nominal_; }

    // Empty when the buffer was used correctly; otherwise what went wrong. With
    // `mustHoldText`, the plug-in claimed an answer, so a NUL must end it in the buffer.
    std::string problem(bool mustHoldText) const;
    // The text written, cut at the NUL or the nominal size.
    std::string text() const;
    bool touched() const;  // whether any byte of the nominal area changed
    // Only the guards: for records, where any content is allowed.
    std::string guardProblem() const;

    static constexpr std::size_t kGuard = 64;
    static constexpr unsigned char kFillByte = 0x5A;

private:
    static constexpr unsigned char kGuardByte = 0xA5;
    std::size_t nominal_;
    unsigned char fill_;
    std::vector<char> bytes_;
};

// A guarded input text: the plug-in may read it but must not write into it or past it.
class GuardedInput {
public:
    explicit GuardedInput(const std::string& text);
    char* data() { return bytes_.data() + GuardedText::kGuard; }
    std::string problem() const;

private:
    std::vector<char> bytes_;
    std::vector<char> original_;
};

const char* opcodeName(VstInt32 opcode);

// Stereo audio buffers with room for the largest block plus guard samples, so that a
// write past the block length is seen.
class AudioBuffers {
public:
    static constexpr int kMaxFrames = 8192;
    static constexpr int kGuardFrames = 16;

    explicit AudioBuffers(int channels);
    int channels() const { return static_cast<int>(in_.size()); }
    float* in(int channel) { return in_[channel].data(); }
    float* out(int channel) { return out_[channel].data(); }

    // Fills every sample (block and guard) of every buffer with a sentinel value.
    void markAll();
    // Whether every buffer still holds the sentinel from sample `from` to its end.
    bool unwrittenFrom(int from) const;

private:
    std::vector<std::vector<float>> in_;
    std::vector<std::vector<float>> out_;
};

bool isSentinel(float x);
float sentinelValue();
bool allFinite(const float* samples, int frames);

// FNV-1a over the bit patterns of samples: identical output gives identical hashes.
class OutputHash {
public:
    void add(const float* samples, int frames);
    void add(std::uint64_t word);
    std::uint64_t value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325ull;
};
