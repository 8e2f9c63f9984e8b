#include "host/Desktop.h"

#include <windows.h>

namespace {

constexpr UINT kGetMenuHandle = 0x01E1;  // MN_GETHMENU: a pop-up menu window's menu

bool send(INPUT& input) { return SendInput(1, &input, sizeof input) == 1; }

// Keys the scripts use, from X11 key symbols to Windows virtual keys.
WORD virtualKeyOf(uint32_t keySym)
{
    if ((keySym >= 'a' && keySym <= 'z') || (keySym >= '0' && keySym <= '9'))
        return static_cast<WORD>(keySym >= 'a' ? keySym - 'a' + 'A' : keySym);
    switch (keySym) {
    case 0xff1b: return VK_ESCAPE;
    case 0xff0d: return VK_RETURN;
    case 0xff51: return VK_LEFT;
    case 0xff52: return VK_UP;
    case 0xff53: return VK_RIGHT;
    case 0xff54: return VK_DOWN;
    case 0x20: return VK_SPACE;
    default: return 0;
    }
}

BOOL CALLBACK collectMenu(HWND window, LPARAM list)
{
    char name[16] = {};
    GetClassNameA(window, name, sizeof name);
    if (IsWindowVisible(window) && std::string(name) == "#32768")
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

class Win32Desktop : public Desktop {
public:
    bool capture(uintptr_t window, Picture& picture) override
    {
        HWND hwnd = reinterpret_cast<HWND>(window);
        RECT client{};
        if (!IsWindow(hwnd) || !GetClientRect(hwnd, &client))
            return false;
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        return grab(origin.x, origin.y, client.right, client.bottom, picture);
    }

    bool captureScreen(Picture& picture) override
    {
        return grab(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), picture);
    }

    bool clientOrigin(uintptr_t window, int32_t& x, int32_t& y) override
    {
        POINT origin{0, 0};
        if (!IsWindow(reinterpret_cast<HWND>(window)) || !ClientToScreen(reinterpret_cast<HWND>(window), &origin))
            return false;
        x = origin.x;
        y = origin.y;
        return true;
    }

    bool isViewable(uintptr_t window) override
    {
        return IsWindow(reinterpret_cast<HWND>(window)) && IsWindowVisible(reinterpret_cast<HWND>(window));
    }

    bool moveTo(int32_t x, int32_t y) override
    {
        INPUT input{};
        input.type = INPUT_MOUSE;
        // Absolute positions are in 1/65536 of the primary screen.
        input.mi.dx = static_cast<LONG>((int64_t(x) * 65536 + 32768) / GetSystemMetrics(SM_CXSCREEN));
        input.mi.dy = static_cast<LONG>((int64_t(y) * 65536 + 32768) / GetSystemMetrics(SM_CYSCREEN));
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        return send(input);
    }

    bool button(int32_t which, bool down) override
    {
        INPUT input{};
        input.type = INPUT_MOUSE;
        if (which == 1)
            input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        else if (which == 2)
            input.mi.dwFlags = down ? MOUSEEVENTF_MIDDLEDOWN : MOUSEEVENTF_MIDDLEUP;
        else
            input.mi.dwFlags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
        return send(input);
    }

    bool wheel(int32_t notches) override
    {
        const int32_t step = notches > 0 ? 1 : -1;
        for (int32_t i = 0; i != notches; i += step) {
            INPUT input{};
            input.type = INPUT_MOUSE;
            input.mi.dwFlags = MOUSEEVENTF_WHEEL;
            input.mi.mouseData = static_cast<DWORD>(step * WHEEL_DELTA);
            if (!send(input))
                return false;
        }
        return true;
    }

    bool key(bool down, uint32_t keySym) override
    {
        const WORD vk = virtualKeyOf(keySym);
        if (!vk)
            return false;
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
        return send(input);
    }

    std::vector<ScreenRect> popupMenus() override
    {
        // Menu windows are created on top: the enumeration lists the newest first.
        std::vector<HWND> windows;
        EnumWindows(collectMenu, reinterpret_cast<LPARAM>(&windows));
        std::vector<ScreenRect> menus;
        for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
            RECT r{};
            GetWindowRect(*it, &r);
            menus.push_back(ScreenRect{r.left, r.top, r.right, r.bottom});
        }
        return menus;
    }

private:
    bool grab(int32_t x, int32_t y, int32_t width, int32_t height, Picture& picture)
    {
        if (width <= 0 || height <= 0)
            return false;
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bool ok = false;
        if (bitmap && bits) {
            HGDIOBJ old = SelectObject(memory, bitmap);
            ok = BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY) != 0;
            GdiFlush();
            if (ok) {
                picture.width = width;
                picture.height = height;
                const auto* p = static_cast<const uint32_t*>(bits);
                picture.pixels.assign(p, p + size_t(width) * size_t(height));
                for (uint32_t& v : picture.pixels)
                    v &= 0xFFFFFF;
            }
            SelectObject(memory, old);
        }
        if (bitmap)
            DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return ok;
    }
};

}  // namespace

std::unique_ptr<Desktop> Desktop::connect(std::string&) { return std::make_unique<Win32Desktop>(); }

// Used by the window tests: the screen rectangle of item `index` of the menu shown in the
// pop-up menu window `level` (the oldest first).
bool popupMenuItemRect(size_t level, size_t index, ScreenRect& rect)
{
    std::vector<HWND> windows;
    EnumWindows(collectMenu, reinterpret_cast<LPARAM>(&windows));
    if (level >= windows.size())
        return false;
    HWND window = windows[windows.size() - 1 - level];
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, kGetMenuHandle, 0, 0));
    RECT r{};
    if (!menu || !GetMenuItemRect(nullptr, menu, static_cast<UINT>(index), &r))
        return false;
    rect = ScreenRect{r.left, r.top, r.right, r.bottom};
    return true;
}
