#pragma once
// The base of every control: a view that shows one value within a range, reports changes
// made by the user to a listener, and brackets each gesture with begin and end edit so that
// the host can record automation.

#include <cstdint>

#include "gui/CView.h"

class CControl;

// Receives the changes a user makes to controls (the editor).
class CControlListener {
public:
    virtual ~CControlListener() = default;
    // The control's value changed through the user.
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    // Asked before a press with a modifier key is handled; non-zero takes the press.
    virtual int32_t modifierClicked(CDrawContext* context, CControl* control, int32_t buttons) { return 0; }
};

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background);

    // Overrides of CView.
    void draw(CDrawContext* context) override = 0;
    bool isDirty() const override;  // value differs from the value last drawn, or marked
    void setDirty(bool state = true) override;
    bool isKindOf(const char* className) const override;

    // Operations of controls, in this order.
    virtual void trackIdle();
    virtual void setValue(float v) { value = v; }  // stores only
    virtual float getValue() const { return value; }
    virtual void setMin(float v) { vmin = v; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float v) { vmax = v; }
    virtual float getMax() const { return vmax; }
    virtual void setOldValue(float v) { oldValue = v; }
    virtual float getOldValue() const { return oldValue; }
    virtual void setDefaultValue(float v) { defaultValue = v; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setTag(int32_t v) { tag = v; }
    virtual int32_t getTag() const { return tag; }
    // Makes the control the focus view and opens a gesture with the frame; endEdit closes it.
    virtual void beginEdit();
    virtual void endEdit();
    virtual void setBackOffset(const CPoint& offset) { backOffset = offset; }
    virtual void copyBackOffset();
    virtual void setWheelInc(float v) { wheelInc = v; }
    virtual float getWheelInc() const { return wheelInc; }
    virtual void bounceValue();
    // A left press with control and nothing else restores the default value; true then.
    virtual bool checkDefaultValue(CDrawContext* context, int32_t buttons);

    CControlListener* getListener() const { return listener; }
    void setListener(CControlListener* l) { listener = l; }
    const CPoint& getBackOffset() const { return backOffset; }

protected:
    // Modifier keys whose presses the listener is asked about first.
    static constexpr int32_t kModifierButtons = kShift | kControl | kAlt | kApple;

    // The start of a press on a control that follows the mouse: false when the control
    // ignores it (mouse disabled, no left button, the listener took it, or the press
    // restored the default value). Buttons -1 are read from the context.
    bool pressPrologue(CDrawContext* context, int32_t& buttons, bool defaultCheck = true);
    // Steps of the prologue on their own, for controls that order them differently.
    bool acceptsPress(CDrawContext* context, int32_t& buttons) const;
    bool listenerTookPress(CDrawContext* context, int32_t buttons);
    // Reports to the listener if the value moved (or the control is marked dirty).
    void reportIfDirty(CDrawContext* context);
    // With a listener: begin edit, report, end edit, one gesture for a change made at once.
    void reportGesture(CDrawContext* context);

    // Draws `bitmap` into `dest` from `source`, keyed on its transparent colour when the
    // control is transparent; nothing without a bitmap.
    void drawBitmapInto(CDrawContext* context, CBitmap* bitmap, const CRect& dest, const CPoint& source) const;

    // True between beginEdit and the endEdit that closes the gesture.
    bool isEditing() const { return openEdits > 0; }

    // The value as drawn: NaN as the minimum, infinities as the nearest end.
    float drawnValue() const;

    CControlListener* listener;
    int32_t tag;
    float oldValue = 1.f;
    float defaultValue = 0.5f;
    float value = 0.f;
    float vmin = 0.f;
    float vmax = 1.f;
    float wheelInc = 0.1f;
    CPoint backOffset;

private:
    // The frame and tag a gesture was opened with, so that it is closed with them even if
    // the listener took the control out of the frame in between.
    CFrame* editFrame = nullptr;
    int32_t editTag = 0;
    int32_t openEdits = 0;
};
