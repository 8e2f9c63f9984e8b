// The Win32 drop target: what another program drags over the frame's window reaches the
// frame as a drag container (texts or file names), through the window's events.

#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "gui/CDragContainer.h"
#include "gui/platform/win32/Win32DropTarget.h"

namespace {

using gui::platform::win32::CDropTarget;

// Data of one clipboard format, as a dragging program offers it.
class OneFormat : public IDataObject {
public:
    OneFormat(CLIPFORMAT offered, const void* bytes, size_t size) : format(offered)
    {
        memory = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(memory), bytes, size);
        GlobalUnlock(memory);
    }
    virtual ~OneFormat() { GlobalFree(memory); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override
    {
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* wanted, STGMEDIUM* medium) override
    {
        if (wanted->cfFormat != format || !(wanted->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        const SIZE_T size = GlobalSize(memory);
        HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
        std::memcpy(GlobalLock(copy), GlobalLock(memory), size);
        GlobalUnlock(copy);
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* wanted) override
    {
        return wanted->cfFormat == format ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    CLIPFORMAT format;
    HGLOBAL memory;
};

// The frame's side: what arrives.
struct Events : gui::platform::WindowEvents {
    ~Events() override
    {
        if (drag)
            drag->release();
    }
    void onPaint(const CRect&) override {}
    void onButtonDown(CPoint) override {}
    void onWheel(CPoint, float) override {}
    bool onKey(bool, const CKeyCode&) override { return false; }
    void onDestroyed() override {}
    bool onDragEnter(CDragContainer* d) override
    {
        drag = d;
        log += "enter ";
        return true;
    }
    void onDragMove() override { log += "move "; }
    void onDragLeave() override { log += "leave "; }
    bool onDrop() override
    {
        log += "drop ";
        return true;
    }
    CDragContainer* drag = nullptr;
    std::string log;
};

std::string firstItem(CDragContainer* drag, int32_t& type)
{
    int32_t size = 0;
    const char* item = drag->first(size, type);
    return item ? std::string(item, size_t(size)) : std::string();
}

TEST(Win32DropTarget, TextDraggedInAndDroppedReachesTheFrame)
{
    Events events;
    CDropTarget* target = new CDropTarget(events);
    target->AddRef();
    const char text[] = "Plexi";
    OneFormat data(CF_TEXT, text, sizeof text);
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->DragEnter(&data, 0, POINTL{1, 2}, &effect), S_OK);
    EXPECT_EQ(effect, DWORD(DROPEFFECT_MOVE));
    ASSERT_NE(events.drag, nullptr);
    EXPECT_EQ(events.drag->getCount(), 1);
    int32_t type = -2;
    EXPECT_EQ(firstItem(events.drag, type), "Plexi");
    EXPECT_EQ(type, CDragContainer::kText);
    target->DragOver(0, POINTL{3, 4}, &effect);
    target->Drop(&data, 0, POINTL{3, 4}, &effect);
    EXPECT_EQ(events.log, "enter move drop ");
    target->Release();
}

TEST(Win32DropTarget, DroppedFilesAreListedAndALeaveEndsTheDrag)
{
    Events events;
    CDropTarget* target = new CDropTarget(events);
    target->AddRef();
    const char names[] = "C:\\takes\\one.wav\0C:\\takes\\two.wav\0";
    std::string block(sizeof(DROPFILES), '\0');
    auto* header = reinterpret_cast<DROPFILES*>(&block[0]);
    header->pFiles = sizeof(DROPFILES);
    header->fWide = FALSE;
    block.append(names, sizeof names);
    OneFormat data(CF_HDROP, block.data(), block.size());
    DWORD effect = 0;
    target->DragEnter(&data, 0, POINTL{0, 0}, &effect);
    ASSERT_NE(events.drag, nullptr);
    EXPECT_EQ(events.drag->getCount(), 2);
    int32_t type = -2;
    EXPECT_EQ(firstItem(events.drag, type), "C:\\takes\\one.wav");
    EXPECT_EQ(type, CDragContainer::kFile);
    target->DragLeave();
    target->DragOver(0, POINTL{0, 0}, &effect);  // no drag any more: nothing reaches the frame
    EXPECT_EQ(events.log, "enter leave ");
    target->Release();
}

TEST(Win32DropTarget, AnswersOnlyForItsOwnInterfaces)
{
    Events events;
    CDropTarget* target = new CDropTarget(events);
    target->AddRef();
    void* object = nullptr;
    EXPECT_EQ(target->QueryInterface(IID_IDropTarget, &object), S_OK);
    EXPECT_EQ(object, static_cast<IDropTarget*>(target));
    EXPECT_EQ(target->Release(), 1u);
    EXPECT_EQ(target->QueryInterface(IID_IDataObject, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(target->DragEnter(nullptr, 0, POINTL{0, 0}, &effect), S_OK);  // nothing to drag
    EXPECT_EQ(effect, DWORD(DROPEFFECT_NONE));
    EXPECT_EQ(events.log, "");
    EXPECT_EQ(target->Release(), 0u);
}

}  // namespace
