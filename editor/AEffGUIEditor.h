#pragma once
// The graphical editor base: owns the frame while the host's window is open, hears every
// parameter change of the plug-in, passes keys and the wheel to the frame, and keeps the
// editor idling while a control follows the mouse.

#include <cstdint>

#include "gui/CFrame.h"
#include "vst/AEffEditor.h"

class AEffGUIEditor : public AEffEditor, public CFrameEditor {
public:
    explicit AEffGUIEditor(AudioEffect* effect);
    ~AEffGUIEditor() override;

    bool getRect(ERect** rect) override;
    void idle() override;
    bool onKeyDown(VstKeyCode& keyCode) override;
    bool onKeyUp(VstKeyCode& keyCode) override;
    bool onWheel(float distance) override;
    bool setKnobMode(VstInt32 val) override;

    virtual void setParameter(VstInt32 index, float value) {}
    // The host's display scale for the panel (1.0, 1.5, 2.0...); true when the editor
    // takes it. This base draws at one scale only.
    virtual bool setHostScaleFactor(float factor) { return false; }
    // CFrameEditor: the toolkit's gesture brackets and tracking idle.
    void beginEdit(int32_t index) override;
    void endEdit(int32_t index) override;
    void trackIdle() override;
    bool sizeWindow(int32_t width, int32_t height) override;

    CFrame* getFrame() const { return frame; }

protected:
    ERect rect{};
    uint32_t nextIdleTick = 0;  // when the next throttled idle is due (milliseconds of the tick clock)
    bool inIdle = false;
    CFrame* frame = nullptr;

private:
    bool threadInitialised = false;
};
