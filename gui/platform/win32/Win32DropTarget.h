#pragma once
// The OLE drop target of a frame's window: what another program drags over the panel
// becomes a CDragContainer (texts or file names) reported through the window's events.

#include <ole2.h>
#include <windows.h>

#include "gui/platform/PlatformWindow.h"

namespace gui::platform::win32 {

class CDropTarget : public IDropTarget {
public:
    explicit CDropTarget(WindowEvents& windowEvents) : events(windowEvents) {}
    virtual ~CDropTarget() = default;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL where, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL where, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL where, DWORD* effect) override;

private:
    LONG references = 0;
    WindowEvents& events;
    bool dragging = false;
};

}  // namespace gui::platform::win32
