#pragma once
// The Korvalex front panel: two pages of bitmap controls bound to the plug-in's parameters.
// A control's tag is the index of the parameter it stands for; a user change goes to the
// plug-in as automation, and every parameter change comes back to refresh the controls.

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

#include "editor/AEffGUIEditor.h"
#include "editor/EditorLayout.h"
#include "gui/controls/CControl.h"

class CBitmap;
class CViewContainer;

class CZarelEditor : public AEffGUIEditor, public CControlListener {
public:
    explicit CZarelEditor(AudioEffect* effect);
    ~CZarelEditor() override;

    bool getRect(ERect** rect) override;  // the panel's size at its zoom
    bool open(void* ptr) override;
    void close() override;
    void idle() override;
    // Refreshes the controls of parameter `index` from the plug-in's stored value. On the
    // thread that opened the editor this happens at once; from any other thread the change
    // is only noted and applied at the next idle.
    void setParameter(VstInt32 index, float value) override;

    void valueChanged(CDrawContext* context, CControl* control) override;
    int32_t modifierClicked(CDrawContext* context, CControl* control, int32_t buttons) override;
    // A right-click on a page's logo opens the zoom menu.
    bool pressBeforeViews(CDrawContext* context, const CPoint& where, int32_t buttons) override;

    // The host says the scale of its display (1.0 for 100 %): a VST host's content scale
    // request, an LV2 host's ui:scaleFactor. The panel takes the nearest zoom it has
    // unless the user chose one; an open panel changes at its next idle. False for a
    // factor that is no number or not positive. Any thread.
    bool setHostScaleFactor(float factor) override;
    // The zoom the panel is drawn at (open) or will open at, in percent.
    int32_t zoomPercent() const { return effectiveZoom(); }

    // For tests and hosts that ask: which page is attached, and the controls by row.
    CViewContainer* getAmpPage() const { return ampPage; }
    CViewContainer* getEffectsPage() const { return effectsPage; }
    CControl* ampControl(size_t row) const { return row < ampControls.size() ? ampControls[row] : nullptr; }
    CControl* effectsControl(size_t row) const
    {
        return row < effectsControls.size() ? effectsControls[row] : nullptr;
    }

private:
    static constexpr size_t kAmpRows = 21;
    static constexpr size_t kEffectsRows = 46;

    void createControls();
    CControl* createControl(const editor::ControlRow& row, CBitmap* bitmap);
    void applyParameter(VstInt32 index);
    void applyPendingChanges();
    void swapPage();
    void refreshMeters();
    float parameter(int32_t index) const;
    // Zoom: the settings file and the desktop read afresh, the choice in force, the
    // rectangle that goes with it, and a change applied to the open panel.
    void refreshZoomSources(void* parentWindow);
    int32_t effectiveZoom() const;
    void setRectForZoom(int32_t zoom);
    void applyZoom();
    void showZoomMenu(const CPoint& where);

    std::atomic<bool> opened{false};
    std::array<CControl*, kAmpRows> ampControls{};
    std::array<CControl*, kEffectsRows> effectsControls{};
    CViewContainer* ampPage = nullptr;
    CViewContainer* effectsPage = nullptr;
    CBitmap* panelBitmap = nullptr;

    std::atomic<std::thread::id> uiThread{};  // written at open, read by setParameter on any thread
    std::atomic<uint64_t> pendingChanges{0};  // one bit per parameter index changed on another thread

    int32_t userZoom = 0;                   // the user's choice (editor::kAutomaticZoom: none)
    std::atomic<int32_t> hostZoom{0};       // what the host said (0: nothing)
    int32_t desktopZoom = 0;                // the desktop's setting (0: not asked yet)
    std::atomic<bool> zoomChanged{false};   // applied to the open panel at its next idle
};
