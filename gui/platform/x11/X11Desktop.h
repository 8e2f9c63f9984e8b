#pragma once
// What the X11 desktop says about the scale applications should draw at.

#include <cstdint>

namespace gui::platform::x11 {

// The scale, in percent of 96 dots per inch, that the Xft.dpi resource of an X resource
// database string names ("Xft.dpi:\t144" gives 150); 100 when it names none or nonsense.
int32_t scaleFromResources(const char* resources);

}  // namespace gui::platform::x11
