#include "gui/platform/x11/X11Keys.h"

#include <X11/X.h>
#include <X11/keysym.h>

#include <cctype>
#include <iterator>

namespace gui::platform::x11 {

namespace {

// Virtual key codes of host key records beyond those CVirtualKey names.
enum : uint8_t {
    kVKeySelect = 17,
    kVKeyPrint,
    kVKeyEnter,
    kVKeySnapshot,
    kVKeyInsert,
    kVKeyDelete,
    kVKeyHelp,
    kVKeyNumpad0,  // .. 33 numpad 9
    kVKeyMultiply = 34,
    kVKeyAdd,
    kVKeySeparator,
    kVKeySubtract,
    kVKeyDecimal,
    kVKeyDivide,
    kVKeyF1,  // .. 51 F12
    kVKeyNumLock = 52,
    kVKeyScroll,
    kVKeyShift,
    kVKeyControl,
    kVKeyAlt,
    kVKeyEquals,
};

struct KeyName {
    unsigned long keySym;
    uint8_t virt;
};

constexpr KeyName kVirtualKeys[] = {
    {XK_BackSpace, kVKeyBack},     {XK_Tab, kVKeyTab},           {XK_ISO_Left_Tab, kVKeyTab},
    {XK_Clear, kVKeyClear},        {XK_Return, kVKeyReturn},     {XK_Pause, kVKeyPause},
    {XK_Escape, kVKeyEscape},      {XK_space, kVKeySpace},       {XK_End, kVKeyEnd},
    {XK_Home, kVKeyHome},          {XK_Left, kVKeyLeft},         {XK_Up, kVKeyUp},
    {XK_Right, kVKeyRight},        {XK_Down, kVKeyDown},         {XK_Page_Up, kVKeyPageUp},
    {XK_Page_Down, kVKeyPageDown}, {XK_Select, kVKeySelect},     {XK_Print, kVKeyPrint},
    {XK_KP_Enter, kVKeyEnter},     {XK_Insert, kVKeyInsert},     {XK_Delete, kVKeyDelete},
    {XK_Help, kVKeyHelp},          {XK_KP_Multiply, kVKeyMultiply}, {XK_KP_Add, kVKeyAdd},
    {XK_KP_Separator, kVKeySeparator}, {XK_KP_Subtract, kVKeySubtract}, {XK_KP_Decimal, kVKeyDecimal},
    {XK_KP_Divide, kVKeyDivide},   {XK_Num_Lock, kVKeyNumLock},  {XK_Scroll_Lock, kVKeyScroll},
    {XK_Shift_L, kVKeyShift},      {XK_Shift_R, kVKeyShift},     {XK_Control_L, kVKeyControl},
    {XK_Control_R, kVKeyControl},  {XK_Alt_L, kVKeyAlt},         {XK_Alt_R, kVKeyAlt},
    {XK_KP_Equal, kVKeyEquals},    {XK_KP_Space, kVKeySpace},    {XK_KP_Tab, kVKeyTab},
    {XK_KP_Home, kVKeyHome},       {XK_KP_Left, kVKeyLeft},      {XK_KP_Up, kVKeyUp},
    {XK_KP_Right, kVKeyRight},     {XK_KP_Down, kVKeyDown},      {XK_KP_Page_Up, kVKeyPageUp},
    {XK_KP_Page_Down, kVKeyPageDown}, {XK_KP_End, kVKeyEnd},     {XK_KP_Insert, kVKeyInsert},
    {XK_KP_Delete, kVKeyDelete},
};

uint8_t virtualKeyOf(unsigned long keySym)
{
    if (keySym >= XK_F1 && keySym <= XK_F12)
        return static_cast<uint8_t>(kVKeyF1 + (keySym - XK_F1));
    if (keySym >= XK_KP_0 && keySym <= XK_KP_9)
        return static_cast<uint8_t>(kVKeyNumpad0 + (keySym - XK_KP_0));
    for (const KeyName& k : kVirtualKeys)
        if (k.keySym == keySym)
            return k.virt;
    return 0;
}

}  // namespace

CKeyCode translateKey(unsigned long keySym, unsigned int state, int32_t character)
{
    CKeyCode key;
    key.virt = virtualKeyOf(keySym);
    if (key.virt == 0 && character > 0)
        key.character = std::tolower(static_cast<unsigned char>(character));
    if (state & ShiftMask)
        key.modifier |= kKeyModShift;
    if (state & Mod1Mask)
        key.modifier |= kKeyModAlternate;
    if (state & ControlMask)
        key.modifier |= kKeyModControl;
    return key;
}

int32_t buttonsFromState(unsigned int state)
{
    int32_t buttons = 0;
    if (state & Button1Mask)
        buttons |= kLButton;
    if (state & Button2Mask)
        buttons |= kMButton;
    if (state & Button3Mask)
        buttons |= kRButton;
    if (state & ShiftMask)
        buttons |= kShift;
    if (state & ControlMask)
        buttons |= kControl;
    if (state & Mod1Mask)
        buttons |= kAlt;
    return buttons;
}

}  // namespace gui::platform::x11
