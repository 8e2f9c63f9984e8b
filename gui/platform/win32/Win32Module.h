#pragma once
// The module (DLL) the toolkit lives in: its instance handle names the window class and
// holds the bitmap resources. The DLL's entry point hands it over when it is loaded.

namespace gui::platform::win32 {

void setModuleInstance(void* instance);
void* moduleInstance();  // the DLL's, or the executable's when none was set

}  // namespace gui::platform::win32
