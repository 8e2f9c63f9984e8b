// Hosts load and unload plug-in files many times in one process: when they scan their
// plug-in folders, when a session closes and another opens, when every instance gets a
// process of its own. Each load and unload must give back all it took: heap, threads,
// open files and handles, thread-local storage keys, and the file itself.

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "host/DynamicLibrary.h"
#include "tests/e2e/LoadedPlugin.h"
#include "tests/e2e/ProcessFootprint.h"

namespace {

// The first cycles let the dynamic loader and the C library grow their own bookkeeping to
// its steady size; what the next cycles add is what the plug-in leaves behind.
constexpr int kSettlingCycles = 100;
constexpr int kMeasuredCycles = 100;
constexpr double kHeapGrowthLimitPerCycle = 1024.0;  // bytes

// What a host does with the file between loading and unloading it.
struct HostVisit {
    const char* name;
    void (*run)();
};

void PrintTo(const HostVisit& visit, std::ostream* out)
{
    *out << visit.name;
}

// A scan that only looks for the entry point: the file's load and unload alone.
void lookForEntryPoint()
{
    std::string error;
    auto library = DynamicLibrary::open(pluginPath(), error);
    ASSERT_TRUE(library) << error;
    EXPECT_NE(library->symbol("VSTPluginMain"), nullptr);
}

// A scan that creates an instance to read its identity and closes it.
void readIdentity()
{
    auto host = loadPlugin();
    ASSERT_TRUE(host);
    EXPECT_EQ(host->effectName(), "Korvalex");
}

// A session: the instance is resumed, plays a few blocks, is suspended and closed.
void playAFewBlocks()
{
    constexpr VstInt32 kBlockSize = 256;
    constexpr std::size_t kFrames = 4 * kBlockSize;
    auto host = loadPlugin();
    ASSERT_TRUE(host);
    host->setSampleRate(44100.0f);
    host->setBlockSize(kBlockSize);
    host->setMainsOn(true);
    std::vector<float> in(kFrames), left(kFrames), right(kFrames);
    for (std::size_t i = 0; i < kFrames; ++i)
        in[i] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * 110.0 * static_cast<double>(i) / 44100.0));
    host->processStereo(in.data(), in.data(), left.data(), right.data(), kFrames, kBlockSize);
    host->setMainsOn(false);
    EXPECT_NE(left.back(), 0.0f) << "the instance played nothing";
}

class LoadUnloadCycles : public ::testing::TestWithParam<HostVisit> {
protected:
    // Visits the file `cycles` times; stops at the first cycle that fails or leaves the
    // file loaded.
    void cycle(int cycles)
    {
        for (int i = 0; i < cycles; ++i) {
            GetParam().run();
            ASSERT_FALSE(HasFailure()) << "in cycle " << i;
            ASSERT_FALSE(DynamicLibrary::isLoaded(pluginPath())) << "the file stays loaded after cycle " << i;
        }
    }
};

}  // namespace

TEST_P(LoadUnloadCycles, LeaveNothingBehind)
{
    cycle(kSettlingCycles);
    ASSERT_FALSE(HasFatalFailure());
    const ProcessFootprint before = ProcessFootprint::measure();
    cycle(kMeasuredCycles);
    ASSERT_FALSE(HasFatalFailure());
    const ProcessFootprint after = ProcessFootprint::measure();
    ASSERT_GT(after.threads, 0);
    ASSERT_GT(after.openHandles, 0);
    ASSERT_GE(after.firstFreeThreadKey, 0) << "no thread-local storage key is left";

    const double heapGrowthPerCycle = static_cast<double>(after.heapInUse - before.heapInUse) / kMeasuredCycles;
    EXPECT_LT(heapGrowthPerCycle, kHeapGrowthLimitPerCycle)
        << "heap in use " << before.heapInUse << " -> " << after.heapInUse << " bytes over " << kMeasuredCycles
        << " cycles";
    EXPECT_LE(after.threads, before.threads);
    EXPECT_LE(after.openHandles, before.openHandles);
    EXPECT_LE(after.firstFreeThreadKey, before.firstFreeThreadKey) << "thread-local storage keys left behind";
    RecordProperty("heap_growth_per_cycle", std::to_string(heapGrowthPerCycle));
}

// A host that opens editors adds a visit that opens and closes the editor's window.
INSTANTIATE_TEST_SUITE_P(HostVisits, LoadUnloadCycles,
                         ::testing::Values(HostVisit{"LookForEntryPoint", lookForEntryPoint},
                                           HostVisit{"ReadIdentity", readIdentity},
                                           HostVisit{"PlayAFewBlocks", playAFewBlocks}),
                         [](const ::testing::TestParamInfo<HostVisit>& visit) { return std::string(visit.param.name); });
