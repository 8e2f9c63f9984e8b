#pragma once
// The strip above the front panel, made with the toolkit: the program menu with previous,
// next and save, the cabinet menu, the input level meter with its clip lamp, the input
// gain, the tuner and the status line. It has a frame of its own in the window's strip
// area, drawn at the front panel's zoom, and is driven by the main loop: update() with the
// latest readings, idle() for its window's events and drawing.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "gui/CFrame.h"
#include "gui/controls/CControl.h"
#include "live/Tuner.h"

class COptionMenu;

namespace live {

class CabinetChoice;
class LiveController;
class TextLabel;
class ChoiceMenu;
class LevelMeter;
class Lamp;
class CentsScale;
class GainKnob;

// The program menu's entries: the labels of the factory programs in columns, then a
// sub-menu of the user presets.
void fillProgramMenu(COptionMenu& menu, COptionMenu& presetsMenu, const std::vector<std::string>& factoryLabels,
                     const std::vector<std::string>& presetLabels);

// The cabinet menu's entries: the program's own, the files of the cabinet folder (or a
// greyed line that says where to put them), and a file played from elsewhere (--cabinet);
// the one playing is checked. Answers the file each entry chooses, by position: empty for
// the program's own (the first) and for the entries that choose nothing.
std::vector<std::string> fillCabinetMenu(COptionMenu& menu, const std::string& folder,
                                         const std::vector<std::string>& files, const std::string& playing);

class Strip : public CControlListener, public CFrameEditor {
public:
    struct Readings {
        float inputPeak = 0.0f;     // the highest input sample since the last update
        uint32_t clippedBlocks = 0;  // how many blocks reached full scale so far
        TunerReading tuner;
        bool tunerUpdated = false;
        uint32_t sampleRate = 0;
        uint32_t bufferSize = 0;
        double latencyMs = 0.0;
        float dspLoad = 0.0f;
        uint32_t xruns = 0;
    };

    // `gainChanged` is called with the new input gain in dB when the user turns the knob;
    // `keepAlive` while a control follows the mouse.
    Strip(void* parent, int32_t scalePercent, LiveController& controller, CabinetChoice& cabinet,
          std::function<void(double)> gainChanged, std::function<void()> keepAlive);
    ~Strip() override;

    bool isOpen() const { return frame_ && frame_->isOpen(); }
    // Draws the strip at another scale; its area in the window has been given the size.
    void setScalePercent(int32_t percent);
    void setGainDb(double db);
    void update(const Readings& readings, uint32_t nowMs);
    void showMessage(const std::string& text, bool error, uint32_t nowMs);
    void idle();

    // CControlListener
    void valueChanged(CDrawContext* context, CControl* control) override;
    // CFrameEditor
    void beginEdit(int32_t) override {}
    void endEdit(int32_t) override {}
    void trackIdle() override;
    // The strip's area is sized by its owner before the scale changes.
    bool sizeWindow(int32_t, int32_t) override { return true; }

private:
    void refillMenu();
    void refillCabinetMenu();
    void showGain(double db);
    void clearMessage();

    LiveController& controller_;
    CabinetChoice& cabinet_;
    std::function<void(double)> gainChanged_;
    std::function<void()> keepAlive_;
    CFrame* frame_ = nullptr;
    ChoiceMenu* menu_ = nullptr;
    COptionMenu* presetsMenu_ = nullptr;
    ChoiceMenu* cabinetMenu_ = nullptr;
    std::vector<std::string> cabinetPaths_;  // what each entry of the cabinet menu chooses
    LevelMeter* meter_ = nullptr;
    Lamp* clip_ = nullptr;
    GainKnob* gainKnob_ = nullptr;
    TextLabel* gain_ = nullptr;
    TextLabel* note_ = nullptr;
    CentsScale* scale_ = nullptr;
    TextLabel* cents_ = nullptr;
    TextLabel* status_ = nullptr;
    TextLabel* load_ = nullptr;
    TextLabel* xruns_ = nullptr;
    TextLabel* message_ = nullptr;  // on top of the status line while a message shows

    double meterDb_ = -1000.0;
    uint32_t lastUpdate_ = 0;
    uint32_t clippedSeen_ = 0;
    uint32_t clipUntil_ = 0;
    uint32_t pitchUntil_ = 0;
    uint32_t messageUntil_ = 0;
    uint32_t nextKeepAlive_ = 0;
};

}  // namespace live
