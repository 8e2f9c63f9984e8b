// The audio path must not allocate, free or take a lock: processReplacing runs on the
// host's real-time thread, where any of these can stall for longer than a block lasts.
//
// This executable replaces the C allocator's entry points (malloc, free and the rest) and
// pthread_mutex_lock with counting versions that forward to the C library. The plug-in
// file, loaded with dlopen, binds its allocator and lock calls to them, including the
// operator new of the C++ runtime linked into it, which allocates through malloc. The
// counting covers only the thread that has switched it on, and only while it is on.

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dsp/ParameterIndex.h"
#include "host/DynamicLibrary.h"
#include "vst/vst2.h"
#include "tools/korvalex-validate/TestSignal.h"

// ---------------------------------------------------------------------------------------
// Counting allocator and lock hooks.

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void* __libc_valloc(size_t size);
void* __libc_pvalloc(size_t size);
void __libc_free(void* pointer);
}

namespace {

thread_local bool counting = false;
std::atomic<long> allocations{0};
std::atomic<long> releases{0};
std::atomic<long> locks{0};

void countAllocation()
{
    if (counting)
        allocations.fetch_add(1, std::memory_order_relaxed);
}

using MutexLock = int (*)(pthread_mutex_t*);
std::atomic<MutexLock> realMutexLock{nullptr};

MutexLock mutexLock()
{
    MutexLock f = realMutexLock.load(std::memory_order_acquire);
    if (!f) {
        f = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
        realMutexLock.store(f, std::memory_order_release);
    }
    return f;
}

// Resolved before main, so that no counted call has to look it up.
__attribute__((constructor)) void resolveHooks()
{
    mutexLock();
}

}  // namespace

#define KORVALEX_HOOK extern "C" __attribute__((visibility("default")))

KORVALEX_HOOK void* malloc(size_t size)
{
    countAllocation();
    return __libc_malloc(size);
}

KORVALEX_HOOK void* calloc(size_t count, size_t size)
{
    countAllocation();
    return __libc_calloc(count, size);
}

KORVALEX_HOOK void* realloc(void* pointer, size_t size)
{
    countAllocation();
    return __libc_realloc(pointer, size);
}

KORVALEX_HOOK void* memalign(size_t alignment, size_t size)
{
    countAllocation();
    return __libc_memalign(alignment, size);
}

KORVALEX_HOOK void* aligned_alloc(size_t alignment, size_t size)
{
    countAllocation();
    return __libc_memalign(alignment, size);
}

KORVALEX_HOOK int posix_memalign(void** result, size_t alignment, size_t size)
{
    countAllocation();
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void* p = __libc_memalign(alignment, size);
    if (!p)
        return ENOMEM;
    *result = p;
    return 0;
}

KORVALEX_HOOK void* valloc(size_t size)
{
    countAllocation();
    return __libc_valloc(size);
}

KORVALEX_HOOK void* pvalloc(size_t size)
{
    countAllocation();
    return __libc_pvalloc(size);
}

KORVALEX_HOOK void free(void* pointer)
{
    if (pointer && counting)
        releases.fetch_add(1, std::memory_order_relaxed);
    __libc_free(pointer);
}

KORVALEX_HOOK int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    if (counting)
        locks.fetch_add(1, std::memory_order_relaxed);
    return mutexLock()(mutex);
}

namespace {

struct Counts {
    long allocations, releases, locks;
};

// Counts what the calling thread does between construction and destruction.
class CountingScope {
public:
    CountingScope() : start_{allocations.load(), releases.load(), locks.load()} { counting = true; }
    ~CountingScope() { counting = false; }
    Counts counts() const
    {
        return {allocations.load() - start_.allocations, releases.load() - start_.releases,
                locks.load() - start_.locks};
    }

private:
    Counts start_;
};

// ---------------------------------------------------------------------------------------
// A minimal host of our own, whose callback never allocates, so that anything counted
// while the plug-in processes is the plug-in's doing.

std::atomic<long> callbacksWhileCounting{0};

VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (counting)
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

TEST_F(QuietHost, TheHooksSeeAllocationsAndLocksInsideThePlugin)
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
    Counts total{0, 0, 0};
    std::string first;

    void add(const Counts& c, const char* what, int program, int parameter, float value, int frames)
    {
        ++blocks;
        total.allocations += c.allocations;
        total.releases += c.releases;
        total.locks += c.locks;
        if (first.empty() && (c.allocations || c.releases || c.locks)) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "%s: program %d, parameter %d at %g, %d frames: %ld allocations, %ld frees, %ld locks", what,
                          program, parameter, static_cast<double>(value), frames, c.allocations, c.releases, c.locks);
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
            effect->processReplacing(effect, inputs, outputs, frames);
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

    EXPECT_GT(findings.blocks, 20000);
    EXPECT_EQ(findings.total.allocations, 0) << findings.first;
    EXPECT_EQ(findings.total.releases, 0) << findings.first;
    EXPECT_EQ(findings.total.locks, 0) << findings.first;
    EXPECT_EQ(callbacksWhileCounting.load(), 0) << "the plug-in called the host from processReplacing";
}

INSTANTIATE_TEST_SUITE_P(Rates, QuietHostAtRate, ::testing::Values(44100.0f, 48000.0f));

}  // namespace
