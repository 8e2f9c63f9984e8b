#include "gui/platform/win32/Win32Window.h"

#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gui/platform/win32/Win32DropTarget.h"
#include "gui/platform/win32/Win32Module.h"

namespace gui::platform {

namespace win32 {

namespace {

// The window class, shared by every frame of this module.
char className[64];
int classUseCount = 0;
bool swappedButtons = false;

bool useWindowClass(WNDPROC procedure)
{
    if (classUseCount++ > 0)
        return true;
    HINSTANCE module = static_cast<HINSTANCE>(moduleInstance());
    std::snprintf(className, sizeof className, "Plugin%p", static_cast<void*>(module));
    swappedButtons = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    WNDCLASSA c{};
    c.style = CS_GLOBALCLASS;
    c.lpfnWndProc = procedure;
    c.hInstance = module;
    c.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    c.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    c.lpszClassName = className;
    if (RegisterClassA(&c))
        return true;
    --classUseCount;
    return false;
}

void releaseWindowClass()
{
    if (--classUseCount == 0)
        UnregisterClassA(className, static_cast<HINSTANCE>(moduleInstance()));
}

LPCSTR standardCursor(int32_t kind)
{
    switch (kind) {
    case kCursorWait: return reinterpret_cast<LPCSTR>(IDC_WAIT);
    case kCursorHSize: return reinterpret_cast<LPCSTR>(IDC_SIZEWE);
    case kCursorVSize: return reinterpret_cast<LPCSTR>(IDC_SIZENS);
    case kCursorSizeAll: return reinterpret_cast<LPCSTR>(IDC_SIZEALL);
    case kCursorNESWSize: return reinterpret_cast<LPCSTR>(IDC_SIZENESW);
    case kCursorNWSESize: return reinterpret_cast<LPCSTR>(IDC_SIZENWSE);
    case kCursorNotAllowed: return reinterpret_cast<LPCSTR>(IDC_NO);
    case kCursorHand: return reinterpret_cast<LPCSTR>(IDC_HAND);
    default: return nullptr;
    }
}

bool pressed(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

int32_t buttonsOfMessage(WPARAM state)
{
    int32_t buttons = 0;
    if (state & MK_LBUTTON)
        buttons |= kLButton;
    if (state & MK_MBUTTON)
        buttons |= kMButton;
    if (state & MK_RBUTTON)
        buttons |= kRButton;
    if (state & MK_SHIFT)
        buttons |= kShift;
    if (state & MK_CONTROL)
        buttons |= kControl;
    if (GetKeyState(VK_MENU) < 0)
        buttons |= kAlt;
    return buttons;
}

// Menu ids are the items' ids plus one: a command of 0 would read as no choice.
HMENU buildMenu(const PopupMenu& items)
{
    HMENU menu = CreatePopupMenu();
    for (const PopupItem& item : items) {
        if (item.kind == PopupItem::Kind::Separator) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING;
        if (item.columnBreak)
            flags |= MF_MENUBREAK;
        if (item.greyed)
            flags |= MF_GRAYED;
        if (item.disabled)
            flags |= MF_DISABLED;
        if (item.checked)
            flags |= MF_CHECKED;
        if (item.kind == PopupItem::Kind::SubMenu)
            AppendMenuA(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(buildMenu(item.children)), item.label.c_str());
        else
            AppendMenuA(menu, flags, static_cast<UINT_PTR>(item.id + 1), item.label.c_str());
    }
    return menu;
}

}  // namespace

Win32Window::Win32Window(HWND parent, WindowEvents& events_) : parentWindow(parent), events(events_) {}

std::unique_ptr<Win32Window> Win32Window::create(HWND parent, int32_t width, int32_t height, WindowEvents& events)
{
    std::unique_ptr<Win32Window> w(new Win32Window(parent, events));
    const HRESULT ole = OleInitialize(nullptr);
    w->oleInitialised = SUCCEEDED(ole);  // S_FALSE (already initialised) must be balanced too
    if (!IsWindow(parent) || !w->pixels.allocate(width, height))
        return nullptr;
    w->classUsed = useWindowClass(windowProcedure);
    if (!w->classUsed)
        return nullptr;
    w->window = CreateWindowExA(0, className, "Window", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0,
                                width, height, parent, nullptr, static_cast<HINSTANCE>(moduleInstance()), nullptr);
    if (!w->window)
        return nullptr;
    SetWindowLongPtrA(w->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w.get()));
    return w;
}

Win32Window::~Win32Window()
{
    setDropTarget(false);
    if (window) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        DestroyWindow(window);
        window = nullptr;
    }
    if (classUsed)
        releaseWindowClass();
    if (oleInitialised)
        OleUninitialize();
}

LRESULT CALLBACK Win32Window::windowProcedure(HWND hwnd, UINT message, WPARAM w, LPARAM l)
{
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(hwnd, message, w, l);
    return self->handle(message, w, l);
}

LRESULT Win32Window::handle(UINT message, WPARAM w, LPARAM l)
{
    HWND hwnd = window;
    switch (message) {
    case WM_PAINT: {
        RECT update;
        if (!GetUpdateRect(hwnd, &update, FALSE) || IsRectEmpty(&update))
            break;
        PAINTSTRUCT ps;
        paintDC = BeginPaint(hwnd, &ps);
        events.onPaint(CRect(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom));
        paintDC = nullptr;
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // A quick click may be over by the time its message is handled: the message's own
        // (logical) button state answers the first question about the buttons.
        pressButtons = buttonsOfMessage(w);
        events.onButtonDown(CPoint(LOWORD(l), HIWORD(l)));
        pressButtons = -1;
        return 0;
    case WM_MOUSEWHEEL: {
        POINT where{static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))};
        ScreenToClient(hwnd, &where);
        events.onWheel(CPoint(where.x, where.y), static_cast<float>(static_cast<short>(HIWORD(w))) / 120.0f);
        break;
    }
    case WM_DESTROY:
        // Destroyed by the system (the host destroyed its window first): stop drawing.
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        window = nullptr;
        if (dropTarget) {
            RevokeDragDrop(hwnd);
            dropTarget->Release();
            dropTarget = nullptr;
        }
        events.onDestroyed();
        break;
    default:
        break;
    }
    return DefWindowProcA(hwnd, message, w, l);
}

void Win32Window::blit(HDC dc, const CRect& area)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pixels.stride();
    info.bmiHeader.biHeight = -pixels.height();  // top-down rows, as the surface keeps them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // With a top-down DIB the scan lines count from the top; all of them are passed.
    SetDIBitsToDevice(dc, area.left, area.top, static_cast<DWORD>(area.width()), static_cast<DWORD>(area.height()),
                      area.left, pixels.height() - area.bottom, 0, static_cast<UINT>(pixels.height()), pixels.row(0),
                      &info, DIB_RGB_COLORS);
}

void Win32Window::present(const CRect& area)
{
    const CRect r = area.intersection(pixels.bounds());
    if (!window || r.isEmpty())
        return;
    if (paintDC) {
        blit(paintDC, r);
        return;
    }
    HDC dc = GetDC(window);
    blit(dc, r);
    ReleaseDC(window, dc);
}

CPoint Win32Window::screenOrigin()
{
    RECT r{};
    if (window)
        GetWindowRect(window, &r);
    return CPoint(r.left, r.top);
}

CPoint Win32Window::pointerPosition()
{
    POINT p{};
    GetCursorPos(&p);
    return CPoint(p.x, p.y);
}

int32_t Win32Window::buttonState()
{
    if (pressButtons >= 0) {
        const int32_t buttons = pressButtons;
        pressButtons = -1;
        return buttons;
    }
    // The asynchronous state is the physical buttons'; the toolkit wants the logical ones.
    int32_t buttons = 0;
    if (pressed(VK_LBUTTON))
        buttons |= swappedButtons ? kRButton : kLButton;
    if (pressed(VK_RBUTTON))
        buttons |= swappedButtons ? kLButton : kRButton;
    if (pressed(VK_MBUTTON))
        buttons |= kMButton;
    if (pressed(VK_SHIFT))
        buttons |= kShift;
    if (pressed(VK_CONTROL))
        buttons |= kControl;
    if (pressed(VK_MENU))
        buttons |= kAlt;
    return buttons;
}

void Win32Window::setCursor(int32_t kind)
{
    if (!cursorRemembered) {
        firstCursor = GetCursor();
        cursorRemembered = true;
    }
    const LPCSTR standard = standardCursor(kind);
    SetCursor(standard ? LoadCursorA(nullptr, standard) : firstCursor);
}

int32_t Win32Window::popupMenu(const PopupMenu& menu, CPoint screenPosition, bool followRightButton)
{
    if (!window)
        return -1;
    HMENU root = buildMenu(menu);
    const UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | (followRightButton ? TPM_RIGHTBUTTON : TPM_LEFTBUTTON);
    int32_t choice = -1;
    if (TrackPopupMenu(root, flags, screenPosition.h, screenPosition.v, 0, window, nullptr)) {
        // The choice was posted to the window as a command message: take it from the queue.
        MSG message;
        if (PeekMessageA(&message, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
            const int32_t id = LOWORD(message.wParam);
            if (id >= 1 && id < 0xFFFF)
                choice = id - 1;
        }
    }
    DestroyMenu(root);  // with its sub-menus
    return choice;
}

bool Win32Window::setDropTarget(bool active)
{
    if (dropTarget) {
        if (window)
            RevokeDragDrop(window);
        dropTarget->Release();
        dropTarget = nullptr;
    }
    if (!active)
        return true;
    if (!window || !oleInitialised)
        return false;
    dropTarget = new CDropTarget(events);
    dropTarget->AddRef();
    if (RegisterDragDrop(window, dropTarget) != S_OK) {
        dropTarget->Release();
        dropTarget = nullptr;
        return false;
    }
    return true;
}

bool Win32Window::resize(int32_t width, int32_t height, bool hostWindowsToo)
{
    if (!window || !pixels.allocate(width, height))
        return false;
    auto sizeOf = [](HWND w) {
        RECT r{};
        GetWindowRect(w, &r);
        return SIZE{r.right - r.left, r.bottom - r.top};
    };
    auto setSize = [](HWND w, LONG cx, LONG cy) {
        SetWindowPos(w, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    };
    if (!hostWindowsToo) {
        setSize(window, width, height);
        InvalidateRect(window, nullptr, FALSE);
        return true;
    }
    // The host did not resize its windows: walk up from ours, each window growing by what
    // it had around the one below, until a frame of a dialog's size or a top-level window
    // is reached (never into an MDI client, never by more than 80 pixels).
    HWND current = window;
    LONG extraWidth = 0, extraHeight = 0;
    for (;;) {
        HWND parent = GetParent(current);
        char parentClass[16] = {};
        if (parent)
            GetClassNameA(parent, parentClass, sizeof parentClass);
        if (!parent || std::strcmp(parentClass, "MDIClient") == 0)
            break;
        const SIZE before = sizeOf(current), around = sizeOf(parent);
        setSize(current, width + extraWidth, height + extraHeight);
        extraWidth = std::max(0L, extraWidth + around.cx - before.cx);
        extraHeight = std::max(0L, extraHeight + around.cy - before.cy);
        if (extraWidth > 80 || extraHeight > 80)
            return true;
        current = parent;
        if (extraWidth == 2 * GetSystemMetrics(SM_CYDLGFRAME))
            break;
    }
    setSize(current, width + extraWidth, height + extraHeight);
    InvalidateRect(window, nullptr, FALSE);
    return true;
}

bool Win32Window::getPosition(int32_t& x, int32_t& y)
{
    if (!window)
        return false;
    RECT mine{};
    GetWindowRect(window, &mine);
    // The host's editor window: walk up while the parents are about the editor's size.
    HWND current = window;
    for (;;) {
        HWND parent = GetParent(current);
        if (!parent || (GetWindowLongA(current, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)
            break;
        RECT theirs{};
        GetWindowRect(parent, &theirs);
        if (std::abs((theirs.right - theirs.left) - (mine.right - mine.left)) > 60 ||
            std::abs((theirs.bottom - theirs.top) - (mine.bottom - mine.top)) > 60)
            break;
        current = parent;
    }
    RECT r{};
    GetWindowRect(current, &r);
    POINT topLeft{r.left, r.top};
    if (HWND parent = GetParent(current))
        ScreenToClient(parent, &topLeft);
    x = topLeft.x;
    y = topLeft.y;
    return true;
}

bool Win32Window::getParentRect(CRect& rect)
{
    if (!window || !parentWindow)
        return false;
    RECT r{};
    GetWindowRect(parentWindow, &r);
    POINT corners[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(nullptr, GetParent(parentWindow), corners, 2);
    rect = CRect(corners[0].x, corners[0].y, corners[1].x, corners[1].y);
    return true;
}

void Win32Window::processEvents()
{
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
        DispatchMessageA(&message);
}

}  // namespace win32

std::unique_ptr<PlatformWindow> createWindow(void* parent, int32_t width, int32_t height, WindowEvents& events)
{
    return win32::Win32Window::create(static_cast<HWND>(parent), width, height, events);
}

// The DPI of the host's window where Windows knows it per window (GetDpiForWindow, 10
// and later, looked up at run time); else the screen's.
int32_t desktopScalePercent(void* parent)
{
    using DpiForWindow = UINT(WINAPI*)(HWND);
    UINT dpi = 0;
    if (HMODULE user = GetModuleHandleA("user32.dll"); user && parent) {
        if (auto dpiForWindow = reinterpret_cast<DpiForWindow>(
                reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow"))))
            dpi = dpiForWindow(static_cast<HWND>(parent));
    }
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX)) : 0;
        if (screen)
            ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? static_cast<int32_t>((dpi * 100 + 48) / 96) : 100;
}

bool initializeThread()
{
    const HRESULT result = OleInitialize(nullptr);
    return result == S_OK || result == S_FALSE;
}

void uninitializeThread() { OleUninitialize(); }

uint32_t ticks() { return GetTickCount(); }

void sleep(uint32_t milliseconds) { Sleep(milliseconds); }

}  // namespace gui::platform
