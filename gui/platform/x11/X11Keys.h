#pragma once
// X11 key and button state in the toolkit's terms.

#include <cstdint>

#include "gui/GuiTypes.h"

namespace gui::platform::x11 {

// The key record hosts use for a key symbol (X11 KeySym), the modifier state of the event
// and the text the key produced (Latin-1, 0 when none). Keys with a virtual code keep the
// character 0; printable keys carry their lower-case character.
CKeyCode translateKey(unsigned long keySym, unsigned int state, int32_t character);

// The CButton bit set for an X11 pointer and modifier state (Button1Mask... Mod1Mask).
int32_t buttonsFromState(unsigned int state);

}  // namespace gui::platform::x11
