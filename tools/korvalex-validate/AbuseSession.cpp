#include "tools/korvalex-validate/AbuseSession.h"

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Parameter values no host should send but some do.
const float kOddValues[] = {kNaN, -kNaN, kInf, -kInf, -0.0f, -1e-3f, 1.0001f, 2.0f, -1.0f, 1e30f, -1e30f,
                            FLT_MAX, FLT_MIN / 2.0f, 1e-45f, 0.99999994f, 100.0f};

// Output this loud (+80 dBFS) from input within 0 dBFS means something inside has run away
// (an unstable filter, a feedback loop above unity) and is on its way to infinity.
constexpr float kRunawayLevel = 1e4f;

const VstInt32 kOddIndices[] = {-1, INT_MIN, INT_MAX, 53, 54, 55, 56, 1000, -53};

const float kSampleRates[] = {44100.0f, 48000.0f, 88200.0f, 96000.0f, 176400.0f, 192000.0f, 22050.0f, 11025.0f,
                              8000.0f,  1.0f,     0.0f,     -48000.0f, kNaN,     kInf,      -kInf,    1e9f,
                              1e-3f};

const VstIntPtr kBlockSizes[] = {1, 16, 64, 256, 512, 1024, 4096, 8192, 0, -1, 1 << 20, INT32_MAX, INTPTR_MAX};

template <typename T, std::size_t N>
constexpr int countOf(const T (&)[N])
{
    return static_cast<int>(N);
}

}  // namespace

const char* layoutName(BufferLayout layout)
{
    switch (layout) {
    case BufferLayout::Separate:
        return "separate buffers";
    case BufferLayout::InPlace:
        return "in-place";
    case BufferLayout::Crossed:
        return "crossed in-place";
    case BufferLayout::SharedInput:
        return "one buffer for both inputs";
    case BufferLayout::Random:
        break;
    }
    return "random layouts";
}

AbuseSession::AbuseSession(Plugin& plugin, const AbuseSettings& settings, Check* check)
    : plugin_(plugin),
      settings_(settings),
      check_(check),
      rng_(settings.seed),
      guitar_(settings.seed ^ 0x6775697461720001ull),
      secondGuitar_(settings.seed ^ 0x6775697461720002ull),
      noise_(settings.seed ^ 0x6e6f697365000003ull, -120.0),
      buffers_(2),
      savedLeft_(AudioBuffers::kMaxFrames),
      savedRight_(AudioBuffers::kMaxFrames)
{
    buffers_.markAll();
}

void AbuseSession::report(const std::string& text)
{
    if (check_)
        check_->finding(format("seed %llu, action %ld: ", static_cast<unsigned long long>(settings_.seed), action_) +
                        text);
}

std::string AbuseSession::describeBlock(std::size_t n) const
{
    if (n >= blockActions_.size())
        return "past the end of the run";
    return format("processReplacing call %zu (action %ld, %d frames)", n, blockActions_[n], blockFrames_[n]);
}

void AbuseSession::run()
{
    while (step()) {
    }
}

bool AbuseSession::step()
{
    if (action_ >= settings_.actions)
        return false;
    traceNote(format("action %ld", action_));
    {
        const int roll = rng_.below(1000);
        if (roll < 450)
            processBlock();
        else if (roll < 730)
            changeParameter();
        else if (roll < 780)
            readParameter();
        else if (roll < 820)
            changeProgram();
        else if (roll < 870)
            askForText();
        else if (roll < 920)
            harmlessRequest();
        else if (roll < 945)
            changeSampleRate();
        else if (roll < 970)
            changeBlockSize();
        else
            toggleMains();
    }
    ++action_;
    return true;
}

int AbuseSession::drawFrames()
{
    const int roll = rng_.below(100);
    if (roll < 4)
        return 0;
    if (roll < 9)
        return 1;
    if (roll < 11)
        return AudioBuffers::kMaxFrames;
    if (roll < 12)
        return -1;  // out of contract; nothing may happen
    if (roll < 25)
        return 1 + 2 * rng_.below(32);  // short odd blocks
    if (roll < 50)
        return 1 + 2 * rng_.below(512);  // odd blocks up to 1023
    return 32 << rng_.below(7);          // 32 .. 2048
}

VstInt32 AbuseSession::drawParameterIndex()
{
    if (rng_.chance(0.88))
        return rng_.below(plugin_.numParams());
    return kOddIndices[rng_.below(countOf(kOddIndices))];
}

float AbuseSession::drawParameterValue()
{
    const int roll = rng_.below(100);
    if (roll < 55)
        return static_cast<float>(rng_.uniform());
    if (roll < 70)
        return rng_.chance(0.5) ? 0.0f : 1.0f;
    if (roll < 75)
        return 0.5f;
    return kOddValues[rng_.below(countOf(kOddValues))];
}

void AbuseSession::fillInput(int frames, bool& bad, int& badFirst, int& badLast)
{
    float* left = buffers_.in(0);
    float* right = buffers_.in(1);
    const int mode = rng_.below(100);
    const int rightMode = rng_.below(10);
    const bool injectBad = rng_.chance(0.003);
    const int badKind = rng_.below(7);
    const int badChannel = rng_.below(3);
    const int badStart = rng_.below(frames);
    const int badLength = 1 + rng_.below(frames - badStart);

    if (mode < 88) {
        guitar_.fill(left, static_cast<std::size_t>(frames));
    } else if (mode < 92) {
        std::fill(left, left + frames, 0.0f);
    } else if (mode < 96) {
        noise_.fill(left, static_cast<std::size_t>(frames));
    } else {
        guitar_.fill(left, static_cast<std::size_t>(frames));
        for (int i = 0; i < frames; ++i)
            left[i] = std::clamp(4.0f * left[i], -1.0f, 1.0f);
    }
    if (rightMode < 5)
        std::fill(right, right + frames, 0.0f);
    else if (rightMode < 8)
        secondGuitar_.fill(right, static_cast<std::size_t>(frames));
    else
        std::copy(left, left + frames, right);

    bad = injectBad && settings_.badInput;
    if (bad) {
        static const float kBadValues[] = {kNaN, kInf, -kInf, 1e30f, -FLT_MAX, FLT_MAX};
        badFirst = badStart;
        badLast = badStart + badLength - 1;
        for (int i = badFirst; i <= badLast; ++i) {
            const float value = badKind < 6 ? kBadValues[badKind] : ((i & 1) ? kNaN : kInf);
            if (badChannel != 1)
                left[i] = value;
            if (badChannel != 0)
                right[i] = value;
        }
        ++badInputEvents_;
    }
    if (settings_.monoInput)
        std::copy(left, left + frames, right);
}

void AbuseSession::processBlock()
{
    const int frames = drawFrames();
    const auto drawnLayout = static_cast<BufferLayout>(rng_.below(4));
    const BufferLayout layout = settings_.layout == BufferLayout::Random ? drawnLayout : settings_.layout;
    const int filled = std::max(frames, 0);

    bool bad = false;
    int badFirst = 0, badLast = -1;
    if (filled > 0)
        fillInput(filled, bad, badFirst, badLast);
    std::copy(buffers_.in(0), buffers_.in(0) + filled, savedLeft_.begin());
    std::copy(buffers_.in(1), buffers_.in(1) + filled, savedRight_.begin());

    float* in[2] = {buffers_.in(0), buffers_.in(1)};
    float* out[2] = {buffers_.out(0), buffers_.out(1)};
    switch (layout) {
    case BufferLayout::InPlace:
        out[0] = in[0];
        out[1] = in[1];
        break;
    case BufferLayout::Crossed:
        out[0] = in[1];
        out[1] = in[0];
        break;
    case BufferLayout::SharedInput:
        in[1] = in[0];
        break;
    default:
        break;
    }

    plugin_.process(in, out, frames);

    blockActions_.push_back(action_);
    blockFrames_.push_back(frames);
    OutputHash blockHash;
    blockHash.add(out[0], filled);
    blockHash.add(out[1], filled);
    blockHashes_.push_back(blockHash.value());
    hash_.add(blockHash.value());

    checkOutput(out, frames, layout, bad, badFirst, badLast);

    // Back to all-sentinel buffers for the next block.
    buffers_.markAll();
    samplePosition_ += static_cast<std::uint64_t>(filled);
    framesProcessed_ += static_cast<std::uint64_t>(filled);
}

void AbuseSession::checkOutput(float** outputs, int frames, BufferLayout layout, bool bad, int badFirst, int badLast)
{
    const int filled = std::max(frames, 0);
    const bool badBefore = anyBadInput_;
    const std::uint64_t lastBadBefore = lastBadSample_;
    if (bad) {
        anyBadInput_ = true;
        lastBadSample_ = samplePosition_ + static_cast<std::uint64_t>(badLast);
    }
    if (!check_)
        return;

    // Nothing past the block may change, in any buffer the plug-in was given.
    const std::string where = format("processReplacing of %d frames (%s)", frames, layoutName(layout));
    bool pastTheEnd = false;
    for (int c = 0; c < 2 && !pastTheEnd; ++c)
        for (const float* buffer : {buffers_.in(c), buffers_.out(c)})
            for (int i = filled; i < AudioBuffers::kMaxFrames + AudioBuffers::kGuardFrames && !pastTheEnd; ++i)
                if (!isSentinel(buffer[i])) {
                    report(where + format(" wrote past the block, at sample %d of a buffer", i));
                    pastTheEnd = true;
                }

    const auto sameBits = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    if ((layout == BufferLayout::Separate || layout == BufferLayout::SharedInput) &&
        (!std::equal(savedLeft_.begin(), savedLeft_.begin() + filled, buffers_.in(0), sameBits) ||
         (layout == BufferLayout::Separate &&
          !std::equal(savedRight_.begin(), savedRight_.begin() + filled, buffers_.in(1), sameBits))))
        report(where + " changed its input buffer");

    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < filled; ++i) {
            const float y = outputs[c][i];
            if (std::isfinite(y) && std::fabs(y) > peakOutput_) {
                peakOutput_ = std::fabs(y);
                peakAction_ = action_;
            }
            if (std::isfinite(y) && std::fabs(y) <= kRunawayLevel)
                continue;
            // Non-finite or runaway output is excused for a while after non-finite or absurd input.
            const std::uint64_t t = samplePosition_ + static_cast<std::uint64_t>(i);
            bool haveBad = badBefore;
            std::uint64_t lastBad = lastBadBefore;
            if (bad && i >= badFirst) {
                haveBad = true;
                lastBad = samplePosition_ + static_cast<std::uint64_t>(std::min(i, badLast));
            }
            if (haveBad && t - lastBad <= static_cast<std::uint64_t>(settings_.recoverySamples))
                continue;
            report(where + format(": output %d sample %d is %g%s ", c, i, static_cast<double>(y),
                                  std::isfinite(y) ? " (a runaway: input stays within 0 dBFS)" : "") +
                   (haveBad ? format("%llu samples after the last bad input sample (allowance %ld)",
                                     static_cast<unsigned long long>(t - lastBad), settings_.recoverySamples)
                            : std::string("with only finite input so far")));
            return;
        }
    }
}

void AbuseSession::changeParameter()
{
    const VstInt32 index = drawParameterIndex();
    const float value = drawParameterValue();
    plugin_.setParameter(index, value);
    if (!check_ || index < 0 || index >= plugin_.numParams())
        return;
    const float stored = plugin_.getParameter(index);
    if (!(stored >= 0.0f && stored <= 1.0f))
        report(format("setParameter(%d, %g) left the parameter at %g, outside 0..1", static_cast<int>(index),
                      static_cast<double>(value), static_cast<double>(stored)));
    else if (std::isfinite(value) && value >= 0.0f && value <= 1.0f && stored != value &&
             std::fabs(stored - value) > 0.5f)
        // Switches may round, but an in-range value must land near where it was set.
        report(format("setParameter(%d, %g) reads back as %g", static_cast<int>(index), static_cast<double>(value),
                      static_cast<double>(stored)));
}

void AbuseSession::readParameter()
{
    const int roll = rng_.below(4);
    const VstInt32 index = roll == 0 ? 54 + rng_.below(2) : drawParameterIndex();
    const float value = plugin_.getParameter(index);
    if (!check_)
        return;
    if (!std::isfinite(value))
        report(format("getParameter(%d) answered %g", static_cast<int>(index), static_cast<double>(value)));
    else if (index >= 0 && index < plugin_.numParams() && !(value >= 0.0f && value <= 1.0f))
        report(format("getParameter(%d) answered %g, outside 0..1", static_cast<int>(index),
                      static_cast<double>(value)));
}

void AbuseSession::changeProgram()
{
    static const VstIntPtr kOddPrograms[] = {-1, 82, 83, INT32_MAX, INT32_MIN, INTPTR_MAX, INTPTR_MIN,
                                             INTPTR_MAX / 2 + 1};
    const bool inRange = rng_.chance(0.9);
    const VstIntPtr program =
        inRange ? rng_.below(plugin_.numPrograms()) : kOddPrograms[rng_.below(countOf(kOddPrograms))];
    const VstIntPtr before = plugin_.dispatch(effGetProgram);
    plugin_.dispatch(effSetProgram, 0, program);
    const VstIntPtr after = plugin_.dispatch(effGetProgram);
    if (!check_)
        return;
    if (inRange && after != program)
        report(format("effSetProgram %lld left the program at %lld", static_cast<long long>(program),
                      static_cast<long long>(after)));
    if (!inRange && program != before && program >= plugin_.numPrograms() && after != before)
        report(format("effSetProgram %lld (out of range) changed the program from %lld to %lld",
                      static_cast<long long>(program), static_cast<long long>(before), static_cast<long long>(after)));
    if (after < 0 || after >= plugin_.numPrograms())
        report(format("effGetProgram answered %lld", static_cast<long long>(after)));
}

void AbuseSession::changeSampleRate()
{
    const float rate = kSampleRates[rng_.below(countOf(kSampleRates))];
    const bool polite = rng_.chance(0.7);
    if (polite)
        plugin_.dispatch(effMainsChanged, 0, 0);
    if (rng_.chance(0.8))
        plugin_.dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    else
        plugin_.dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, rate);
    if (polite || mainsOn_) {
        plugin_.dispatch(effMainsChanged, 0, 1);
        mainsOn_ = true;
    }
}

void AbuseSession::changeBlockSize()
{
    const VstIntPtr size = kBlockSizes[rng_.below(countOf(kBlockSizes))];
    const bool polite = rng_.chance(0.7);
    if (polite)
        plugin_.dispatch(effMainsChanged, 0, 0);
    plugin_.dispatch(effSetBlockSize, 0, size);
    if (polite || mainsOn_) {
        plugin_.dispatch(effMainsChanged, 0, 1);
        mainsOn_ = true;
    }
}

void AbuseSession::toggleMains()
{
    mainsOn_ = !mainsOn_;
    plugin_.dispatch(effMainsChanged, 0, mainsOn_ ? 1 : 0);
    if (!mainsOn_ && rng_.chance(0.6)) {
        mainsOn_ = true;
        plugin_.dispatch(effMainsChanged, 0, 1);
    }
}

void AbuseSession::askForText()
{
    struct Request {
        VstInt32 opcode;
        std::size_t size;
        bool indexed;
    };
    static const Request kRequests[] = {
        {effGetParamName, 32, true},      {effGetParamLabel, 8, true},      {effGetParamDisplay, 8, true},
        {effGetParamDisplay, 8, true},    {effGetProgramName, 24, false},   {effGetProgramNameIndexed, 24, true},
        {effGetEffectName, 32, false},    {effGetVendorString, 64, false},  {effGetProductString, 64, false},
    };
    const Request& request = kRequests[rng_.below(countOf(kRequests))];
    VstInt32 index = 0;
    if (request.indexed) {
        const int limit = request.opcode == effGetProgramNameIndexed ? plugin_.numPrograms() : plugin_.numParams();
        index = rng_.chance(0.9) ? rng_.below(limit) : kOddIndices[rng_.below(countOf(kOddIndices))];
    }
    GuardedText text(request.size);
    const VstIntPtr answer = plugin_.dispatch(request.opcode, index, 0, text.data());
    if (!check_)
        return;
    const bool claimed = answer != 0 && request.opcode != effGetParamName && request.opcode != effGetParamLabel &&
                         request.opcode != effGetParamDisplay && request.opcode != effGetProgramName;
    const std::string problem = text.problem(claimed);
    if (!problem.empty())
        report(format("%s index %d ", opcodeName(request.opcode), static_cast<int>(index)) + problem);
}

void AbuseSession::harmlessRequest()
{
    switch (rng_.below(12)) {
    case 0: {
        const VstIntPtr program = plugin_.dispatch(effGetProgram);
        if (check_ && (program < 0 || program >= plugin_.numPrograms()))
            report(format("effGetProgram answered %lld", static_cast<long long>(program)));
        break;
    }
    case 1:
        plugin_.dispatch(effGetTailSize);
        break;
    case 2:
        plugin_.dispatch(effIdle);
        break;
    case 3:
        plugin_.dispatch(effEditIdle);
        break;
    case 4:
        plugin_.dispatch(effGetVu);
        break;
    case 5:
        plugin_.dispatch(effStartProcess);
        break;
    case 6:
        plugin_.dispatch(effStopProcess);
        break;
    case 7:
        plugin_.dispatch(effSetBypass, 0, rng_.below(2));
        break;
    case 8: {
        GuardedInput what("bypass");
        plugin_.dispatch(effCanDo, 0, 0, what.data());
        if (check_ && !what.problem().empty())
            report(std::string("effCanDo ") + what.problem());
        break;
    }
    case 9: {
        ERect* rect = nullptr;
        plugin_.dispatch(effEditGetRect, 0, 0, &rect);
        break;
    }
    case 10:
        plugin_.dispatch(effCanBeAutomated, drawParameterIndex());
        break;
    default:
        plugin_.dispatch(effString2Parameter, drawParameterIndex(), 0, nullptr);
        break;
    }
}
