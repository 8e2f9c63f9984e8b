// The plug-in object driven directly: the frame's calls to the host and the rules that a
// host cannot observe through the record alone.

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <vector>

#include "vst/AEffEditor.h"
#include "plugin/CZarelVST.h"

struct HostCallRecord {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
};

namespace {

std::vector<HostCallRecord>* recording = nullptr;

VstIntPtr VSTCALLBACK recordingHost(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void*, float opt)
{
    if (recording)
        recording->push_back({opcode, index, value, opt});
    return opcode == audioMasterVersion ? 2400 : 1;
}

class Plugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        recording = &calls;
        plugin.reset(CZarelVST::create(recordingHost));
        ASSERT_TRUE(plugin);
        calls.clear();
    }
    void TearDown() override { recording = nullptr; }

    std::vector<HostCallRecord> calls;
    std::unique_ptr<CZarelVST> plugin;
};

}  // namespace

TEST_F(Plugin, SampleRateBelow44100IsRaised)
{
    EXPECT_EQ(plugin->getSampleRate(), 44100.0f);
    plugin->dispatcher(effSetSampleRate, 0, 0, nullptr, 22050.0f);
    EXPECT_EQ(plugin->getSampleRate(), 44100.0f);
    plugin->dispatcher(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(plugin->getSampleRate(), 96000.0f);
    plugin->dispatcher(effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(plugin->getSampleRate(), 96000.0f) << "a rate that is not a number is ignored";
}

TEST_F(Plugin, BlockSizeIsStored)
{
    EXPECT_EQ(plugin->getBlockSize(), 1024);
    plugin->dispatcher(effSetBlockSize, 0, 256, nullptr, 0.0f);
    EXPECT_EQ(plugin->getBlockSize(), 256);
}

TEST_F(Plugin, AutomatedChangeIsAppliedThenReportedToTheHost)
{
    plugin->setParameterAutomated(kDrive, 0.625f);
    EXPECT_EQ(plugin->getParameter(kDrive), 0.625f);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(calls[0].index, kDrive);
    EXPECT_EQ(calls[0].opt, 0.625f);
}

TEST_F(Plugin, GesturesAndIdleReachTheHost)
{
    EXPECT_TRUE(plugin->beginEdit(7));
    EXPECT_TRUE(plugin->endEdit(7));
    plugin->masterIdle();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls[0].index, 7);
    EXPECT_EQ(calls[1].opcode, audioMasterEndEdit);
    EXPECT_EQ(calls[2].opcode, audioMasterIdle);
}

TEST(PluginWithoutHost, HostCallsAreSkipped)
{
    std::unique_ptr<CZarelVST> plugin(CZarelVST::create(nullptr));
    ASSERT_TRUE(plugin);
    plugin->setParameterAutomated(kVolume, 0.3f);
    EXPECT_EQ(plugin->getParameter(kVolume), 0.3f);
    EXPECT_FALSE(plugin->beginEdit(kVolume));
    plugin->setProgram(2);
    EXPECT_EQ(plugin->getProgram(), 2);
}

TEST_F(Plugin, ProgramChangeAsksForOneDisplayRefresh)
{
    plugin->dispatcher(effSetProgram, 0, 4, nullptr, 0.0f);
    std::size_t refreshes = 0;
    for (const auto& c : calls)
        refreshes += c.opcode == audioMasterUpdateDisplay;
    EXPECT_EQ(refreshes, 1u);
    EXPECT_EQ(plugin->getProgram(), 4);
}

TEST_F(Plugin, BankChangeReselectsTheCabinetOfTheCurrentAmplifier)
{
    plugin->setParameter(kAmplifier, 3.0f / 19.0f);
    EXPECT_EQ(plugin->audioEngine().cabinetResponse(), 1);
    plugin->setParameter(kBankAB, 1.0f);
    EXPECT_EQ(plugin->audioEngine().cabinetResponse(), 7);
    plugin->setParameter(kBankAB, 0.0f);
    EXPECT_EQ(plugin->audioEngine().cabinetResponse(), 1);
}

namespace {

// An editor that counts how often its window is closed.
class CountingEditor : public AEffEditor {
public:
    CountingEditor(AudioEffect* owner, int& closes) : AEffEditor(owner), closeCount(closes) {}
    bool open(void* ptr) override
    {
        AEffEditor::open(ptr);
        return true;
    }
    void close() override
    {
        ++closeCount;
        AEffEditor::close();
    }
    int& closeCount;
};

// A frame with nothing of its own, so that the editor under test is its only one.
class BareEffect : public AudioEffectX {
public:
    explicit BareEffect(audioMasterCallback host) : AudioEffectX(host, 1, 1) {}
    void processReplacing(float**, float**, VstInt32) override {}
};

}  // namespace

TEST(PluginEditor, ClosingThePluginClosesAnEditorTheHostLeftOpenAndOnlyThat)
{
    int window = 0;
    int closes = 0;
    AudioEffect* leftOpen = new BareEffect(recordingHost);
    leftOpen->setEditor(new CountingEditor(leftOpen, closes));
    leftOpen->dispatcher(effEditOpen, 0, 0, &window, 0.0f);
    delete leftOpen;
    EXPECT_EQ(closes, 1);

    closes = 0;
    AudioEffect* closedFirst = new BareEffect(recordingHost);
    closedFirst->setEditor(new CountingEditor(closedFirst, closes));
    closedFirst->dispatcher(effEditOpen, 0, 0, &window, 0.0f);
    closedFirst->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    delete closedFirst;
    EXPECT_EQ(closes, 1);  // the careful host's close only
}
