#include "host/EditorWindow.h"

#include <windows.h>

namespace {

constexpr char kClassName[] = "KorvalexHostEditorWindow";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

class Win32EditorWindow : public EditorWindow {
public:
    ~Win32EditorWindow() override { destroy(); }

    bool open(int32_t width, int32_t height, const std::string& title, std::string& error, bool hidden)
    {
        HINSTANCE instance = GetModuleHandleA(nullptr);
        WNDCLASSA c{};
        c.lpfnWndProc = procedure;
        c.hInstance = instance;
        c.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        c.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        c.lpszClassName = kClassName;
        RegisterClassA(&c);  // fails harmlessly when a second window registers it again
        RECT r{0, 0, width, height};
        AdjustWindowRect(&r, kStyle, FALSE);
        window = CreateWindowExA(0, kClassName, title.c_str(), kStyle, 0, 0, r.right - r.left, r.bottom - r.top, nullptr,
                                 nullptr, instance, nullptr);
        if (!window) {
            error = "cannot create the editor's window (Windows error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (!hidden) {
            ShowWindow(window, SW_SHOWNORMAL);
            UpdateWindow(window);
        }
        return true;
    }

    void show(int32_t width, int32_t height) override
    {
        if (!window)
            return;
        RECT r{0, 0, width, height};
        AdjustWindowRect(&r, kStyle, FALSE);
        SetWindowPos(window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top, SWP_NOMOVE | SWP_NOZORDER);
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
    }

    void* parentHandle() override { return window; }

    void processEvents() override
    {
        // Every message of the thread: the editor's child window is served here too.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

    bool closeRequested() const override { return closing; }

    void destroy() override
    {
        if (!window)
            return;
        HWND w = window;
        window = nullptr;
        DestroyWindow(w);
    }

    bool exists() const override { return window != nullptr; }

private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM w, LPARAM l)
    {
        auto* self = reinterpret_cast<Win32EditorWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && message == WM_CLOSE) {
            self->closing = true;  // the host closes the editor first, then the window
            return 0;
        }
        return DefWindowProcA(hwnd, message, w, l);
    }

    HWND window = nullptr;
    bool closing = false;
};

}  // namespace

std::unique_ptr<EditorWindow> EditorWindow::create(int32_t width, int32_t height, const std::string& title,
                                                   std::string& error, bool hidden)
{
    auto window = std::make_unique<Win32EditorWindow>();
    if (!window->open(width, height, title, error, hidden))
        return nullptr;
    return window;
}
