// The audio path must not allocate, free, take a lock or call the system: processReplacing
// runs on the host's real-time thread, where any of these can stall for longer than a
// block lasts.
//
// This executable replaces the C library's allocator entry points, pthread_mutex_lock and
// the system calls that wait or write with counting versions (tests/support/CallCounting).
// The plug-in file, loaded with dlopen, binds its calls to them, including the operator
// new of the C++ runtime linked into it, which allocates through malloc. The counting
// covers only the thread that has switched it on, and only while it is on.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <lv2/core/lv2.h>

#include "dsp/ParameterIndex.h"
#include "host/DynamicLibrary.h"
#include "lv2/Ports.h"
#include "vst/KorvalexRequests.h"
#include "vst/vst2.h"
#include "tests/support/CallCounting.h"
#include "tools/korvalex-validate/TestSignal.h"

namespace {

using callcount::Counts;
using callcount::CountingScope;

// ---------------------------------------------------------------------------------------
// A minimal host of our own, whose callback never allocates, so that anything counted
// while the plug-in processes is the plug-in's doing.

std::atomic<long> callbacksWhileCounting{0};
thread_local bool processing = false;  // inside processReplacing

VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (processing)
        callbacksWhileCounting.fetch_add(1, std::memory_order_relaxed);
    switch (opcode) {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetSampleRate:
        return 44100;
    case audioMasterGetBlockSize:
        return 512;
    default:
        return 0;
    }
}

std::string pluginPath()
{
    const char* path = std::getenv("KORVALEX_PLUGIN");
    return path ? path : "korvalex.so";
}

typedef AEffect* (VSTCALLBACK* EntryPoint)(audioMasterCallback host);

class QuietHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        library = DynamicLibrary::open(pluginPath(), error);
        ASSERT_TRUE(library) << error;
        entry = reinterpret_cast<EntryPoint>(library->symbol("VSTPluginMain"));
        ASSERT_TRUE(entry);
    }

    void TearDown() override
    {
        if (effect)
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        effect = nullptr;
    }

    void create(float rate)
    {
        effect = entry(quietHost);
        ASSERT_TRUE(effect);
        dispatch(effOpen);
        dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effSetBlockSize, 0, 512);
        dispatch(effMainsChanged, 0, 1);
    }

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f)
    {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    std::unique_ptr<DynamicLibrary> library;
    EntryPoint entry = nullptr;
    AEffect* effect = nullptr;
};

TEST_F(QuietHost, TheHooksSeeAllocationsLocksAndSystemCalls)
{
    Counts building;
    {
        CountingScope scope;
        effect = entry(quietHost);  // builds the engine: buffers, tables, programs
        building = scope.counts();
    }
    ASSERT_TRUE(effect);
    EXPECT_GT(building.allocations, 0) << "the plug-in's allocations are not seen";

    Counts closing;
    {
        CountingScope scope;
        dispatch(effClose);
        closing = scope.counts();
    }
    effect = nullptr;
    EXPECT_GT(closing.releases, 0) << "the plug-in's frees are not seen";

    std::mutex m;
    Counts locking;
    {
        CountingScope scope;
        m.lock();
        m.unlock();
        locking = scope.counts();
    }
    EXPECT_EQ(locking.locks, 1);

    Counts calling;
    {
        CountingScope scope;
        const int fd = open("/dev/null", O_WRONLY);
        EXPECT_EQ(write(fd, "x", 1), 1);
        close(fd);
        sched_yield();
        calling = scope.counts();
    }
    EXPECT_EQ(calling.systemCalls, 2);  // write and sched_yield; open and close are not waited on
}

TEST_F(QuietHost, TheHooksCountOnlyTheCountingThread)
{
    constexpr int kOtherAllocations = 50;
    CountingScope scope;
    std::thread other([] {
        for (int i = 0; i < kOtherAllocations; ++i) {
            std::vector<int> v(static_cast<std::size_t>(100 + i));
            v[0] = i;
        }
    });
    other.join();
    // Starting the thread allocates a little here; the other thread's vectors must not count.
    const Counts seen = scope.counts();
    EXPECT_LT(seen.allocations, kOtherAllocations);
}

// What processReplacing did while counted, and where it first did something it must not.
struct Findings {
    long blocks = 0;
    Counts total;
    std::string first;

    void add(const Counts& c, const char* what, int program, int parameter, float value, int frames)
    {
        ++blocks;
        total += c;
        if (first.empty() && !c.none()) {
            char text[240];
            std::snprintf(text, sizeof text,
                          "%s: program %d, parameter %d at %g, %d frames: %ld allocations, %ld frees, %ld locks, %ld "
                          "system calls",
                          what, program, parameter, static_cast<double>(value), frames, c.allocations, c.releases,
                          c.locks, c.systemCalls);
            first = text;
        }
    }
};

// Every program, every parameter at five values, blocks of every kind; at 44.1 kHz, where
// the engine runs on the host's frames, and at 48 kHz, where converters run around it.
class QuietHostAtRate : public QuietHost, public ::testing::WithParamInterface<float> {};

TEST_P(QuietHostAtRate, ProcessReplacingNeverAllocatesFreesOrLocks)
{
    create(GetParam());
    constexpr int kMaxFrames = 8192;
    std::vector<float> left(kMaxFrames), right(kMaxFrames), outLeft(kMaxFrames), outRight(kMaxFrames);
    GuitarSignal guitar(99);
    Findings findings;
    callbacksWhileCounting = 0;

    auto process = [&](int frames, bool inPlace, const char* what, int program, int parameter, float value) {
        guitar.fill(left.data(), static_cast<std::size_t>(frames));
        guitar.fill(right.data(), static_cast<std::size_t>(frames));
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        if (inPlace) {
            outputs[0] = inputs[0];
            outputs[1] = inputs[1];
        }
        Counts c;
        {
            CountingScope scope;
            processing = true;
            effect->processReplacing(effect, inputs, outputs, frames);
            processing = false;
            c = scope.counts();
        }
        findings.add(c, what, program, parameter, value, frames);
    };

    const float sweep[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    for (int program = 0; program < effect->numPrograms; ++program) {
        dispatch(effSetProgram, 0, program);
        process(256, false, "after a program change", program, -1, 0.0f);
        process(1, false, "one frame", program, -1, 0.0f);
        process(kMaxFrames, true, "a long in-place block", program, -1, 0.0f);
        process(0, false, "an empty block", program, -1, 0.0f);
        for (int parameter = 0; parameter < effect->numParams; ++parameter) {
            const float original = effect->getParameter(effect, parameter);
            for (float value : sweep) {
                effect->setParameter(effect, parameter, value);
                process(64, false, "after a parameter change", program, parameter, value);
            }
            effect->setParameter(effect, parameter, original);
        }
    }

    // Rate changes build new converters outside the audio path, which then runs them.
    for (float rate : {96000.0f, 48000.0f, 44100.0f, GetParam()}) {
        dispatch(effMainsChanged, 0, 0);
        dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effMainsChanged, 0, 1);
        effect->setParameter(effect, kLowGain, 0.8f);
        process(512, false, "after a sample-rate change", 0, kLowGain, 0.8f);
    }

    // Impulse responses of the cabinet request taken over, rung out and given back, with
    // amplifier changes between: the hand-over happens in processReplacing.
    dispatch(effSetProgram, 0, 0);
    std::vector<float> taps(44100);
    for (size_t i = 0; i < taps.size(); ++i)
        taps[i] = std::exp(-static_cast<float>(i) / 3000.0f) * std::sin(0.05f * static_cast<float>(i));
    for (int length : {30000, 500, 44100, 0, 2000, 7000}) {
        const KorvalexCabinetRequest request{sizeof(KorvalexCabinetRequest), length,
                                             length ? taps.data() : nullptr, 0.0f};
        ASSERT_EQ(dispatch(effVendorSpecific, kKorvalexVendorIndex, kKorvalexCabinetRequest,
                           const_cast<KorvalexCabinetRequest*>(&request)),
                  1);
        effect->setParameter(effect, kAmplifier, static_cast<float>(length % 7) / 19.0f);
        for (int block = 0; block < 12; ++block)
            process(kMaxFrames, false, "after a cabinet request", 0, kAmplifier, static_cast<float>(length));
    }

    EXPECT_GT(findings.blocks, 20000);
    EXPECT_EQ(findings.total.allocations, 0) << findings.first;
    EXPECT_EQ(findings.total.releases, 0) << findings.first;
    EXPECT_EQ(findings.total.locks, 0) << findings.first;
    EXPECT_EQ(findings.total.systemCalls, 0) << findings.first;
    EXPECT_EQ(callbacksWhileCounting.load(), 0) << "the plug-in called the host from processReplacing";
}

INSTANTIATE_TEST_SUITE_P(Rates, QuietHostAtRate, ::testing::Values(44100.0f, 48000.0f));

// The LV2 plug-in applies the control values that changed at the start of each run, on
// the audio thread: every parameter change, program-sized changes, values it ignores, and
// the processing after them are counted.
TEST(Lv2Run, RunNeverAllocatesFreesOrLocks)
{
    std::string error;
    std::unique_ptr<DynamicLibrary> library = DynamicLibrary::open(KORVALEX_LV2_DSP_BINARY, error);
    ASSERT_TRUE(library) << error;
    const auto entry = reinterpret_cast<LV2_Descriptor_Function>(library->symbol("lv2_descriptor"));
    ASSERT_TRUE(entry);
    const LV2_Descriptor* descriptor = entry(0);
    ASSERT_TRUE(descriptor);
    const LV2_Feature* features[] = {nullptr};
    LV2_Handle instance = descriptor->instantiate(descriptor, 44100.0, KORVALEX_LV2_BUNDLE_DIR, features);
    ASSERT_TRUE(instance);

    constexpr uint32_t kMaxFrames = 8192;
    std::vector<float> controls(lv2port::kInputLeft, 0.5f);
    std::vector<float> left(kMaxFrames), right(kMaxFrames), outLeft(kMaxFrames), outRight(kMaxFrames);
    for (uint32_t i = 0; i < lv2port::kInputLeft; ++i)
        descriptor->connect_port(instance, i, &controls[i]);
    descriptor->connect_port(instance, lv2port::kInputLeft, left.data());
    descriptor->connect_port(instance, lv2port::kInputRight, right.data());
    descriptor->connect_port(instance, lv2port::kOutputLeft, outLeft.data());
    descriptor->connect_port(instance, lv2port::kOutputRight, outRight.data());
    descriptor->activate(instance);
    GuitarSignal guitar(7);
    Findings findings;
    auto run = [&](uint32_t frames, const char* what, int parameter, float value) {
        guitar.fill(left.data(), frames);
        guitar.fill(right.data(), frames);
        Counts c;
        {
            CountingScope scope;
            descriptor->run(instance, frames);
            c = scope.counts();
        }
        findings.add(c, what, 0, parameter, value, static_cast<int>(frames));
    };

    const float values[] = {0.0f, 0.3f, 1.0f, -2.0f, 7.0f, std::nanf(""), 0.7f};
    for (int parameter = 0; parameter < kNumParameters; ++parameter)
        for (float value : values) {
            controls[parameter] = value;
            run(64, "after a control change", parameter, value);
        }
    for (int round = 0; round < 20; ++round) {  // every control at once, as a preset sets them
        for (int parameter = 0; parameter < kNumParameters; ++parameter)
            controls[parameter] = values[(parameter + round) % 7] * 0.5f;
        run(round % 2 ? kMaxFrames : 0, "after every control changed", -1, 0.0f);
    }
    descriptor->connect_port(instance, lv2port::kInputLeft, nullptr);
    descriptor->connect_port(instance, lv2port::kOutputRight, nullptr);
    run(kMaxFrames, "with ports unconnected", -1, 0.0f);

    descriptor->deactivate(instance);
    descriptor->cleanup(instance);
    EXPECT_GT(findings.blocks, 350);
    EXPECT_EQ(findings.total.allocations, 0) << findings.first;
    EXPECT_EQ(findings.total.releases, 0) << findings.first;
    EXPECT_EQ(findings.total.locks, 0) << findings.first;
}

}  // namespace
