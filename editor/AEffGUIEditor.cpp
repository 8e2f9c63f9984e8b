#include "editor/AEffGUIEditor.h"

#include "gui/CDrawContext.h"
#include "gui/platform/PlatformWindow.h"
#include "vst/AudioEffect.h"

namespace {

// A throttled idle is due 100 ms after the last one; a call that has slept its 4 ms may
// run up to 50 ms early.
constexpr uint32_t kIdleInterval = 100;
constexpr uint32_t kEarlyAllowance = 50;
constexpr uint32_t kTrackSleep = 4;

CKeyCode toKeyCode(const VstKeyCode& key)
{
    CKeyCode k;
    k.character = key.character;
    k.virt = key.virt;
    k.modifier = key.modifier;
    return k;
}

AudioEffectX* extended(AudioEffect* effect) { return dynamic_cast<AudioEffectX*>(effect); }

}  // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffect* owner) : AEffEditor(owner)
{
    nextIdleTick = gui::platform::ticks();
    threadInitialised = gui::platform::initializeThread();
}

AEffGUIEditor::~AEffGUIEditor()
{
    if (threadInitialised)
        gui::platform::uninitializeThread();
}

bool AEffGUIEditor::getRect(ERect** r)
{
    *r = &rect;
    return true;
}

void AEffGUIEditor::idle()
{
    if (inIdle || !frame)
        return;
    frame->idle();
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& keyCode)
{
    return frame && frame->keyDown(toKeyCode(keyCode)) == 1;
}

bool AEffGUIEditor::onKeyUp(VstKeyCode& keyCode)
{
    return frame && frame->keyUp(toKeyCode(keyCode)) == 1;
}

bool AEffGUIEditor::onWheel(float distance)
{
    if (!frame)
        return false;
    CDrawContext* context = new CDrawContext(frame, nullptr, frame->getPlatformWindow());
    CPoint where;
    context->getPointerPosition(where);
    const bool used = frame->wheel(context, where, distance);
    context->release();
    return used;
}

bool AEffGUIEditor::setKnobMode(VstInt32 val)
{
    CFrame::setKnobModeForAll(val);
    return true;
}

void AEffGUIEditor::beginEdit(int32_t index)
{
    if (AudioEffectX* e = extended(effect))
        e->beginEdit(index);
}

void AEffGUIEditor::endEdit(int32_t index)
{
    if (AudioEffectX* e = extended(effect))
        e->endEdit(index);
}

bool AEffGUIEditor::sizeWindow(int32_t width, int32_t height)
{
    AudioEffectX* e = extended(effect);
    char canDo[] = "sizeWindow";
    return e && e->canHostDo(canDo) > 0 && e->sizeWindow(width, height);
}

void AEffGUIEditor::trackIdle()
{
    uint32_t now = gui::platform::ticks();
    if (now < nextIdleTick) {
        gui::platform::sleep(kTrackSleep);
        now += kTrackSleep;
        if (now < nextIdleTick - kEarlyAllowance)
            return;
    }
    idle();  // the window's pending paints are handled by the frame's idle
    nextIdleTick = now + kIdleInterval;
    inIdle = true;
    if (effect)
        effect->masterIdle();
    inIdle = false;
}
