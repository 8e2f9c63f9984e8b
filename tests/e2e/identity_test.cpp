// The plug-in's face towards a host: entry points, record, identity and dispatcher answers.

#include <cstring>
#include <vector>

#include "host/DynamicLibrary.h"
#include "dsp/ParameterIndex.h"
#include "tests/e2e/LoadedPlugin.h"

TEST(Entry, BothEntryPointsCreateAnInstance)
{
    for (const char* entry : {"VSTPluginMain", "main"}) {
        auto host = loadPlugin(entry);
        ASSERT_TRUE(host) << entry;
        EXPECT_EQ(host->effect()->magic, kEffectMagic);
        EXPECT_EQ(host->countCalls(audioMasterVersion), 1u) << "the entry point asks the host's version";
    }
}

namespace {
VstIntPtr VSTCALLBACK versionZeroHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return 0;
}
}  // namespace

TEST(Entry, HostReportingVersionZeroGetsNoPlugin)
{
    std::string error;
    auto library = DynamicLibrary::open(pluginPath(), error);
    ASSERT_TRUE(library) << error;
    typedef AEffect* (*Entry)(audioMasterCallback);
    for (const char* name : {"VSTPluginMain", "main"}) {
        auto entry = reinterpret_cast<Entry>(library->symbol(name));
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(entry(versionZeroHost), nullptr);
        EXPECT_EQ(entry(nullptr), nullptr);
    }
}

TEST_F(LoadedPlugin, RecordDescribesAStereoEffect)
{
    const AEffect* e = host->effect();
    EXPECT_EQ(e->numPrograms, 82);
    EXPECT_EQ(e->numParams, 53);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->uniqueID, 0x524F7269);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_TRUE(e->flags & effFlagsCanReplacing);
    EXPECT_FALSE(e->flags & effFlagsProgramChunks);
    EXPECT_FALSE(e->flags & effFlagsCanDoubleReplacing);
    EXPECT_NE(e->object, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
}

TEST_F(LoadedPlugin, IdentityAnswers)
{
    EXPECT_EQ(host->effectName(), "Korvalex");
    EXPECT_EQ(host->productString(), host->effectName());
    EXPECT_EQ(host->vendorString(), "Zarelworks");
    EXPECT_EQ(host->vendorVersion(), 1000);
    EXPECT_EQ(host->vstVersion(), 2400);
    EXPECT_EQ(host->plugCategory(), kPlugCategEffect);
    EXPECT_EQ(host->dispatch(effGetEffectName, 0, 0, std::string(64, 'x').data()), 1);
}

TEST_F(LoadedPlugin, ChunksAreNotSupported)
{
    void* data = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(host->getChunk(&data), 0);
    const float before = host->getParameter(kVolume);
    char junk[16] = {1, 2, 3};
    EXPECT_EQ(host->setChunk(junk, sizeof junk), 0);
    EXPECT_EQ(host->getParameter(kVolume), before);
}

TEST_F(LoadedPlugin, MainsOffAndOnKeepTheState)
{
    host->setProgram(3);
    host->setParameter(kDrive, 0.42f);
    std::vector<float> before;
    for (int i = 0; i < 53; ++i)
        before.push_back(host->getParameter(i));
    const std::string name = host->programName();
    host->setMainsOn(false);
    host->setMainsOn(true);
    EXPECT_EQ(host->program(), 3);
    EXPECT_EQ(host->programName(), name);
    for (int i = 0; i < 53; ++i)
        EXPECT_EQ(host->getParameter(i), before[i]) << "parameter " << i;
}

TEST_F(LoadedPlugin, DispatcherDefaults)
{
    EXPECT_EQ(host->dispatch(effOpen), 0);
    EXPECT_EQ(host->tailSize(), 0);
    EXPECT_EQ(host->dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(host->dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
    for (VstInt32 op : {effString2Parameter, effGetInputProperties, effGetOutputProperties,
                        effGetParameterProperties, effSetSpeakerArrangement, effSetBypass, effBeginSetProgram,
                        effEndSetProgram, effSetPanLaw, effSetProcessPrecision, effProcessVarIo, effProcessEvents,
                        effVendorSpecific, effStartProcess, effStopProcess, effGetNumMidiInputChannels,
                        effGetNumMidiOutputChannels, effShellGetNextPlugin, effIdentify, effGetVu})
        EXPECT_EQ(host->dispatch(op), 0) << "opcode " << op;
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(host->canBeAutomated(i), true);
    for (const char* what : {"receiveVstEvents", "sendVstMidiEvent", "bypass", "offline", "", "plugAsChannelInsert"})
        EXPECT_EQ(host->canDo(what), 0) << what;

    VstSpeakerArrangement* in = reinterpret_cast<VstSpeakerArrangement*>(0x10);
    VstSpeakerArrangement* out = reinterpret_cast<VstSpeakerArrangement*>(0x20);
    EXPECT_EQ(host->dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST_F(LoadedPlugin, EditorAnswersBeforeItsWindowIsOpen)
{
    EXPECT_TRUE(host->effect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_TRUE(host->editGetRect(&rect));  // hosts size their window before opening it
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 421);
    EXPECT_EQ(rect->right, 899);
    EXPECT_EQ(host->editKeyDown('a', 0, 0), 0);  // nothing open takes keys
    EXPECT_EQ(host->setEditKnobMode(2), 1);
    host->editIdle();
    host->editClose();  // closing what was never opened does nothing
}
