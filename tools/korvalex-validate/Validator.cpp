#include "tools/korvalex-validate/Validator.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#if !defined(_WIN32)
#include <csignal>
#include <unistd.h>
#endif

namespace {

std::atomic<std::uint64_t> calls{0};
std::atomic<const char*> currentCheck{"start-up"};
std::atomic<bool> tracing{false};

// The last call of each thread, formatted before the call is made, so that a crash inside
// the plug-in can say what it was asked to do.
constexpr std::size_t kLastCallSize = 200;
thread_local char lastCall[kLastCallSize] = "none";

template <typename... Args>
void remember(const char* fmt, Args... args)
{
    calls.fetch_add(1, std::memory_order_relaxed);
    std::snprintf(lastCall, kLastCallSize, fmt, args...);
    if (tracing.load(std::memory_order_relaxed))
        std::fprintf(stderr, "%s\n", lastCall);
}

// Bit pattern of the output sentinel: a quiet NaN with a payload no arithmetic produces.
constexpr std::uint32_t kSentinelBits = 0x7FC5A5A5u;

float sentinel()
{
    float x;
    std::memcpy(&x, &kSentinelBits, sizeof x);
    return x;
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define KORVALEX_VALIDATE_CRASH_HANDLER 1

void writeText(const char* text)
{
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void onCrash(int signal)
{
    const char* name = signal == SIGSEGV   ? "SIGSEGV"
                       : signal == SIGBUS  ? "SIGBUS"
                       : signal == SIGFPE  ? "SIGFPE"
                       : signal == SIGILL  ? "SIGILL"
                       : signal == SIGABRT ? "SIGABRT"
                                           : "a fatal signal";
    writeText("\nkorvalex-validate: CRASH (");
    writeText(name);
    writeText(") in check '");
    writeText(currentCheck.load());
    writeText("'\n  last call on the crashing thread: ");
    writeText(lastCall);
    writeText("\nresult: FAIL (the plug-in crashed)\n");
    ::_exit(1);
}
#endif

std::atomic<long> sanitizerReports{0};

}  // namespace

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers call this with the one-line summary of every report they print; the
// definition here (exported from the executable) replaces the runtime's default, so that
// a report also counts as a finding of the check that was running.
extern "C" __attribute__((visibility("default"))) void __sanitizer_report_error_summary(const char* summary)
{
    sanitizerReports.fetch_add(1);
    std::fprintf(stderr, "%s\n", summary);
}
#endif

long sanitizerReportCount()
{
    return sanitizerReports.load();
}

std::string format(const char* fmt, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

void Check::finding(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (findings_.size() < keep_)
        findings_.push_back(text);
    ++count_;
}

void Check::note(const std::string& text)
{
    std::lock_guard<std::mutex> lock(mutex_);
    notes_.push_back(text);
}

std::size_t Check::findingCount() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return count_;
}

std::vector<std::string> Check::findings() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return findings_;
}

std::vector<std::string> Check::notes() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return notes_;
}

void setTracing(bool on)
{
    tracing = on;
}

void traceNote(const std::string& text)
{
    if (tracing.load(std::memory_order_relaxed))
        std::fprintf(stderr, "# %s\n", text.c_str());
}

std::uint64_t callCount()
{
    return calls.load();
}

void setCurrentCheck(const char* name)
{
    currentCheck.store(name);
}

void installCrashHandler()
{
#if defined(KORVALEX_VALIDATE_CRASH_HANDLER)
    // An alternate stack, so that a stack overflow in the plug-in is reported too.
    static std::vector<char> alternateStack(1 << 16);
    stack_t stack{};
    stack.ss_sp = alternateStack.data();
    stack.ss_size = alternateStack.size();
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_handler = onCrash;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        sigaction(signal, &action, nullptr);
#endif
    // Sanitizer builds keep the sanitizers' own handlers: their reports say more.
}

std::unique_ptr<Plugin> Plugin::load(const Options& options, std::string& error)
{
    remember("load %s through %s", options.pluginPath.c_str(), options.entryPoint.c_str());
    std::unique_ptr<PluginHost> host = PluginHost::load(options.pluginPath, error, options.entryPoint);
    if (!host)
        return nullptr;
    return std::unique_ptr<Plugin>(new Plugin(std::move(host)));
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    remember("dispatcher(%d %s, index %d, value %lld, ptr %p, opt %g)", static_cast<int>(opcode), opcodeName(opcode),
             static_cast<int>(index), static_cast<long long>(value), ptr, static_cast<double>(opt));
    return host_->dispatch(opcode, index, value, ptr, opt);
}

void Plugin::setParameter(VstInt32 index, float value)
{
    remember("setParameter(%d, %g)", static_cast<int>(index), static_cast<double>(value));
    host_->setParameter(index, value);
}

float Plugin::getParameter(VstInt32 index)
{
    remember("getParameter(%d)", static_cast<int>(index));
    return host_->getParameter(index);
}

Plugin::Plugin(std::unique_ptr<PluginHost> host) : host_(std::move(host))
{
    const int extra = std::max(numInputs(), numOutputs()) - 2;
    if (extra > 0)
        spare_.assign(2 * static_cast<std::size_t>(std::min(extra, kMaxChannels - 2)),
                      std::vector<float>(kSpareFrames, 0.0f));
}

void Plugin::process(float** inputs, float** outputs, VstInt32 frames)
{
    if (!spare_.empty()) {
        float* in[kMaxChannels];
        float* out[kMaxChannels];
        in[0] = inputs[0];
        in[1] = inputs[1];
        out[0] = outputs[0];
        out[1] = outputs[1];
        const std::size_t half = spare_.size() / 2;
        for (std::size_t c = 0; c < half; ++c) {
            in[2 + c] = spare_[c].data();
            out[2 + c] = spare_[half + c].data();
        }
        inputs = in;
        outputs = out;
        remember("processReplacing(%d frames, %d spare channels)", static_cast<int>(frames), static_cast<int>(half));
        host_->processReplacing(inputs, outputs, frames);
        return;
    }
    remember("processReplacing(in %p %p, out %p %p, %d frames)", static_cast<void*>(inputs[0]),
             static_cast<void*>(inputs[1]), static_cast<void*>(outputs[0]), static_cast<void*>(outputs[1]),
             static_cast<int>(frames));
    host_->processReplacing(inputs, outputs, frames);
}

void Plugin::start(float sampleRate, VstIntPtr blockSize)
{
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
}

GuardedText::GuardedText(std::size_t nominal, unsigned char fill)
    : nominal_(nominal), fill_(fill), bytes_(nominal + 2 * kGuard)
{
    std::memset(bytes_.data(), kGuardByte, bytes_.size());
    std::memset(bytes_.data() + kGuard, fill_, nominal_);
}

bool GuardedText::touched() const
{
    for (std::size_t i = 0; i < nominal_; ++i)
        if (static_cast<unsigned char>(bytes_[kGuard + i]) != fill_)
            return true;
    return false;
}

std::string GuardedText::problem(bool mustHoldText) const
{
    std::string guards = guardProblem();
    if (!guards.empty())
        return guards;
    if (mustHoldText || touched()) {
        if (!std::memchr(bytes_.data() + kGuard, 0, nominal_))
            return format("left no NUL in its %zu-byte buffer", nominal_);
    }
    return {};
}

std::string GuardedText::guardProblem() const
{
    std::size_t before = 0, after = 0, lastAfter = 0;
    for (std::size_t i = 0; i < kGuard; ++i) {
        if (static_cast<unsigned char>(bytes_[i]) != kGuardByte)
            ++before;
        if (static_cast<unsigned char>(bytes_[kGuard + nominal_ + i]) != kGuardByte) {
            ++after;
            lastAfter = i + 1;
        }
    }
    if (after)
        return format("wrote past the end of its %zu-byte buffer (%zu guard bytes changed, up to %zu bytes beyond)",
                      nominal_, after, lastAfter);
    if (before)
        return format("wrote %zu bytes in front of its buffer", before);
    return {};
}

std::string GuardedText::text() const
{
    const char* begin = bytes_.data() + kGuard;
    const void* nul = std::memchr(begin, 0, nominal_);
    return std::string(begin, nul ? static_cast<const char*>(nul) : begin + nominal_);
}

GuardedInput::GuardedInput(const std::string& text) : bytes_(text.size() + 1 + 2 * GuardedText::kGuard, '\x7e')
{
    std::memcpy(bytes_.data() + GuardedText::kGuard, text.c_str(), text.size() + 1);
    original_ = bytes_;
}

std::string GuardedInput::problem() const
{
    if (bytes_ == original_)
        return {};
    std::size_t changed = 0;
    for (std::size_t i = 0; i < bytes_.size(); ++i)
        changed += bytes_[i] != original_[i];
    return format("wrote into the text it was given (%zu bytes changed)", changed);
}

AudioBuffers::AudioBuffers(int channels)
    : in_(static_cast<std::size_t>(channels), std::vector<float>(kMaxFrames + kGuardFrames, 0.0f)),
      out_(static_cast<std::size_t>(channels), std::vector<float>(kMaxFrames + kGuardFrames, 0.0f))
{
}

void AudioBuffers::markAll()
{
    for (auto& channel : in_)
        std::fill(channel.begin(), channel.end(), sentinel());
    for (auto& channel : out_)
        std::fill(channel.begin(), channel.end(), sentinel());
}

bool AudioBuffers::unwrittenFrom(int from) const
{
    const std::size_t first = static_cast<std::size_t>(from < 0 ? 0 : from);
    for (const auto* buffers : {&in_, &out_})
        for (const auto& channel : *buffers)
            for (std::size_t i = first; i < channel.size(); ++i)
                if (!isSentinel(channel[i]))
                    return false;
    return true;
}

float sentinelValue()
{
    return sentinel();
}

bool isSentinel(float x)
{
    std::uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits == kSentinelBits;
}

bool allFinite(const float* samples, int frames)
{
    for (int i = 0; i < frames; ++i)
        if (!std::isfinite(samples[i]))
            return false;
    return true;
}

void OutputHash::add(const float* samples, int frames)
{
    for (int i = 0; i < frames; ++i) {
        std::uint32_t bits;
        std::memcpy(&bits, &samples[i], sizeof bits);
        add(bits);
    }
}

void OutputHash::add(std::uint64_t word)
{
    for (int byte = 0; byte < 8; ++byte) {
        hash_ ^= (word >> (8 * byte)) & 0xFFu;
        hash_ *= 0x100000001b3ull;
    }
}

const char* opcodeName(VstInt32 opcode)
{
    static const char* const kNames[] = {
        "effOpen", "effClose", "effSetProgram", "effGetProgram", "effSetProgramName", "effGetProgramName",
        "effGetParamLabel", "effGetParamDisplay", "effGetParamName", "effGetVu", "effSetSampleRate",
        "effSetBlockSize", "effMainsChanged", "effEditGetRect", "effEditOpen", "effEditClose", "effEditDraw",
        "effEditMouse", "effEditKey", "effEditIdle", "effEditTop", "effEditSleep", "effIdentify", "effGetChunk",
        "effSetChunk", "effProcessEvents", "effCanBeAutomated", "effString2Parameter",
        "effGetNumProgramCategories", "effGetProgramNameIndexed", "effCopyProgram", "effConnectInput",
        "effConnectOutput", "effGetInputProperties", "effGetOutputProperties", "effGetPlugCategory",
        "effGetCurrentPosition", "effGetDestinationBuffer", "effOfflineNotify", "effOfflinePrepare",
        "effOfflineRun", "effProcessVarIo", "effSetSpeakerArrangement", "effSetBlockSizeAndSampleRate",
        "effSetBypass", "effGetEffectName", "effGetErrorText", "effGetVendorString", "effGetProductString",
        "effGetVendorVersion", "effVendorSpecific", "effCanDo", "effGetTailSize", "effIdle", "effGetIcon",
        "effSetViewPosition", "effGetParameterProperties", "effKeysRequired", "effGetVstVersion",
        "effEditKeyDown", "effEditKeyUp", "effSetEditKnobMode", "effGetMidiProgramName",
        "effGetCurrentMidiProgram", "effGetMidiProgramCategory", "effHasMidiProgramsChanged",
        "effGetMidiKeyName", "effBeginSetProgram", "effEndSetProgram", "effGetSpeakerArrangement",
        "effShellGetNextPlugin", "effStartProcess", "effStopProcess", "effSetTotalSampleToProcess",
        "effSetPanLaw", "effBeginLoadBank", "effBeginLoadProgram", "effSetProcessPrecision",
        "effGetNumMidiInputChannels", "effGetNumMidiOutputChannels",
    };
    constexpr int kCount = static_cast<int>(sizeof kNames / sizeof kNames[0]);
    static_assert(kCount == 80, "opcodes 0..79");
    if (opcode >= 0 && opcode < kCount)
        return kNames[opcode];
    return "(unknown opcode)";
}
