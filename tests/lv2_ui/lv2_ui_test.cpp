// The LV2 UI binary on a private Xvfb, driven the way LV2 hosts drive it: instantiated in a
// parent window of the host's, idled through its idle interface, fed port events, and used
// through the X server's input. What it tells the host (port writes, touch gestures, its
// size) is recorded and checked.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "host/Desktop.h"
#include "host/EditorWindow.h"
#include "lv2/Ports.h"
#include "tests/window/support/WindowTests.h"

namespace {

constexpr int32_t kWidth = 899, kHeight = 421;

// Rectangles of the panel (left, top, right, bottom), from editor/EditorLayout.cpp.
constexpr ScreenRect kPowerSwitch{87, 278, 113, 317};
constexpr ScreenRect kDriveKnob{656, 264, 723, 331};
constexpr ScreenRect kGateLamp{790, 236, 800, 266};
constexpr ScreenRect kCompressorMeter{431, 229, 435, 273};

// What the UI told the host, in order.
struct HostEvent {
    enum Kind { Write, TouchBegin, TouchEnd } kind;
    uint32_t port;
    float value;
};

class Lv2UiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string why;
        displayReady = windowtest::startDisplay(why);
        if (!displayReady)
            std::fprintf(stderr, "no display: %s\n", why.c_str());
        library = dlopen(KORVALEX_LV2_UI_BINARY, RTLD_NOW | RTLD_LOCAL);
    }
    static void TearDownTestSuite()
    {
        if (library)
            dlclose(library);
        windowtest::stopDisplay();
    }

    void SetUp() override
    {
        ASSERT_TRUE(displayReady);
        ASSERT_NE(library, nullptr) << dlerror();
        const auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_EQ(entry(1), nullptr);
        EXPECT_STREQ(descriptor->URI, KORVALEX_LV2_UI_URI);
        idleInterface = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idleInterface, nullptr);
        std::string error;
        parent = EditorWindow::create(kWidth, kHeight, "LV2 host", error);
        ASSERT_TRUE(parent) << error;
        desktop = Desktop::connect(error);
        ASSERT_TRUE(desktop) << error;
    }

    void TearDown() override
    {
        if (ui)
            descriptor->cleanup(ui);
    }

    // Instantiates the UI with the parent window, idle, and the features asked for; a
    // `hostScale` above 0 is passed as the host's ui:scaleFactor option.
    void instantiate(bool withTouchAndResize = true, float hostScale = 0.0f)
    {
        touch = {this, [](LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
                     static_cast<Lv2UiTest*>(h)->record({grabbed ? HostEvent::TouchBegin : HostEvent::TouchEnd, port, 0.0f});
                 }};
        resize = {this, [](LV2UI_Feature_Handle h, int width, int height) {
                      static_cast<Lv2UiTest*>(h)->sizes.emplace_back(width, height);
                      return 0;
                  }};
        const LV2_Feature parentFeature{LV2_UI__parent, parent->parentHandle()};
        const LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
        const LV2_Feature touchFeature{LV2_UI__touch, &touch};
        const LV2_Feature resizeFeature{LV2_UI__resize, &resize};
        std::vector<const LV2_Feature*> features{&parentFeature, &idleFeature};
        if (withTouchAndResize) {
            features.push_back(&touchFeature);
            features.push_back(&resizeFeature);
        }
        LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                             return static_cast<Lv2UiTest*>(h)->urid(uri);
                         }};
        const LV2_Options_Option options[] = {
            {LV2_OPTIONS_INSTANCE, 0, urid(LV2_UI__scaleFactor), sizeof(float), urid(LV2_ATOM__Float), &hostScale},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        const LV2_Feature mapFeature{LV2_URID__map, &map};
        const LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
        if (hostScale > 0.0f) {
            features.push_back(&mapFeature);
            features.push_back(&optionsFeature);
        }
        features.push_back(nullptr);
        const auto write = [](LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
            ASSERT_EQ(size, sizeof(float));
            ASSERT_EQ(format, 0u);
            static_cast<Lv2UiTest*>(c)->record({HostEvent::Write, port, *static_cast<const float*>(buffer)});
        };
        ui = descriptor->instantiate(descriptor, KORVALEX_LV2_URI, KORVALEX_LV2_BUNDLE_DIR, write, this, &widget,
                                     features.data());
    }

    // The host's side of the UI's calls; a knob being dragged calls them from inside its
    // own loop, so a drag is followed from here.
    void record(const HostEvent& e)
    {
        events.push_back(e);
        if (e.port == kDrive && e.kind == HostEvent::TouchBegin)
            driveGrabbed = true;
        if (e.port == kDrive && e.kind == HostEvent::Write && e.value >= 0.19f)
            driveTurned = true;
    }

    LV2_URID urid(const char* uri)
    {
        const auto found = std::find(uris.begin(), uris.end(), uri);
        if (found != uris.end())
            return LV2_URID(found - uris.begin() + 1);
        uris.emplace_back(uri);
        return LV2_URID(uris.size());
    }

    void portEvent(uint32_t port, float value) { descriptor->port_event(ui, port, sizeof value, 0, &value); }

    // Idles the UI (and the host's window) until `condition` holds.
    bool idleUntil(const std::function<bool()>& condition)
    {
        return windowtest::waitUntil([&] {
            parent->processEvents();
            EXPECT_EQ(idleInterface->idle(ui), 0);
            return condition();
        });
    }

    Picture picture()
    {
        Picture p;
        desktop->capture(reinterpret_cast<uintptr_t>(widget), p);
        return p;
    }

    static bool sameRegion(const Picture& a, const Picture& b, const ScreenRect& r)
    {
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x)
                if (a.at(x, y) != b.at(x, y))
                    return false;
        return true;
    }

    // Idles until the panel has painted, and answers its picture.
    Picture paintedPanel()
    {
        Picture p;
        idleUntil([&] {
            p = picture();
            return p.width == kWidth && p.height == kHeight && p.at(450, 150) != 0;
        });
        return p;
    }

    // Idles until the region differs from `before`.
    bool regionChanges(const Picture& before, const ScreenRect& r)
    {
        return idleUntil([&] {
            const Picture now = picture();
            return now.width == kWidth && !sameRegion(before, now, r);
        });
    }

    void screenPoint(const ScreenRect& r, int32_t& x, int32_t& y)
    {
        ASSERT_TRUE(desktop->clientOrigin(reinterpret_cast<uintptr_t>(widget), x, y));
        x += (r.left + r.right) / 2;
        y += (r.top + r.bottom) / 2;
    }

    std::vector<HostEvent> eventsFor(uint32_t port) const
    {
        std::vector<HostEvent> found;
        for (const HostEvent& e : events)
            if (e.port == port)
                found.push_back(e);
        return found;
    }

    static inline bool displayReady = false;
    static inline void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idleInterface = nullptr;
    std::unique_ptr<EditorWindow> parent;
    std::unique_ptr<Desktop> desktop;
    LV2UI_Touch touch{};
    LV2UI_Resize resize{};
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
    std::vector<HostEvent> events;
    std::atomic<bool> driveGrabbed{false}, driveTurned{false};
    std::vector<std::pair<int, int>> sizes;
    std::vector<std::string> uris;
};

TEST_F(Lv2UiTest, WithoutAParentWindowThereIsNoUi)
{
    const LV2_Feature* none[] = {nullptr};
    LV2UI_Widget w = nullptr;
    EXPECT_EQ(descriptor->instantiate(descriptor, KORVALEX_LV2_URI, KORVALEX_LV2_BUNDLE_DIR, nullptr, nullptr, &w, none),
              nullptr);
    EXPECT_EQ(descriptor->instantiate(descriptor, KORVALEX_LV2_URI, KORVALEX_LV2_BUNDLE_DIR, nullptr, nullptr, &w, nullptr),
              nullptr);
}

// The panel is a child window of the host's, of the panel's size, and says so through the
// resize feature.
TEST_F(Lv2UiTest, OpensInTheHostWindowAndTellsItsSize)
{
    instantiate();
    ASSERT_NE(ui, nullptr);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(sizes, (std::vector<std::pair<int, int>>{{kWidth, kHeight}}));
    const Picture shown = paintedPanel();
    EXPECT_EQ(shown.width, kWidth);
    EXPECT_EQ(shown.height, kHeight);
    EXPECT_TRUE(desktop->isViewable(reinterpret_cast<uintptr_t>(widget)));
}

// The host's scale factor zooms the panel (the nearest zoom it has) and the host hears
// the larger size.
TEST_F(Lv2UiTest, TheHostsScaleFactorZoomsThePanel)
{
    instantiate(true, 2.0f);
    ASSERT_NE(ui, nullptr);
    EXPECT_EQ(sizes, (std::vector<std::pair<int, int>>{{1798, 842}}));
}

// A click writes the switch's new value into its port inside a touch gesture; a drag writes
// the knob's values as it turns, inside one gesture.
TEST_F(Lv2UiTest, ClicksAndDragsBecomePortWritesInsideTouchGestures)
{
    instantiate();
    ASSERT_NE(ui, nullptr);
    const Picture start = paintedPanel();
    int32_t x = 0, y = 0;
    screenPoint(kPowerSwitch, x, y);
    ASSERT_TRUE(desktop->moveTo(x, y) && desktop->button(1, true) && desktop->button(1, false));
    ASSERT_TRUE(idleUntil([&] { return eventsFor(0).size() >= 3; }));
    const std::vector<HostEvent> power = eventsFor(0);
    ASSERT_EQ(power.size(), 3u);
    EXPECT_EQ(power[0].kind, HostEvent::TouchBegin);
    EXPECT_EQ(power[1].kind, HostEvent::Write);
    EXPECT_EQ(power[1].value, 0.0f);  // program 0 has the power on
    EXPECT_EQ(power[2].kind, HostEvent::TouchEnd);
    EXPECT_TRUE(regionChanges(start, kPowerSwitch));

    // The drag runs on a thread of its own, as a person's hand would, and lets go once the
    // panel has taken the whole move; the UI goes on idling here.
    screenPoint(kDriveKnob, x, y);
    std::atomic<bool> dragged{false};
    std::thread hand([&] {
        std::string error;
        std::unique_ptr<Desktop> own = Desktop::connect(error);
        bool ok = own && own->moveTo(x, y) && own->button(1, true);
        ok = ok && windowtest::waitUntil([&] { return driveGrabbed.load(); });
        for (int step = 1; ok && step <= 8; ++step)
            ok = own->moveTo(x, y - 5 * step);
        ok = ok && windowtest::waitUntil([&] { return driveTurned.load(); });
        dragged = own && own->button(1, false) && ok;
    });
    const auto gestureEnded = [&] {
        const std::vector<HostEvent> drive = eventsFor(kDrive);
        return !drive.empty() && drive.back().kind == HostEvent::TouchEnd;
    };
    const bool ended = idleUntil(gestureEnded);
    hand.join();
    ASSERT_TRUE(dragged);
    ASSERT_TRUE(ended);
    const std::vector<HostEvent> drive = eventsFor(kDrive);
    ASSERT_GE(drive.size(), 3u);
    EXPECT_EQ(drive.front().kind, HostEvent::TouchBegin);
    float last = 0.0f;  // program 0's drive
    for (size_t i = 1; i + 1 < drive.size(); ++i) {
        EXPECT_EQ(drive[i].kind, HostEvent::Write);
        EXPECT_GE(drive[i].value, last);
        last = drive[i].value;
    }
    EXPECT_NEAR(last, 0.2f, 0.006f);  // 40 pixels of the knob's 200
}

// Without the touch and resize features the panel works the same, writing without gestures.
TEST_F(Lv2UiTest, WorksWithoutTouchOrResize)
{
    instantiate(false);
    ASSERT_NE(ui, nullptr);
    paintedPanel();
    int32_t x = 0, y = 0;
    screenPoint(kPowerSwitch, x, y);
    ASSERT_TRUE(desktop->moveTo(x, y) && desktop->button(1, true) && desktop->button(1, false));
    ASSERT_TRUE(idleUntil([&] { return !eventsFor(0).empty(); }));
    EXPECT_EQ(eventsFor(0).size(), 1u);
    EXPECT_EQ(eventsFor(0)[0].kind, HostEvent::Write);
    EXPECT_TRUE(sizes.empty());
}

// Port events from the host move the panel: a parameter's control, the page, and the
// meters (output ports of the DSP); values the plug-in would not take change nothing, and
// nothing is written back.
TEST_F(Lv2UiTest, PortEventsMoveThePanel)
{
    instantiate();
    ASSERT_NE(ui, nullptr);
    const Picture start = paintedPanel();
    portEvent(kDrive, 0.9f);
    EXPECT_TRUE(regionChanges(start, kDriveKnob));

    // Values the plug-in ignores, and events that are no float for a port: the panel stays.
    Picture before = paintedPanel();
    for (float junk : {std::nanf(""), HUGE_VALF}) {
        portEvent(kPower, junk);
        portEvent(kDrive, junk);
    }
    const double wrongSize = 0.0;
    descriptor->port_event(ui, kPower, sizeof wrongSize, 0, &wrongSize);
    descriptor->port_event(ui, kPower, sizeof(float), 1, &wrongSize);
    portEvent(lv2port::kCount + 5, 0.0f);
    int idles = 0;
    idleUntil([&] { return ++idles == 20; });
    const Picture after = picture();
    EXPECT_TRUE(sameRegion(before, after, {0, 0, kWidth, kHeight}));

    portEvent(kEditorPage, 0.7f);  // the effects page, as the plug-in takes 0.7
    ASSERT_TRUE(regionChanges(before, {0, 0, kWidth, kHeight}));
    // The meters follow every reading after the open: the compressor acts and the gate
    // closes, then both come back to rest and show as they did.
    const Picture atRest = paintedPanel();
    before = atRest;
    for (bool acting : {true, false}) {
        portEvent(lv2port::kCompressorMeter, acting ? 0.3f : 1.0f);
        portEvent(lv2port::kGateMeter, acting ? 0.0f : 1.0f);
        EXPECT_TRUE(regionChanges(before, kCompressorMeter)) << acting;
        EXPECT_TRUE(regionChanges(before, kGateLamp)) << acting;
        before = picture();
    }
    EXPECT_TRUE(sameRegion(atRest, before, kCompressorMeter));
    EXPECT_TRUE(sameRegion(atRest, before, kGateLamp));
    EXPECT_TRUE(events.empty()) << "port events are not written back";
}

// The host destroys its window before it cleans the UI up: the idle says the UI is gone,
// and cleaning up does not fail.
TEST_F(Lv2UiTest, TheHostWindowDestroyedFirst)
{
    instantiate();
    ASSERT_NE(ui, nullptr);
    paintedPanel();
    parent->destroy();
    EXPECT_TRUE(windowtest::waitUntil([&] { return idleInterface->idle(ui) != 0; }));
}

}  // namespace
