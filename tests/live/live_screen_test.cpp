// Korvalex Live's window as a person sees and uses it, on a private Xvfb: the strip and the
// front panel against a committed picture, also at the panel's zoom of 200 %; the strip's
// menus, buttons and knob, the program keys and MIDI Program Change seen in the window; a
// cabinet file chosen and heard; the window's place kept for next time.

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "editor/EditorLayout.h"
#include "gui/Scale.h"
#include "gui/controls/COptionMenu.h"
#include "host/Desktop.h"
#include "host/PluginHost.h"
#include "host/PresetFile.h"
#include "live/Strip.h"
#include "live/StripLayout.h"
#include "tests/live/support/LiveTests.h"
#include "tests/support/ReferenceImage.h"
#include "tests/window/support/WindowTests.h"

namespace {

using namespace livetest;
namespace strip = live::strip;

constexpr const char* kTitleEnd = " - Korvalex Live";

// The window whose title ends as Korvalex Live's do, on our own connection to the display.
class Screen {
public:
    Screen() : display_(XOpenDisplay(nullptr)) {}
    ~Screen()
    {
        if (display_)
            XCloseDisplay(display_);
    }

    Window findLiveWindow()
    {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;
        Window found = 0;
        if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && !found; ++i)
                if (title(children[i]).find(kTitleEnd) != std::string::npos)
                    found = children[i];
            XFree(children);
        }
        return found;
    }

    std::string title(Window w)
    {
        char* name = nullptr;
        std::string text;
        if (XFetchName(display_, w, &name) && name) {
            text = name;
            XFree(name);
        }
        return text;
    }

    // What a window manager sends when the user closes the window.
    void askToClose(Window w)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = w;
        event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        XSendEvent(display_, w, False, NoEventMask, &event);
        XSync(display_, False);
    }

private:
    Display* display_;
};

testimage::Image imageOf(const Picture& picture)
{
    testimage::Image image;
    image.width = picture.width;
    image.height = picture.height;
    image.pixels = picture.pixels;
    return image;
}

// The DSP load and the xrun count change from run to run: painted over.
void maskLiveReadings(Picture& picture, const gui::Scale& scale)
{
    for (const CRect& logical : {strip::kLoadRect, strip::kXrunsRect}) {
        const CRect r = scale.toDevice(logical);
        for (int32_t y = r.top; y < r.bottom && y < picture.height; ++y)
            for (int32_t x = r.left; x < r.right && x < picture.width; ++x)
                picture.pixels[size_t(y) * size_t(picture.width) + size_t(x)] = 0xFF00FF;
    }
}

// Rows `top` to `bottom` (exclusive) of a picture.
Picture rows(const Picture& picture, int32_t top, int32_t bottom)
{
    Picture part;
    part.width = picture.width;
    part.height = bottom - top;
    part.pixels.assign(picture.pixels.begin() + ptrdiff_t(top) * picture.width,
                       picture.pixels.begin() + ptrdiff_t(bottom) * picture.width);
    return part;
}

// The program menu's items with these program labels and no user presets.
gui::platform::PopupMenu programMenuItems(const std::vector<std::string>& labels)
{
    auto* menu = new COptionMenu(CRect(0, 0, 10, 10), nullptr, 0);
    auto* presets = new COptionMenu(CRect(0, 0, 10, 10), nullptr, 0);
    live::fillProgramMenu(*menu, *presets, labels, {});
    const gui::platform::PopupMenu items = menu->popupMenu();
    presets->release();
    menu->release();
    return items;
}

// The cabinet menu's items for the files of a folder.
gui::platform::PopupMenu cabinetMenuItems(const std::string& folder, const std::vector<std::string>& files)
{
    auto* menu = new COptionMenu(CRect(0, 0, 10, 10), nullptr, 0, nullptr, nullptr, kCheckCurrentStyle);
    live::fillCabinetMenu(*menu, folder, files, "");
    const gui::platform::PopupMenu items = menu->popupMenu();
    menu->release();
    return items;
}

class LiveOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() { displayReady = windowtest::startDisplay(displayProblem); }
    static void TearDownTestSuite() { windowtest::stopDisplay(); }

    void SetUp() override
    {
        ASSERT_TRUE(displayReady) << displayProblem;
        ASSERT_TRUE(server.running()) << server.problem();
        std::string error;
        desktop = Desktop::connect(error);
        ASSERT_TRUE(desktop) << error;
    }

    void start(const std::vector<std::string>& args)
    {
        live = std::make_unique<LiveProcess>(args, scratch, server.name(), std::getenv("DISPLAY"));
        ASSERT_TRUE(live->waitUntilReady()) << live->errors();
        ASSERT_TRUE(waitUntil([&] { return (window = screen.findLiveWindow()) != 0 && desktop->isViewable(window); }));
        ASSERT_TRUE(desktop->clientOrigin(window, originX, originY));
        Picture shot;
        ASSERT_TRUE(desktop->capture(window, shot));
        zoom = static_cast<int32_t>(std::lround(100.0 * shot.width / strip::kWidth));
    }

    bool titleIs(const std::string& name)
    {
        return waitUntil([&] { return screen.title(window) == name + kTitleEnd; }, std::chrono::seconds(10));
    }

    void click(int32_t x, int32_t y)
    {
        desktop->moveTo(originX + x, originY + y);
        desktop->button(1, true);
        desktop->button(1, false);
    }
    // A click on the centre of a strip control, where it is drawn at the zoom.
    void clickOn(const CRect& logical)
    {
        const CRect r = gui::Scale(zoom).toDevice(logical);
        click((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }

    // Opens a pop-up menu with a click on a strip control and chooses item `index` of
    // `items` (laid out as the menu lays them out, at the zoom) with another.
    void chooseFromMenu(const CRect& control, const gui::platform::PopupMenu& items, size_t index)
    {
        clickOn(control);
        ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().size() == 1; })) << "no pop-up";
        const ScreenRect item = windowtest::popupItemOnScreen(*desktop, 0, items, index, zoom);
        desktop->moveTo(windowtest::centreX(item), windowtest::centreY(item));
        desktop->button(1, true);
        desktop->button(1, false);
        ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().empty(); }));
    }

    // A right-click on the panel's logo and item `index` of the zoom menu; waits until the
    // window has `width`.
    void chooseZoom(size_t index, int32_t width)
    {
        const CRect logo = gui::Scale(zoom).toDevice(editor::kAmpLogoArea);
        desktop->moveTo(originX + (logo.left + logo.right) / 2,
                        originY + gui::Scale(zoom).toDeviceY(strip::kHeight) + (logo.top + logo.bottom) / 2);
        desktop->button(3, true);
        desktop->button(3, false);
        ASSERT_TRUE(waitUntil([&] { return desktop->popupMenus().size() == 1; })) << "no zoom menu";
        const ScreenRect item = windowtest::popupItemOnScreen(*desktop, 0, windowtest::zoomMenuItems(), index, zoom);
        desktop->moveTo(windowtest::centreX(item), windowtest::centreY(item));
        desktop->button(1, true);
        desktop->button(1, false);
        zoom = static_cast<int32_t>(std::lround(100.0 * width / strip::kWidth));
        // The window takes the size first; the strip and the panel are drawn at it after
        // (their windows are black until then).
        const int32_t stripBottom = gui::Scale(zoom).toDeviceY(strip::kHeight) - 1;
        Picture shot;
        ASSERT_TRUE(waitUntil([&] {
            return desktop->capture(window, shot) && shot.width == width && shot.at(width - 1, stripBottom) != 0 &&
                   shot.at(width - 1, shot.height - 1) != 0;
        })) << "the window is " << shot.width << " wide";
    }

    // A part of the window as it is now: a strip control's, where it is drawn at the zoom.
    Picture region(const CRect& logical)
    {
        const CRect r = gui::Scale(zoom).toDevice(logical);
        Picture whole, part;
        if (!desktop->capture(window, whole))
            return part;
        part.width = r.right - r.left;
        part.height = r.bottom - r.top;
        for (int32_t y = r.top; y < r.bottom; ++y)
            for (int32_t x = r.left; x < r.right; ++x)
                part.pixels.push_back(whole.at(x, y));
        return part;
    }

    // The window's picture, masked, once two captures agree.
    Picture steadyPicture()
    {
        Picture last, shot;
        waitUntil([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!desktop->capture(window, shot))
                return false;
            maskLiveReadings(shot, gui::Scale(zoom));
            const bool same = shot.pixels == last.pixels && shot.width > 0;
            last = shot;
            return same;
        });
        return last;
    }

    static bool displayReady;
    static std::string displayProblem;
    JackServer server{256};
    Scratch scratch;
    Screen screen;
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<LiveProcess> live;
    Window window = 0;
    int32_t originX = 0, originY = 0;
    int32_t zoom = 100;  // the panel's, which the strip is drawn at
};

bool LiveOnScreen::displayReady = false;
std::string LiveOnScreen::displayProblem;

TEST_F(LiveOnScreen, WindowShowsTheStripAboveThePanel)
{
    start({"--no-connect", "--name", "kx"});
    EXPECT_TRUE(titleIs("Basic Classic Clean"));
    const Picture picture = steadyPicture();
    EXPECT_EQ(picture.width, 899);
    EXPECT_EQ(picture.height, strip::kHeight + 421);
    EXPECT_TRUE(testimage::matchesReference(imageOf(picture), KORVALEX_LIVE_REFERENCE_DIR, "live-window"));
    screen.askToClose(window);
    EXPECT_EQ(live->waitForExit(), 0) << live->errors();
}

TEST_F(LiveOnScreen, StripKeysAndMidiChooseTheProgram)
{
    start({"--no-connect", "--name", "kx"});
    ASSERT_TRUE(titleIs("Basic Classic Clean"));
    clickOn(strip::kNextRect);
    EXPECT_TRUE(titleIs("Basic Classic Clean Cho"));  // as hosts see it: 23 characters
    clickOn(strip::kPreviousRect);
    clickOn(strip::kPreviousRect);
    EXPECT_TRUE(titleIs("Tweed Lead"));  // round the end

    // The program menu: the pop-up's item for program 47, found from the menu's own layout.
    std::string error;
    std::unique_ptr<PluginHost> plugin = PluginHost::load(KORVALEX_PLUGIN_PATH, error);
    ASSERT_TRUE(plugin) << error;
    std::vector<std::string> labels;
    for (int i = 0; i < plugin->numPrograms(); ++i) {
        std::string name;
        plugin->programNameIndexed(i, name);
        char label[64];
        std::snprintf(label, sizeof label, "%02d %s", i, name.c_str());
        labels.push_back(label);
    }
    chooseFromMenu(strip::kProgramRect, programMenuItems(labels), 47);
    EXPECT_TRUE(titleIs("Fuzz"));

    // Page Down and Page Up, with the pointer over the panel.
    click(450, strip::kHeight + 200);
    desktop->key(true, XK_Page_Down);
    desktop->key(false, XK_Page_Down);
    EXPECT_TRUE(titleIs("Grind"));
    desktop->key(true, XK_Page_Up);
    desktop->key(false, XK_Page_Up);
    EXPECT_TRUE(titleIs("Fuzz"));

    // Save: a user preset named after the program, which the sound now is.
    clickOn(strip::kSaveRect);
    const std::string saved = scratch.presetFolder() + "/Fuzz.fxp";
    ASSERT_TRUE(waitUntil([&] { return fileExists(saved); }));
    ProgramPreset preset;
    ASSERT_TRUE(readPresetFile(saved, preset, error)) << error;
    EXPECT_EQ(preset.name, "Fuzz");
    EXPECT_TRUE(presetFitsPlugin(preset, plugin->effect()->uniqueID, plugin->numParams(), error)) << error;
    // The message follows the file (written whole, then renamed into place).
    EXPECT_TRUE(waitUntil([&] { return live->output().find("saved the preset \"Fuzz\"") != std::string::npos; }));

    // The gain knob, dragged 50 pixels to the right (right and up increase, 0.4 dB a
    // pixel), held until the readout has come to rest; then two notches of the wheel down
    // (0.5 dB each).
    const int32_t knobX = (strip::kGainKnobRect.left + strip::kGainKnobRect.right) / 2;
    const int32_t knobY = (strip::kGainKnobRect.top + strip::kGainKnobRect.bottom) / 2;
    const Picture before = region(strip::kGainRect);
    desktop->moveTo(originX + knobX, originY + knobY);
    desktop->button(1, true);
    for (int step = 1; step <= 10; ++step)
        desktop->moveTo(originX + knobX + 5 * step, originY + knobY);
    Picture shown;
    EXPECT_TRUE(waitUntil([&] {
        const Picture now = region(strip::kGainRect);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        shown = region(strip::kGainRect);
        return shown.pixels != before.pixels && shown.pixels == now.pixels;  // moved, and come to rest
    }));
    desktop->button(1, false);
    desktop->moveTo(originX + knobX, originY + knobY);
    desktop->wheel(-2);

    // A Program Change from the MIDI input shows in the window.
    TestRig rig(server.name());
    ASSERT_TRUE(rig.connectTo("kx"));
    rig.send({0xC0, 64, 0});
    EXPECT_TRUE(titleIs("Phone"));
    rig.send({0xC0, 82, 0});  // the first user preset
    EXPECT_TRUE(titleIs("Fuzz"));

    screen.askToClose(window);
    EXPECT_EQ(live->waitForExit(), 0) << live->errors();
    const std::string state = readText(scratch.stateFile());
    EXPECT_EQ(stateValue(state, "input-gain"), 19.0);
    EXPECT_NE(state.find("preset = Fuzz\n"), std::string::npos) << state;
    EXPECT_NE(state.find("window = 0 0\n"), std::string::npos) << state;
}

// A steady A2 (110 Hz with its harmonics) played 10 dB too hot: the tuner reads it, the
// meter shows it at the top and the clip lamp lights. Silent again, all three come back to
// what they showed before, once their holds and the meter's fall have passed.
TEST_F(LiveOnScreen, TunerMeterAndClipLampShowTheInput)
{
    start({"--no-connect", "--name", "kx", "--input-gain", "10"});
    std::vector<float> tone(44100);  // one second: 110 whole periods, so it loops without a seam
    for (std::size_t i = 0; i < tone.size(); ++i) {
        double s = 0.0;
        for (int k = 1; k <= 6; ++k)
            s += 0.4 / k * std::sin(2.0 * 3.14159265358979323846 * 110.0 * k * double(i) / 44100.0 + k);
        tone[i] = static_cast<float>(s);
    }
    const CRect tuner(strip::kNoteRect.left, strip::kNoteRect.top, strip::kCentsRect.right, strip::kCentsRect.bottom);
    steadyPicture();
    const Picture silent = region(tuner), quietMeter = region(strip::kMeterRect), darkLamp = region(strip::kClipRect);
    TestRig rig(server.name());
    ASSERT_TRUE(rig.connectTo("kx"));
    rig.loop(tone);
    Picture shown;
    EXPECT_TRUE(waitUntil([&] {
        const Picture now = region(tuner);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        shown = region(tuner);
        return shown.pixels != silent.pixels && shown.pixels == now.pixels;  // a reading, and a steady one
    }));
    EXPECT_TRUE(testimage::matchesReference(imageOf(shown), KORVALEX_LIVE_REFERENCE_DIR, "live-tuner-a2"));
    const auto lampIsRed = [&] {
        const Picture lamp = region(strip::kClipRect);
        return lamp.width > 0 && lamp.at(lamp.width / 2, lamp.height / 2) == 0xFA3228;  // kRedLed
    };
    EXPECT_TRUE(waitUntil(lampIsRed, std::chrono::seconds(10)));
    const Picture meter = region(strip::kMeterRect);
    EXPECT_EQ(meter.at(meter.width - 4, meter.height / 2), 0xFA3228u) << "the top LED is lit";
    rig.stop();
    EXPECT_TRUE(waitUntil([&] {
        return region(tuner).pixels == silent.pixels && region(strip::kMeterRect).pixels == quietMeter.pixels &&
               region(strip::kClipRect).pixels == darkLamp.pixels;
    }));
    EXPECT_EQ(live->quit(), 0);
}

// A cabinet file chosen in the strip's menu plays, as korvalex-render plays it, and again
// at the next start; one that cannot be used is reported in the status line and changes
// nothing; one deleted since the last session is reported and the program's own cabinet
// plays.
TEST_F(LiveOnScreen, CabinetMenuChoosesAFileThatOutlivesTheSession)
{
    const std::string folder = scratch.data() + "/korvalex/cabinets", file = folder + "/Room 57.wav";
    std::filesystem::create_directories(folder);
    writeText(folder + "/broken.wav", "not audio");
    writeText(folder + "/notes.txt", "not listed");
    start({"--no-connect", "--name", "kx", "--program", "47"});
    ASSERT_TRUE(titleIs("Fuzz"));
    ASSERT_TRUE(writeMonoWav(file, cabinetResponse()));  // the menu reads the folder as it opens
    const gui::platform::PopupMenu items = cabinetMenuItems(folder, {"broken.wav", "Room 57.wav"});
    ASSERT_EQ(items.size(), 4u);

    chooseFromMenu(strip::kCabinetRect, items, 2);
    EXPECT_TRUE(waitUntil([&] {
        return live->errors().find("cabinet " + folder + "/broken.wav: not an audio file") != std::string::npos;
    })) << live->errors();
    const auto statusShowsAnError = [&] {
        const Picture status = region(strip::kStatusRect);
        return std::find(status.pixels.begin(), status.pixels.end(), 0xFF7864u) != status.pixels.end();
    };
    EXPECT_TRUE(waitUntil(statusShowsAnError, std::chrono::seconds(10))) << "the status line shows the refusal";

    const Picture before = region(strip::kCabinetRect);
    chooseFromMenu(strip::kCabinetRect, items, 3);
    EXPECT_TRUE(live->waitForLine("cabinet Room 57.wav: 4409 taps")) << live->output();
    EXPECT_TRUE(waitUntil([&] { return region(strip::kCabinetRect).pixels != before.pixels; }))
        << "the menu shows the file";
    screen.askToClose(window);
    EXPECT_EQ(live->waitForExit(), 0) << live->errors();
    EXPECT_NE(readText(scratch.stateFile()).find("cabinet = " + file + "\n"), std::string::npos);

    const std::vector<float> di = guitarDi(2.0);
    std::vector<float> left, right;
    std::string problem;
    ASSERT_TRUE(playThroughLive({}, scratch, server.name(), di, left, right, problem)) << problem;
    EXPECT_TRUE(sameAsRender(scratch, di, {"--program", "47", "--cabinet", file}, left, right, kCabinetFileTolerance));

    std::filesystem::remove(file);
    std::string errors;
    ASSERT_TRUE(playThroughLive({}, scratch, server.name(), di, left, right, problem, [&](TestRig&, LiveProcess& p) {
        errors += p.errors();  // of every take: a take played again starts without the file
        return true;
    })) << problem;
    EXPECT_NE(errors.find("cabinet " + file + ": cannot read: No such file or directory; the program's own cabinet "
                          "plays"),
              std::string::npos)
        << errors;
    EXPECT_TRUE(sameAsRender(scratch, di, {"--program", "47"}, left, right));
    EXPECT_EQ(readText(scratch.stateFile()).find("cabinet ="), std::string::npos);
}

// The panel's zoom menu: at 200 % the window takes the panel's new size and the strip is
// drawn at the same scale above the panel (which looks as the plug-in's panel alone does),
// its controls answering clicks where they are drawn; the next start opens at 200 %, and
// 100 % brings the window back to its first size.
TEST_F(LiveOnScreen, TheWindowAndTheStripFollowThePanelsZoom)
{
    std::filesystem::create_directories(scratch.config() + "/korvalex");
    writeText(scratch.stateFile(), "format = 1\nprogram = 58\n");
    start({"--no-connect", "--name", "kx"});
    ASSERT_TRUE(titleIs("Pandemonium"));
    ASSERT_EQ(zoom, 100);
    chooseZoom(3, 1798);
    const int32_t stripHeight = gui::Scale(200).toDeviceY(strip::kHeight);
    const Picture shot = steadyPicture();
    ASSERT_EQ(shot.height, stripHeight + 842);
    testimage::writePng(testimage::outputDir() + "/live-window-200.png", imageOf(shot));  // for people to look at
    EXPECT_TRUE(testimage::matchesReference(imageOf(rows(shot, 0, stripHeight)), KORVALEX_LIVE_REFERENCE_DIR,
                                            "live-strip-200"));
    EXPECT_TRUE(testimage::matchesReference(imageOf(rows(shot, stripHeight, shot.height)),
                                            KORVALEX_PANEL_REFERENCE_DIR, "panel-program58-amp-page-200"));
    clickOn(strip::kNextRect);
    EXPECT_TRUE(titleIs("Phaser Clean"));
    EXPECT_EQ(live->quit(), 0);

    start({"--no-connect", "--name", "kx"});
    EXPECT_EQ(zoom, 200);
    clickOn(strip::kPreviousRect);
    EXPECT_TRUE(titleIs("Pandemonium"));
    chooseZoom(1, 899);
    EXPECT_EQ(steadyPicture().height, strip::kHeight + 421);
    EXPECT_EQ(live->quit(), 0);
}

TEST_F(LiveOnScreen, WindowComesBackWhereItWas)
{
    std::system(("mkdir -p " + scratch.config() + "/korvalex").c_str());
    writeText(scratch.stateFile(), "format = 1\nprogram = 58\nwindow = 120 80\n");
    start({"--no-connect"});
    EXPECT_TRUE(titleIs("Pandemonium"));
    EXPECT_EQ(originX, 120);
    EXPECT_EQ(originY, 80);
    EXPECT_EQ(live->quit(), 0);
    EXPECT_NE(readText(scratch.stateFile()).find("window = 120 80\n"), std::string::npos);
}

}  // namespace
