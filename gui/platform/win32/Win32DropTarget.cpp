#include "gui/platform/win32/Win32DropTarget.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "gui/CDragContainer.h"

namespace gui::platform::win32 {

namespace {

// The dragged data as the toolkit's container: plain text first, else dropped files.
CDragContainer* containerOf(IDataObject* data)
{
    FORMATETC format{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (data->GetData(&format, &medium) == S_OK) {
        std::string text;
        if (const char* chars = static_cast<const char*>(GlobalLock(medium.hGlobal))) {
            text.assign(chars, strnlen(chars, GlobalSize(medium.hGlobal)));
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
        return new CDragContainer(CDragContainer::kText, {text});
    }
    format.cfFormat = CF_HDROP;
    if (data->GetData(&format, &medium) == S_OK) {
        std::vector<std::string> files;
        if (HDROP drop = static_cast<HDROP>(GlobalLock(medium.hGlobal))) {
            const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                std::string name(DragQueryFileA(drop, i, nullptr, 0) + 1, '\0');
                name.resize(DragQueryFileA(drop, i, &name[0], static_cast<UINT>(name.size())));
                files.push_back(name);
            }
            GlobalUnlock(medium.hGlobal);
        }
        ReleaseStgMedium(&medium);
        return new CDragContainer(CDragContainer::kFile, files);
    }
    return new CDragContainer(CDragContainer::kUnknown, {});
}

}  // namespace

HRESULT STDMETHODCALLTYPE CDropTarget::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CDropTarget::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references)); }

ULONG STDMETHODCALLTYPE CDropTarget::Release()
{
    const LONG left = InterlockedDecrement(&references);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect)
{
    if (!data) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    dragging = events.onDragEnter(containerOf(data));  // the frame keeps the container
    *effect = DROPEFFECT_MOVE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragOver(DWORD, POINTL, DWORD* effect)
{
    if (dragging)
        events.onDragMove();
    *effect = DROPEFFECT_MOVE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragLeave()
{
    if (dragging)
        events.onDragLeave();
    dragging = false;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE CDropTarget::Drop(IDataObject*, DWORD, POINTL, DWORD* effect)
{
    if (dragging)
        events.onDrop();
    dragging = false;
    *effect = DROPEFFECT_MOVE;
    return S_OK;
}

}  // namespace gui::platform::win32
