#pragma once
// What the user does with the sound, whatever they do it with (the strip, keys, MIDI, the
// command line): choosing programs and user presets, stepping through them, saving, setting
// parameters from MIDI; and what a session keeps of it. Everything runs on the main thread
// and reaches the plug-in through the VST interface, as a host's user interface does.
//
// The programs the user steps through are the plug-in's factory programs (0..81), then the
// user presets in the order of their names; Program Change n selects entry n. A user preset
// is loaded into the plug-in's current program, as hosts load program files; that program's
// own values and name come back when another entry is chosen.

#include <functional>
#include <string>
#include <vector>

#include "host/PresetFile.h"
#include "live/LiveState.h"
#include "live/MidiMap.h"
#include "live/PresetLibrary.h"

class PluginHost;

namespace live {

struct MidiMessage {
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
};

class LiveController {
public:
    // Messages for the user: what was done, or (error true) what could not be.
    using Report = std::function<void(const std::string& text, bool error)>;

    LiveController(PluginHost& plugin, PresetLibrary& presets, MidiMap map, Report report);

    int factoryCount() const { return static_cast<int>(factoryNames_.size()); }
    int entryCount() const { return factoryCount() + static_cast<int>(presets_.names().size()); }
    const std::vector<std::string>& factoryNames() const { return factoryNames_; }
    const std::vector<std::string>& presetNames() const { return presets_.names(); }
    // The entry of the current sound, or -1 when it came from a file outside the presets.
    int currentEntry() const;
    // "47 Fuzz": the menu's text for an entry.
    std::string entryLabel(int entry) const;
    // The current program's name, and the window's title.
    std::string programName() const;
    std::string title() const;

    void select(int entry);  // an entry out of range changes nothing
    void step(int delta);    // to the previous or next entry, round the ends
    // Applies a program file; a file that is not a Korvalex program changes nothing.
    bool loadPresetFile(const std::string& path);
    // Saves the current sound: over its user preset, or as a new one named after it.
    bool save();
    void handleMidi(const MidiMessage& message);
    void rescanPresets() { presets_.rescan(); }

    // Puts back the sound of a saved session / records the current one.
    void restore(const LiveState& state);
    void store(LiveState& state) const;

private:
    // A user preset loaded into one of the plug-in's programs, and what that program held.
    struct Borrowed {
        bool active = false;
        std::string preset;
        ProgramPreset saved;
    };

    bool readPreset(const std::string& path, ProgramPreset& preset);
    void borrowCurrentProgram(const std::string& presetName, const ProgramPreset& preset);
    void giveBackProgram();

    PluginHost& plugin_;
    PresetLibrary& presets_;
    MidiMap map_;
    Report report_;
    std::vector<std::string> factoryNames_;
    Borrowed borrowed_;
};

}  // namespace live
