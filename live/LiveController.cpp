#include "live/LiveController.h"

#include "host/FileIO.h"
#include "host/PluginHost.h"

namespace live {

namespace {

constexpr uint8_t kControlChange = 0xB0;
constexpr uint8_t kProgramChange = 0xC0;
constexpr const char* kAppName = "Korvalex Live";

}  // namespace

LiveController::LiveController(PluginHost& plugin, PresetLibrary& presets, MidiMap map, Report report)
    : plugin_(plugin), presets_(presets), map_(map), report_(std::move(report))
{
    for (int i = 0; i < plugin_.numPrograms(); ++i) {
        std::string name;
        plugin_.programNameIndexed(i, name);
        factoryNames_.push_back(name);
    }
    presets_.rescan();
}

int LiveController::currentEntry() const
{
    if (!borrowed_.active)
        return plugin_.program();
    const int index = presets_.indexOf(borrowed_.preset);
    return index < 0 ? -1 : factoryCount() + index;
}

std::string LiveController::entryLabel(int entry) const
{
    if (entry < 0 || entry >= entryCount())
        return programName();
    const std::string& name = entry < factoryCount() ? factoryNames_[size_t(entry)]
                                                     : presets_.names()[size_t(entry - factoryCount())];
    return (entry < 10 ? "0" : "") + std::to_string(entry) + " " + name;
}

std::string LiveController::programName() const { return plugin_.programName(); }

std::string LiveController::title() const { return programName() + " - " + kAppName; }

void LiveController::select(int entry)
{
    if (entry < 0 || entry >= entryCount())
        return;
    if (entry < factoryCount()) {
        giveBackProgram();
        plugin_.setProgram(entry);
        return;
    }
    const std::string name = presets_.names()[size_t(entry - factoryCount())];
    ProgramPreset preset;
    if (!readPreset(presets_.pathOf(name), preset))
        return;
    preset.name = name.substr(0, kPresetNameLength);
    borrowCurrentProgram(name, preset);
}

void LiveController::step(int delta)
{
    presets_.rescan();
    const int count = entryCount();
    if (count == 0)
        return;
    int from = currentEntry();
    if (from < 0)
        from = plugin_.program();
    select(((from + delta) % count + count) % count);
}

bool LiveController::loadPresetFile(const std::string& path)
{
    ProgramPreset preset;
    if (!readPreset(path, preset))
        return false;
    const std::string name = presets_.nameOf(path);
    if (!name.empty())
        preset.name = name.substr(0, kPresetNameLength);
    borrowCurrentProgram(name, preset);
    return true;
}

bool LiveController::readPreset(const std::string& path, ProgramPreset& preset)
{
    std::string error, reason;
    if (!readPresetFile(path, preset, error)) {
        report_("cannot load the preset: " + error, true);
        return false;
    }
    if (!presetFitsPlugin(preset, plugin_.effect()->uniqueID, plugin_.numParams(), reason)) {
        report_("cannot load the preset: " + path + " " + reason, true);
        return false;
    }
    return true;
}

void LiveController::borrowCurrentProgram(const std::string& presetName, const ProgramPreset& preset)
{
    giveBackProgram();
    borrowed_.saved = capturePreset(plugin_);
    borrowed_.preset = presetName;
    borrowed_.active = true;
    applyPreset(plugin_, preset);
}

void LiveController::giveBackProgram()
{
    if (!borrowed_.active)
        return;
    borrowed_.active = false;
    applyPreset(plugin_, borrowed_.saved);
}

bool LiveController::save()
{
    std::string error;
    if (!makeFolders(presets_.folder(), error)) {
        report_("cannot save the preset: " + error, true);
        return false;
    }
    presets_.rescan();
    const bool update = borrowed_.active && !borrowed_.preset.empty();
    const std::string name = update ? borrowed_.preset : presets_.freeName(programName());
    ProgramPreset preset = capturePreset(plugin_);
    preset.name = name.substr(0, kPresetNameLength);
    if (!writePresetFile(presets_.pathOf(name), preset, error)) {
        report_("cannot save the preset: " + error, true);
        return false;
    }
    if (!update) {
        // The sound playing is the new preset's from now on; the program gets back what it
        // holds now (or, for a program file loaded into it, what it held before) when
        // another entry is chosen.
        if (!borrowed_.active)
            borrowed_.saved = capturePreset(plugin_);
        borrowed_.active = true;
        borrowed_.preset = name;
        plugin_.setProgramName(preset.name);
    }
    presets_.rescan();
    report_("saved the preset \"" + name + "\" (" + presets_.pathOf(name) + ")", false);
    return true;
}

void LiveController::handleMidi(const MidiMessage& message)
{
    const uint8_t kind = message.status & 0xF0;
    if (kind == kProgramChange) {
        presets_.rescan();
        select(message.data1);
    } else if (kind == kControlChange) {
        const int parameter = map_.parameterFor(message.data1);
        if (parameter >= 0 && parameter < plugin_.numParams())
            plugin_.setParameter(parameter, MidiMap::parameterValue(parameter, message.data2));
    }
}

void LiveController::restore(const LiveState& state)
{
    if (state.program < 0)
        return;
    if (state.program >= plugin_.numPrograms()) {
        report_("the saved program " + std::to_string(state.program) + " does not exist; starting with program 0",
                true);
        return;
    }
    plugin_.setProgram(state.program);
    if (state.values.size() != static_cast<std::size_t>(plugin_.numParams())) {
        if (!state.values.empty())
            report_("the saved state holds " + std::to_string(state.values.size()) + " parameter values, the plug-in has " +
                        std::to_string(plugin_.numParams()) + "; the program's own values are used",
                    true);
        return;
    }
    ProgramPreset sound;
    sound.values = state.values;
    sound.name = state.programName.substr(0, kPresetNameLength);
    if (!state.preset.empty() && presets_.indexOf(state.preset) >= 0) {
        borrowCurrentProgram(state.preset, sound);
    } else {
        applyPreset(plugin_, sound);
    }
}

void LiveController::store(LiveState& state) const
{
    state.program = plugin_.program();
    state.programName = programName();
    state.preset = borrowed_.active ? borrowed_.preset : std::string();
    state.values.clear();
    for (int i = 0; i < plugin_.numParams(); ++i)
        state.values.push_back(plugin_.getParameter(i));
}

}  // namespace live
