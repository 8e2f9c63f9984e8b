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

    bool open(void* ptr) override;
    void close() override;
    void idle() override;
    // Refreshes the controls of parameter `index` from the plug-in's stored value. On the
    // thread that opened the editor this happens at once; from any other thread the change
    // is only noted and applied at the next idle.
    void setParameter(VstInt32 index, float value) override;

    void valueChanged(CDrawContext* context, CControl* control) override;
    int32_t modifierClicked(CDrawContext* context, CControl* control, int32_t buttons) override;

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

    std::atomic<bool> opened{false};
    std::array<CControl*, kAmpRows> ampControls{};
    std::array<CControl*, kEffectsRows> effectsControls{};
    CViewContainer* ampPage = nullptr;
    CViewContainer* effectsPage = nullptr;
    CBitmap* panelBitmap = nullptr;

    std::atomic<std::thread::id> uiThread{};  // written at open, read by setParameter on any thread
    std::atomic<uint64_t> pendingChanges{0};  // one bit per parameter index changed on another thread
};
