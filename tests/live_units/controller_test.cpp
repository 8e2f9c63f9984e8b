// What the user does with the sound, through the plug-in linked in as Korvalex Live drives
// it: programs and user presets chosen, stepped through, saved and loaded, MIDI applied,
// and a session's sound recorded and put back.

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "host/PluginHost.h"
#include "host/PresetFile.h"
#include "live/LiveController.h"
#include "plugin/EntryPoint.h"

namespace {

using live::LiveController;

constexpr int kVolume = 3;
constexpr int kChorusBypass = 15;

class Controller : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/korvalex-controller-test-XXXXXX";
        folder = mkdtemp(pattern);
        presets = std::make_unique<live::PresetLibrary>(folder + "/presets");
        plugin = attach();
        controller = std::make_unique<LiveController>(*plugin, *presets, live::MidiMap::defaults(),
                                                      [this](const std::string& text, bool error) {
                                                          (error ? errors : notes).push_back(text);
                                                      });
    }
    void TearDown() override
    {
        controller.reset();
        plugin.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    static std::unique_ptr<PluginHost> attach()
    {
        std::string error;
        std::unique_ptr<PluginHost> p = PluginHost::attach(korvalexPluginMain, "Korvalex", error);
        EXPECT_TRUE(p) << error;
        return p;
    }

    float volume() { return plugin->getParameter(kVolume); }

    std::string folder;
    std::unique_ptr<live::PresetLibrary> presets;
    std::unique_ptr<PluginHost> plugin;
    std::unique_ptr<LiveController> controller;
    std::vector<std::string> errors, notes;
};

TEST_F(Controller, PresetsAreSavedLoadedAndGiveTheirProgramBack)
{
    controller->select(47);
    plugin->setParameter(kVolume, 0.1f);
    ASSERT_TRUE(controller->save());
    EXPECT_EQ(controller->presetNames(), std::vector<std::string>{"Fuzz"});
    EXPECT_EQ(controller->currentEntry(), 82);
    EXPECT_EQ(controller->title(), "Fuzz - Korvalex Live");
    ProgramPreset saved;
    std::string error;
    ASSERT_TRUE(readPresetFile(folder + "/presets/Fuzz.fxp", saved, error)) << error;
    EXPECT_EQ(saved.values[kVolume], 0.1f);

    // Another program, then back: the program keeps its own (turned) values.
    controller->select(0);
    EXPECT_EQ(volume(), 0.5f);
    controller->select(47);
    EXPECT_EQ(volume(), 0.1f);
    EXPECT_EQ(controller->entryLabel(controller->currentEntry()), "47 Fuzz");

    // The preset goes into program 5; changed but not saved, and left: program 5 is itself again.
    controller->select(5);
    const float five = volume();
    controller->select(82);
    EXPECT_EQ(volume(), 0.1f);
    EXPECT_EQ(plugin->program(), 5);
    EXPECT_EQ(controller->programName(), "Fuzz");
    plugin->setParameter(kVolume, 0.9f);
    controller->step(1);  // past the last entry: round to the first
    EXPECT_EQ(controller->currentEntry(), 0);
    controller->select(5);
    EXPECT_EQ(volume(), five);
    EXPECT_EQ(controller->programName(), "Basic Combo Lead");

    // A second save of the same name does not overwrite the first preset.
    controller->select(47);
    ASSERT_TRUE(controller->save());
    EXPECT_EQ(controller->presetNames(), (std::vector<std::string>{"Fuzz", "Fuzz 2"}));
    EXPECT_TRUE(errors.empty());
}

TEST_F(Controller, ProgramFilesFromElsewhereAndDamagedOnes)
{
    ProgramPreset quiet = capturePreset(*plugin);
    quiet.name = "Quiet";
    quiet.values[kVolume] = 0.2f;
    std::string error;
    ASSERT_TRUE(writePresetFile(folder + "/quiet.fxp", quiet, error)) << error;
    ASSERT_TRUE(controller->loadPresetFile(folder + "/quiet.fxp"));
    EXPECT_EQ(controller->programName(), "Quiet");
    EXPECT_EQ(controller->currentEntry(), -1) << "not one of the user presets";
    // Saving it keeps the sound and makes it a user preset.
    ASSERT_TRUE(controller->save());
    EXPECT_EQ(volume(), 0.2f);
    EXPECT_EQ(controller->currentEntry(), 82);

    std::vector<unsigned char> bytes = encodePresetFile(quiet);
    bytes[16] = 'X';  // another plug-in's
    const std::string foreign(bytes.begin(), bytes.end());
    FILE* f = std::fopen((folder + "/presets/Other.fxp").c_str(), "wb");
    std::fwrite(foreign.data(), 1, foreign.size(), f);
    std::fclose(f);
    controller->select(10);
    const float ten = volume();
    controller->rescanPresets();
    controller->select(82);  // "Other", before "Quiet"
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("Other.fxp is a preset of another plug-in (ID \"XOri\", not \"ROri\")"), std::string::npos)
        << errors[0];
    EXPECT_EQ(controller->currentEntry(), 10) << "nothing changed";
    EXPECT_EQ(volume(), ten);
}

TEST_F(Controller, MidiChoosesProgramsAndMovesParameters)
{
    controller->handleMidi({0xC3, 64, 0});
    EXPECT_EQ(controller->programName(), "Phone");
    controller->handleMidi({0xB0, 81, 127});
    EXPECT_EQ(plugin->getParameter(kChorusBypass), 1.0f);
    controller->handleMidi({0xB0, 81, 10});
    EXPECT_EQ(plugin->getParameter(kChorusBypass), 0.0f);
    controller->handleMidi({0xC0, 100, 0});  // no such entry
    controller->handleMidi({0x90, 60, 100});  // a note: not for an amplifier
    EXPECT_EQ(controller->programName(), "Phone");
}

TEST_F(Controller, ASessionsSoundComesBack)
{
    controller->select(47);
    plugin->setParameter(kVolume, 0.3f);
    ASSERT_TRUE(controller->save());
    plugin->setParameter(kVolume, 0.35f);  // changed after saving: the session keeps it too
    live::LiveState state;
    controller->store(state);
    EXPECT_EQ(state.program, 47);
    EXPECT_EQ(state.preset, "Fuzz");

    std::unique_ptr<PluginHost> next = attach();
    LiveController again(*next, *presets, live::MidiMap::defaults(), [](const std::string&, bool) {});
    again.restore(state);
    EXPECT_EQ(again.currentEntry(), 82);
    EXPECT_EQ(next->getParameter(kVolume), 0.35f);
    again.select(47);
    EXPECT_EQ(next->getParameter(kVolume), 0.5f) << "the program gives back its factory sound";
}

}  // namespace
