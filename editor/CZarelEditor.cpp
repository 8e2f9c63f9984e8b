#include "editor/CZarelEditor.h"

#include <cmath>
#include <string>

#include "editor/PanelZoom.h"
#include "gui/CBitmap.h"
#include "gui/CFrame.h"
#include "gui/CViewContainer.h"
#include "gui/controls/CKnob.h"
#include "gui/controls/CMovieBitmap.h"
#include "gui/controls/COnOffButton.h"
#include "gui/controls/COptionMenu.h"
#include "gui/controls/CParamDisplay.h"
#include "gui/controls/CSplashScreen.h"
#include "gui/controls/CVerticalSwitch.h"
#include "gui/controls/CVuMeter.h"
#include "gui/platform/PlatformWindow.h"
#include "vst/AudioEffect.h"

using namespace editor;

namespace {

constexpr int32_t kLastParameter = 52;
constexpr int32_t kPageSelector = 52;
constexpr int32_t kSpaceBypass = 39;
constexpr int32_t kSpaceWidth = 40;
constexpr int32_t kVuMeterLeds = 10;
constexpr int32_t kVuMeterVertical = 2;
constexpr int32_t kMenuShowsCurrentChecked = 1024;
constexpr CColor kReadoutColour{50, 50, 50, 0};

void readoutText(float value, char* text, size_t size) { formatReadout(value, text, size); }

// Every bitmap the panel builds controls from, in the order the groups are built.
constexpr int32_t kControlBitmaps[] = {
    kAmpMenuBitmap,     kInputIndicatorBitmap, kSplashBitmap,       kInputSwitchBitmap,
    kLargeButtonBitmap, kLargeKnobBitmap,      kAmpPageBitmap,      kSpaceButtonBitmap,
    kSectionSwitchBitmap, kTwoWaySwitchBitmap, kSmallKnobBitmap,    kMeterOnBitmap,
    kGateLampBitmap,    kSpaceLampBitmap,      kSpaceWidthDisplayBitmap,
};

}  // namespace

CZarelEditor::CZarelEditor(AudioEffect* owner) : AEffGUIEditor(owner)
{
    panelBitmap = new CBitmap(kAmpPageBitmap);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(panelBitmap->getHeight());
    rect.right = static_cast<int16_t>(panelBitmap->getWidth());
}

CZarelEditor::~CZarelEditor()
{
    // A host may close the plug-in without closing the editor first: take the window down.
    if (frame)
        close();
    panelBitmap->release();
}

float CZarelEditor::parameter(int32_t index) const { return effect ? effect->getParameter(index) : 0.0f; }

// ---- open and close -----------------------------------------------------------------

bool CZarelEditor::getRect(ERect** r)
{
    if (!frame) {
        refreshZoomSources(nullptr);
        setRectForZoom(effectiveZoom());
    }
    return AEffGUIEditor::getRect(r);
}

bool CZarelEditor::open(void* ptr)
{
    if (frame)
        close();  // opened again without a close: start afresh in the new window
    AEffEditor::open(ptr);
    CFrame::setKnobModeForAll(2);  // linear dragging; the host may change it

    refreshZoomSources(ptr);
    const int32_t zoom = effectiveZoom();
    setRectForZoom(zoom);
    zoomChanged.store(false);
    const CRect size(0, 0, kPanelWidth, kPanelHeight);
    frame = new CFrame(size, ptr, this, zoom);
    ampPage = new CViewContainer(CRect(0, 0, kPanelWidth, kPanelHeight), frame, panelBitmap);
    createControls();

    CBitmap* effectsBackground = new CBitmap(kEffectsPageBitmap);
    effectsPage = new CViewContainer(CRect(0, 0, kPanelWidth, kPanelHeight), frame, effectsBackground);
    effectsBackground->release();
    for (CControl* control : ampControls)
        ampPage->addView(control);
    for (CControl* control : effectsControls)
        effectsPage->addView(control);

    frame->addView(parameter(kPageSelector) == 1.0f ? effectsPage : ampPage);
    uiThread.store(std::this_thread::get_id());
    pendingChanges.store(0);
    opened.store(true);
    return true;
}

void CZarelEditor::createControls()
{
    // One load per bitmap; every control of the group keeps its own reference.
    for (int32_t id : kControlBitmaps) {
        CBitmap* bitmap = id == kAmpPageBitmap ? panelBitmap : new CBitmap(id);
        for (size_t i = 0; i < kAmpPageCount; ++i)
            if (kAmpPage[i].bitmap == id)
                ampControls[i] = createControl(kAmpPage[i], bitmap);
        for (size_t i = 0; i < kEffectsPageCount; ++i)
            if (kEffectsPage[i].bitmap == id)
                effectsControls[i] = createControl(kEffectsPage[i], bitmap);
        if (bitmap != panelBitmap)
            bitmap->release();
    }
}

CControl* CZarelEditor::createControl(const ControlRow& row, CBitmap* bitmap)
{
    const int32_t imageHeight = row.images > 0 ? bitmap->getHeight() / row.images : 0;
    CPoint offset(0, 0);
    CControl* control = nullptr;
    switch (row.kind) {
    case Kind::OptionMenu: {
        auto* menu = new COptionMenu(row.rect, this, row.tag, bitmap, bitmap, kMenuShowsCurrentChecked);
        menu->setFont(kNormalFontSmaller);
        menu->setFontColor(kBlackCColor);
        menu->setHoriAlign(kCenterText);
        for (int32_t i = 0; i < kAmplifierEntryCount; ++i)
            menu->addEntry(kAmplifierEntries[i]);
        menu->setValue(parameter(row.shows) * float(kAmplifierSteps));
        return menu;
    }
    case Kind::MovieBitmap:
        control = new CMovieBitmap(row.rect, this, row.tag, row.images, imageHeight, bitmap, offset);
        break;
    case Kind::SplashScreen: {
        CRect display(0, 0, kPanelWidth, kPanelHeight);
        return new CSplashScreen(row.rect, this, row.tag, bitmap, display, offset);
    }
    case Kind::VerticalSwitch:
        control = new CVerticalSwitch(row.rect, this, row.tag, row.images, imageHeight, row.images, bitmap, offset);
        break;
    case Kind::OnOffButton:
        control = new COnOffButton(row.rect, this, row.tag, bitmap, 0);
        break;
    case Kind::AnimKnob:
        control = new CAnimKnob(row.rect, this, row.tag, row.images, imageHeight, bitmap, offset);
        break;
    case Kind::Readout: {
        auto* display = new CParamDisplay(row.rect, bitmap, 0);
        display->copyBackOffset();
        display->setFont(kNormalFontVerySmall);
        display->setFontColor(kReadoutColour);
        display->setHoriAlign(kCenterText);
        display->setStringConvert(readoutText);
        control = display;
        break;
    }
    case Kind::VuMeter: {
        CBitmap* off = new CBitmap(kMeterOffBitmap);
        control = new CVuMeter(row.rect, bitmap, off, kVuMeterLeds, kVuMeterVertical);
        off->release();
        break;
    }
    }
    if (row.defaultValue != kNoDefault)
        control->setDefaultValue(row.defaultValue);
    control->setValue(parameter(row.shows));
    return control;
}

void CZarelEditor::close()
{
    opened.store(false);
    if (frame) {
        // The page not on display is the editor's alone; the other goes with the frame.
        // It leaves the frame first, in case somebody still holds it.
        for (CViewContainer* page : {ampPage, effectsPage})
            if (page && !frame->isChild(page)) {
                page->setParentFrame(nullptr);
                page->release();
            }
        frame->release();
    }
    frame = nullptr;
    ampPage = effectsPage = nullptr;
    ampControls.fill(nullptr);
    effectsControls.fill(nullptr);
    desktopZoom = 0;  // asked again for the next panel: it may open on another screen
    AEffEditor::close();
}

// ---- zoom ---------------------------------------------------------------------------

// The settings file is read at every open, so a choice made on another panel counts; a
// file that is missing leaves this editor's own choice (one that could not be saved).
void CZarelEditor::refreshZoomSources(void* parentWindow)
{
    int32_t chosen = kAutomaticZoom;
    switch (ZoomSettings().read(chosen)) {
    case ZoomSettings::State::Chosen:
        userZoom = chosen;
        break;
    case ZoomSettings::State::Automatic:
        userZoom = kAutomaticZoom;
        break;
    case ZoomSettings::State::Missing:
        break;
    }
    if (parentWindow || desktopZoom == 0)
        desktopZoom = nearestZoom(gui::platform::desktopScalePercent(parentWindow));
}

int32_t CZarelEditor::effectiveZoom() const
{
    if (userZoom != kAutomaticZoom)
        return userZoom;
    if (const int32_t host = hostZoom.load(); host != 0)
        return host;
    return desktopZoom != 0 ? desktopZoom : kZoomLevels[0];
}

void CZarelEditor::setRectForZoom(int32_t zoom)
{
    const gui::Scale scale(zoom);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<int16_t>(scale.toDeviceY(kPanelHeight));
    rect.right = static_cast<int16_t>(scale.toDeviceX(kPanelWidth));
}

bool CZarelEditor::setHostScaleFactor(float factor)
{
    if (!(factor > 0.0f) || !std::isfinite(factor))
        return false;
    hostZoom.store(nearestZoom(double(factor) * 100.0));
    zoomChanged.store(true);
    return true;
}

// The rectangle first: hosts ask for it while they resize their window.
void CZarelEditor::applyZoom()
{
    const int32_t zoom = effectiveZoom();
    if (!frame || frame->getScale().percent() == zoom)
        return;
    setRectForZoom(zoom);
    frame->setScalePercent(zoom);
}

bool CZarelEditor::pressBeforeViews(CDrawContext*, const CPoint& where, int32_t buttons)
{
    if (!(buttons & kRButton) || !frame)
        return false;
    const CRect& logo = frame->isChild(ampPage) ? kAmpLogoArea : kEffectsLogoArea;
    if (!logo.containsInclusive(where))
        return false;
    showZoomMenu(where);
    return true;
}

// "Zoom": the three sizes and "Automatic", the one in force checked. The choice is kept
// in the settings file and applied at the next idle, outside the press.
void CZarelEditor::showZoomMenu(const CPoint& where)
{
    using gui::platform::PopupItem;
    gui::platform::PopupMenu items;
    PopupItem title;
    title.label = "Zoom";
    title.disabled = true;
    items.push_back(title);
    for (int32_t level : kZoomLevels) {
        PopupItem item;
        item.label = std::to_string(level) + "%";
        item.id = level;
        item.checked = userZoom == level;
        items.push_back(item);
    }
    PopupItem separator;
    separator.kind = PopupItem::Kind::Separator;
    items.push_back(separator);
    PopupItem automatic;
    const int32_t host = hostZoom.load();
    automatic.label = "Automatic (" + std::to_string(host != 0 ? host : (desktopZoom != 0 ? desktopZoom : 100)) + "%)";
    automatic.id = kAutomaticZoom;
    automatic.checked = userZoom == kAutomaticZoom;
    items.push_back(automatic);

    const int32_t chosen = frame->popupMenu(items, where, true);
    if (chosen < 0)
        return;
    userZoom = chosen;
    ZoomSettings().write(chosen);  // when it cannot be saved, the choice lasts as long as this editor
    zoomChanged.store(true);
}

// ---- binding ------------------------------------------------------------------------

void CZarelEditor::valueChanged(CDrawContext*, CControl* control)
{
    const int32_t tag = control->getTag();
    if (static_cast<uint32_t>(tag) > static_cast<uint32_t>(kLastParameter) || !effect)
        return;
    float value = control->getValue();
    if (tag == 10)
        value = static_cast<float>(static_cast<double>(value) / kAmplifierSteps);
    effect->setParameterAutomated(tag, value);
}

int32_t CZarelEditor::modifierClicked(CDrawContext*, CControl*, int32_t) { return 0; }

void CZarelEditor::setParameter(VstInt32 index, float)
{
    if (!opened.load())
        return;
    if (std::this_thread::get_id() != uiThread.load()) {
        if (static_cast<uint32_t>(index) <= static_cast<uint32_t>(kLastParameter))
            pendingChanges.fetch_or(uint64_t(1) << index);
        return;
    }
    applyParameter(index);
}

void CZarelEditor::applyParameter(VstInt32 index)
{
    if (!frame)
        return;
    const float value = parameter(index);
    auto refresh = [&](const ControlRow* rows, size_t count, const auto& controls) {
        for (size_t i = 0; i < count; ++i)
            if (rows[i].refresh == Refresh::OnChange && rows[i].shows == index && controls[i])
                controls[i]->setValue(rows[i].kind == Kind::OptionMenu ? value * float(kAmplifierSteps) : value);
    };
    refresh(kAmpPage, kAmpPageCount, ampControls);
    refresh(kEffectsPage, kEffectsPageCount, effectsControls);
    frame->setDirty(true);
    if (index == kPageSelector)
        swapPage();
}

void CZarelEditor::swapPage()
{
    CViewContainer* target = parameter(kPageSelector) == 1.0f ? effectsPage : ampPage;
    frame->removeAll(false);  // the page shown stays alive on the editor's reference
    frame->addView(target);
}

void CZarelEditor::applyPendingChanges()
{
    uint64_t changes = pendingChanges.exchange(0);
    for (int32_t index = 0; changes != 0; ++index, changes >>= 1)
        if (changes & 1u)
            applyParameter(index);
}

void CZarelEditor::idle()
{
    if (!opened.load())
        return;
    applyPendingChanges();
    if (zoomChanged.exchange(false))
        applyZoom();
    AEffGUIEditor::idle();
    refreshMeters();
}

void CZarelEditor::refreshMeters()
{
    auto refresh = [&](const ControlRow* rows, size_t count, const auto& controls) {
        for (size_t i = 0; i < count; ++i) {
            if (rows[i].refresh != Refresh::AtIdle || !controls[i])
                continue;
            float value = parameter(rows[i].shows);
            // The width display rests on its first image while Space is off.
            if (rows[i].shows == kSpaceWidth && parameter(kSpaceBypass) == 0.0f)
                value = parameter(kSpaceBypass);
            controls[i]->setValue(value);
        }
    };
    if (effectsPage)
        refresh(kEffectsPage, kEffectsPageCount, effectsControls);
    if (ampPage)
        refresh(kAmpPage, kAmpPageCount, ampControls);
}
