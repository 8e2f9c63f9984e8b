#include "live/Strip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "gui/platform/PlatformWindow.h"
#include "live/CabinetChoice.h"
#include "live/LiveController.h"
#include "live/StripControls.h"
#include "live/StripLayout.h"

namespace live {

using namespace strip;

namespace {

constexpr uint32_t kClipHoldMs = 2000;
constexpr uint32_t kPitchHoldMs = 600;  // a reading stays while a note dies away
constexpr uint32_t kMessageMs = 6000;
constexpr double kMeterFallDbPerSecond = 24.0;
constexpr uint32_t kTrackSleepMs = 4;
constexpr uint32_t kKeepAliveMs = 30;
constexpr double kGainStepDb = 0.1;

bool before(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) < 0; }

std::string formatted(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

void fillProgramMenu(COptionMenu& menu, COptionMenu& presetsMenu, const std::vector<std::string>& factoryLabels,
                     const std::vector<std::string>& presetLabels)
{
    menu.removeAllEntry();
    presetsMenu.removeAllEntry();
    menu.setNbItemsPerColumn(kMenuRows);
    presetsMenu.setNbItemsPerColumn(kMenuRows);
    for (const std::string& label : factoryLabels)
        menu.addEntry(label.c_str());
    for (const std::string& label : presetLabels)
        presetsMenu.addEntry(label.c_str());
    if (presetLabels.empty())
        presetsMenu.addEntry("-G(none yet: Save adds the sound playing)");
    menu.addSubMenu(&presetsMenu, "User presets");
}

std::vector<std::string> fillCabinetMenu(COptionMenu& menu, const std::string& folder,
                                         const std::vector<std::string>& files, const std::string& playing)
{
    menu.removeAllEntry();
    menu.setNbItemsPerColumn(kMenuRows);
    std::vector<std::string> paths;
    const auto add = [&](const std::string& label, const std::string& path) {
        // A name that starts with '-' must not read as one of the entries' markers.
        if (menu.addEntry((label[0] == '-' && path.size() ? " " + label : label).c_str()))
            paths.push_back(path);
    };
    add(CabinetChoice::kOwnName, "");
    add("-", "");
    bool playingListed = playing.empty();
    for (const std::string& file : files) {
        const std::string path = folder + "/" + file;
        add(file, path);
        playingListed = playingListed || path == playing;
    }
    if (files.empty())
        add("-Gno files in " + (folder.empty() ? std::string("the cabinet folder (no HOME)") : folder + "/"), "");
    if (!playingListed) {
        add("-", "");
        add(playing, playing);
    }
    menu.setValue(static_cast<float>(std::find(paths.begin(), paths.end(), playing) - paths.begin()));
    return paths;
}

Strip::Strip(void* parent, int32_t scalePercent, LiveController& controller, CabinetChoice& cabinet,
             std::function<void(double)> gainChanged, std::function<void()> keepAlive)
    : controller_(controller),
      cabinet_(cabinet),
      gainChanged_(std::move(gainChanged)),
      keepAlive_(std::move(keepAlive))
{
    frame_ = new CFrame(CRect(0, 0, kWidth, kHeight), parent, this, scalePercent);
    frame_->setBackgroundColor(kStripColor);

    frame_->addView(new PushButton(kPreviousRect, this, kPreviousTag, "<"));
    menu_ = new ChoiceMenu(kProgramRect, this, kProgramTag, [this] { refillMenu(); });
    presetsMenu_ = new COptionMenu(CRect(0, 0, 0, 0), this, kPresetsTag, nullptr, nullptr, kCheckCurrentStyle);
    frame_->addView(menu_);
    frame_->addView(new PushButton(kNextRect, this, kNextTag, ">"));
    frame_->addView(new PushButton(kSaveRect, this, kSaveTag, "Save"));

    auto* cabinetLabel = new TextLabel(kCabinetLabelRect, kNormalFontSmaller, kRightText, false);
    cabinetLabel->setText("CAB");
    frame_->addView(cabinetLabel);
    cabinetMenu_ = new ChoiceMenu(kCabinetRect, this, kCabinetTag, [this] { refillCabinetMenu(); });
    frame_->addView(cabinetMenu_);

    auto* inputLabel = new TextLabel(kInputLabelRect, kNormalFontSmaller, kRightText, false);
    inputLabel->setText("INPUT");
    frame_->addView(inputLabel);
    meter_ = new LevelMeter(kMeterRect);
    frame_->addView(meter_);
    clip_ = new Lamp(kClipRect, kRedLed, kDarkRed);
    frame_->addView(clip_);
    gainKnob_ = new GainKnob(kGainKnobRect, this, kGainTag);
    gainKnob_->setDefaultValue(static_cast<float>(-kGainFloorDb / (kGainCeilingDb - kGainFloorDb)));
    gainKnob_->setWheelInc(static_cast<float>(0.5 / (kGainCeilingDb - kGainFloorDb)));
    frame_->addView(gainKnob_);
    gain_ = new TextLabel(kGainRect, kNormalFont, kCenterText, true);
    frame_->addView(gain_);

    auto* tunerLabel = new TextLabel(kTunerLabelRect, kNormalFontSmaller, kLeftText, false);
    tunerLabel->setText("TUNER");
    frame_->addView(tunerLabel);
    note_ = new TextLabel(kNoteRect, kNormalFontBig, kCenterText, true);
    frame_->addView(note_);
    scale_ = new CentsScale(kCentsScaleRect);
    frame_->addView(scale_);
    cents_ = new TextLabel(kCentsRect, kNormalFontSmall, kCenterText, false);
    frame_->addView(cents_);
    status_ = new TextLabel(kStatusRect, kNormalFontSmaller, kLeftText, false);
    frame_->addView(status_);
    load_ = new TextLabel(kLoadRect, kNormalFontSmaller, kLeftText, false);
    frame_->addView(load_);
    xruns_ = new TextLabel(kXrunsRect, kNormalFontSmaller, kLeftText, false);
    frame_->addView(xruns_);
    message_ = new TextLabel(CRect(kStatusRect.left, kStatusRect.top, kXrunsRect.right, kXrunsRect.bottom),
                             kNormalFontSmaller, kLeftText, false);
    refillMenu();
    refillCabinetMenu();
    note_->setText("--");
}

Strip::~Strip()
{
    // The strip holds one reference to the message and the presets' menu (which the
    // program menu holds one more of); the frame holds the rest.
    if (frame_->isChild(message_))
        frame_->removeView(message_, false);
    message_->release();
    frame_->release();
    presetsMenu_->release();
}

void Strip::refillMenu()
{
    controller_.rescanPresets();
    std::vector<std::string> factory, presets;
    for (int i = 0; i < controller_.factoryCount(); ++i)
        factory.push_back(controller_.entryLabel(i));
    for (int i = controller_.factoryCount(); i < controller_.entryCount(); ++i)
        presets.push_back(controller_.entryLabel(i));
    fillProgramMenu(*menu_, *presetsMenu_, factory, presets);
    const int entry = controller_.currentEntry();
    if (entry >= 0 && entry < controller_.factoryCount()) {
        menu_->setValue(static_cast<float>(entry));
    } else {
        menu_->setValue(static_cast<float>(controller_.factoryCount()));  // the presets' entry
        if (entry >= 0)
            presetsMenu_->setValue(static_cast<float>(entry - controller_.factoryCount()));
    }
}

// The folder is read again each time the menu opens: files put there meanwhile show.
void Strip::refillCabinetMenu()
{
    cabinet_.rescan();
    cabinetPaths_ = fillCabinetMenu(*cabinetMenu_, cabinet_.folder(), cabinet_.files(), cabinet_.path());
    cabinetMenu_->setShownText(cabinet_.name());
}

void Strip::setScalePercent(int32_t percent) { frame_->setScalePercent(percent); }

void Strip::setGainDb(double db)
{
    gainKnob_->setValue(static_cast<float>((db - kGainFloorDb) / (kGainCeilingDb - kGainFloorDb)));
    showGain(db);
}

void Strip::showGain(double db) { gain_->setText(formatted(db > 0.0 ? "+%.1f dB" : "%.1f dB", db)); }

void Strip::valueChanged(CDrawContext*, CControl* control)
{
    switch (control->getTag()) {
    case kPreviousTag:
        controller_.step(-1);
        break;
    case kNextTag:
        controller_.step(1);
        break;
    case kSaveTag:
        controller_.save();
        break;
    case kProgramTag:
        controller_.select(static_cast<int>(control->getValue()));
        break;
    case kPresetsTag:
        controller_.select(controller_.factoryCount() + static_cast<int>(control->getValue()));
        break;
    case kCabinetTag: {
        const auto entry = static_cast<std::size_t>(control->getValue());
        if (entry == 0)
            cabinet_.useOwn();
        else if (entry < cabinetPaths_.size() && !cabinetPaths_[entry].empty())
            cabinet_.choose(cabinetPaths_[entry]);
        break;
    }
    case kGainTag: {
        const double db = kGainFloorDb + control->getValue() * (kGainCeilingDb - kGainFloorDb);
        const double rounded = std::round(db / kGainStepDb) * kGainStepDb;
        showGain(rounded);
        if (gainChanged_)
            gainChanged_(rounded);
        break;
    }
    default:
        break;
    }
}

void Strip::update(const Readings& r, uint32_t now)
{
    const double seconds = lastUpdate_ ? (now - lastUpdate_) / 1000.0 : 0.0;
    lastUpdate_ = now;
    const double peakDb = r.inputPeak > 0.0f ? 20.0 * std::log10(r.inputPeak) : -1000.0;
    meterDb_ = std::max(peakDb, meterDb_ - kMeterFallDbPerSecond * seconds);
    meter_->setValue(static_cast<float>(std::clamp(1.0 - meterDb_ / kMeterFloorDb, 0.0, 1.0)));
    if (r.clippedBlocks != clippedSeen_) {
        clippedSeen_ = r.clippedBlocks;
        clipUntil_ = now + kClipHoldMs;
    }
    clip_->setValue(before(now, clipUntil_) ? 1.0f : 0.0f);

    if (r.tunerUpdated && r.tuner.pitched) {
        note_->setText(noteName(r.tuner.note));
        const long cents = std::lround(r.tuner.cents);
        cents_->setText((cents > 0 ? "+" : "") + std::to_string(cents) + " cents");
        scale_->setReading(true, r.tuner.cents);
        pitchUntil_ = now + kPitchHoldMs;
    } else if (r.tunerUpdated && !before(now, pitchUntil_)) {
        note_->setText("--");
        cents_->setText("");
        scale_->setReading(false, 0.0);
    }

    char text[160];
    std::snprintf(text, sizeof text, "%u Hz    %u frames    latency %.1f ms", r.sampleRate, r.bufferSize,
                  r.latencyMs);
    status_->setText(text);
    load_->setText(formatted("DSP %.1f %%", r.dspLoad));
    xruns_->setText("xruns " + std::to_string(r.xruns));

    const int entry = controller_.currentEntry();
    menu_->setShownText(entry >= 0 ? controller_.entryLabel(entry) : controller_.programName());
    cabinetMenu_->setShownText(cabinet_.name());
    if (messageUntil_ && !before(now, messageUntil_))
        clearMessage();
}

void Strip::showMessage(const std::string& text, bool error, uint32_t now)
{
    message_->setText(text);
    message_->setFontColor(error ? kErrorTextColor : kTextColor);
    if (!frame_->isChild(message_))
        frame_->addView(message_);
    message_->setDirty();
    messageUntil_ = std::max<uint32_t>(1, now + kMessageMs);
}

void Strip::clearMessage()
{
    messageUntil_ = 0;
    if (frame_->isChild(message_)) {
        frame_->removeView(message_, false);
        frame_->setDirty(true);
    }
}

void Strip::idle()
{
    if (frame_)
        frame_->idle();
}

// Controls that follow the mouse call this in a loop: keep the rest of the program going,
// and do not spin.
void Strip::trackIdle()
{
    gui::platform::sleep(kTrackSleepMs);
    const uint32_t now = gui::platform::ticks();
    if (before(now, nextKeepAlive_))
        return;
    nextKeepAlive_ = now + kKeepAliveMs;
    frame_->idle();
    if (keepAlive_)
        keepAlive_();
}

}  // namespace live
