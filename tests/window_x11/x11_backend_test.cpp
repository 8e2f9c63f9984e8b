// The X11 window layer in this process, without a host: a window of our own is the
// parent. What a host cannot see from outside: the image path taken (shared memory, or a
// conversion for screens that are not 24-bit), a destroyed parent noticed, requests on the
// dead window answered quietly, and no process-wide Xlib state touched.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>

#include "gui/platform/x11/X11Desktop.h"
#include "gui/platform/x11/X11Window.h"
#include "tests/window/support/WindowTests.h"

namespace {

using gui::platform::x11::X11Window;
using windowtest::waitUntil;

struct Recorder : gui::platform::WindowEvents {
    void onPaint(const CRect& area) override { painted = area; }
    void onButtonDown(CPoint) override {}
    void onWheel(CPoint, float) override {}
    bool onKey(bool, const CKeyCode&) override { return false; }
    void onDestroyed() override { ++destroyed; }
    bool onDragEnter(CDragContainer*) override { return false; }
    void onDragMove() override {}
    void onDragLeave() override {}
    bool onDrop() override { return false; }
    CRect painted;
    int destroyed = 0;
};

int errorsSeen = 0;
int countError(Display*, XErrorEvent*)
{
    ++errorsSeen;
    return 0;
}

// The test's own connection with a parent window on it.
class X11Backend : public ::testing::Test {
protected:
    void startOn(int depth)
    {
        std::string why;
        ASSERT_TRUE(windowtest::startDisplay(why, depth)) << why;
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 300, 200, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
    }
    void TearDown() override
    {
        window.reset();
        if (display)
            XCloseDisplay(display);
        windowtest::stopDisplay();
    }
    void open(int32_t width, int32_t height)
    {
        window = X11Window::create(parent, width, height, events);
        ASSERT_TRUE(window);
    }
    // The window's pixels as the server has them.
    uint32_t serverPixel(int x, int y)
    {
        XImage* image = XGetImage(display, window->handle(), x, y, 1, 1, AllPlanes, ZPixmap);
        const unsigned long p = XGetPixel(image, 0, 0);
        XWindowAttributes a{};
        XGetWindowAttributes(display, window->handle(), &a);
        auto channel = [&](unsigned long mask) {
            int shift = 0;
            while (!((mask >> shift) & 1))
                ++shift;
            const unsigned long max = mask >> shift;
            return uint32_t((((p & mask) >> shift) * 255 + max / 2) / max);
        };
        const uint32_t rgb =
            (channel(a.visual->red_mask) << 16) | (channel(a.visual->green_mask) << 8) | channel(a.visual->blue_mask);
        XDestroyImage(image);
        return rgb;
    }
    void paintAndPresent(uint32_t rgb)
    {
        gui::PixelSurface& s = window->surface();
        for (int32_t y = 0; y < s.height(); ++y)
            for (int32_t x = 0; x < s.width(); ++x)
                s.setPixel(x, y, rgb);
        window->present(s.bounds());
    }

    Display* display = nullptr;
    Window parent = 0;
    Recorder events;
    std::unique_ptr<X11Window> window;
};

TEST_F(X11Backend, ShowsTheSurfaceThroughSharedMemoryOnAServerThatOffersIt)
{
    startOn(24);
    open(120, 80);
    EXPECT_TRUE(window->usesSharedMemory());
    ASSERT_TRUE(waitUntil([&] {
        window->processEvents();
        return !events.painted.isEmpty();
    })) << "no exposure";
    EXPECT_EQ(events.painted, CRect(0, 0, 120, 80));
    paintAndPresent(0x3366CC);
    EXPECT_EQ(serverPixel(0, 0), 0x3366CCu);
    EXPECT_EQ(serverPixel(119, 79), 0x3366CCu);
}

TEST_F(X11Backend, ConvertsTheSurfaceForAScreenOfSixteenBits)
{
    startOn(16);
    open(64, 48);
    // Without shared memory the image goes out on the window's own connection, flushed but
    // not waited for: this connection may ask for the pixel before the server has drawn it.
    uint32_t seen = 0;
    auto shows = [&](int x, int y, uint32_t rgb) {
        return waitUntil([&] { return (seen = serverPixel(x, y)) == rgb; });
    };
    paintAndPresent(0xFF8000);
    EXPECT_TRUE(shows(10, 10, 0xFF8200u)) << std::hex << seen;  // orange in 5-6-5 and back
    paintAndPresent(0xFFFFFF);
    EXPECT_TRUE(shows(63, 47, 0xFFFFFFu)) << std::hex << seen;
}

TEST_F(X11Backend, KeepsItsSizeAndReportsWhereTheHostWindowIs)
{
    startOn(24);
    open(420, 280);  // larger than the parent: the editor's size wins
    XWindowAttributes a{};
    XGetWindowAttributes(display, window->handle(), &a);
    EXPECT_EQ(a.width, 420);
    EXPECT_EQ(a.height, 280);
    CRect parentRect;
    ASSERT_TRUE(window->getParentRect(parentRect));
    EXPECT_EQ(parentRect, CRect(10, 10, 310, 210));
    ASSERT_TRUE(window->resize(200, 100, false));
    EXPECT_EQ(window->surface().width(), 200);
    XGetWindowAttributes(display, window->handle(), &a);
    EXPECT_EQ(a.width, 200);
    EXPECT_EQ(window->screenOrigin(), CPoint(10, 10));
}

TEST_F(X11Backend, AParentDestroyedFirstIsNoticedAndNothingProcessWideIsTouched)
{
    startOn(24);
    XErrorHandler before = XSetErrorHandler(countError);
    open(100, 60);
    XDestroyWindow(display, parent);
    XSync(display, False);
    ASSERT_TRUE(waitUntil([&] {
        window->processEvents();
        return events.destroyed > 0;
    }));
    EXPECT_FALSE(window->isAlive());
    // Drawing and asking after the window is gone: answered quietly.
    paintAndPresent(0x102030);
    window->setCursor(kCursorHand);
    int32_t x = 0, y = 0;
    EXPECT_FALSE(window->getPosition(x, y));
    window.reset();  // destroys a window that no longer exists
    EXPECT_EQ(errorsSeen, 0) << "the process-wide error handler saw the window layer's errors";
    EXPECT_EQ(XSetErrorHandler(before), countError) << "the window layer changed the error handler";
    EXPECT_EQ(events.destroyed, 1);
}

TEST_F(X11Backend, RefusesAParentThatIsNoWindow)
{
    startOn(24);
    XErrorHandler before = XSetErrorHandler(countError);
    EXPECT_FALSE(X11Window::create(parent + 12345, 100, 60, events));
    EXPECT_EQ(errorsSeen, 0);
    EXPECT_EQ(XSetErrorHandler(before), countError);
}

// The desktop's scale from the resource database xrdb loads into the server.
TEST(X11Desktop, TheScaleIsXftDpiInPercentOfNinetySix)
{
    const struct {
        const char* resources;
        int32_t percent;
    } cases[] = {
        {"Xft.dpi:\t192\n", 200},
        {"Xcursor.size:\t24\nXft.antialias:\t1\nXft.dpi:\t144\nXft.hinting:\t1\n", 150},
        {"  Xft.dpi :  120.5", 126},
        {"Xft.dpi:\t96", 100},
        {"Xft.dpiX:\t192\n*dpi:\t192\n", 100},  // other resources
        {"Xft.dpi:\tlarge\n", 100},
        {"Xft.dpi:\t0\n", 100},
        {"Xft.dpi:\t1e9\n", 100},
        {"", 100},
        {nullptr, 100},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gui::platform::x11::scaleFromResources(c.resources), c.percent) << (c.resources ? c.resources : "none");
}

}  // namespace
