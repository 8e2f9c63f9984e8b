// Controls and parameters in both directions: every control a person can use sets its
// parameter as automation inside a balanced gesture, and every parameter change, from the
// host or a program, moves the controls; meters and lamps follow the engine at idle.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "gui/CFrame.h"
#include "gui/Scale.h"
#include "gui/controls/COptionMenu.h"
#include "tests/editor/EditorFixture.h"

namespace editortest {
namespace {

using editor::Kind;
using gui::platform::headless::PointerStep;

// A linear drag of `pixels` upwards (negative: downwards) from the centre of `rect`
// (pixels of the window).
void drag(gui::platform::headless::HeadlessWindow* window, const CRect& rect, int32_t pixels)
{
    const CPoint start = centre(rect);
    std::vector<PointerStep> steps;
    for (int32_t k = 1; k <= 4; ++k)
        steps.push_back(PointerStep{CPoint(start.h, start.v - pixels * k / 4), kLButton});
    steps.push_back(PointerStep{CPoint(start.h, start.v - pixels), 0});
    window->press(start, kLButton, steps);
}

void click(gui::platform::headless::HeadlessWindow* window, CPoint where) { window->press(where, kLButton); }

class Binding : public EditorTest {
protected:
    // Uses every control of a page the way a person would, at the centre of the control's
    // rectangle on the window at the panel's zoom, and checks that its parameter and no
    // other changed, the automation the host recorded, and the gesture brackets. Knobs
    // are dragged 40 logical pixels: twice as many of the window's at 200 %.
    void useEveryControl(const editor::ControlRow* rows, size_t count)
    {
        const gui::Scale scale = editor->getFrame()->getScale();
        const int32_t drag40 = scale.toDeviceY(40);
        for (size_t i = 0; i < count; ++i) {
            const editor::ControlRow& row = rows[i];
            if (row.tag > 51 || row.refresh != editor::Refresh::OnChange || row.kind == Kind::Readout)
                continue;  // page buttons are checked on their own; displays take no mouse
            hostLog().clear();
            std::vector<float> others;
            for (int32_t p = 0; p <= 52; ++p)
                others.push_back(parameter(p));
            const float before = parameter(row.tag);
            float expected = before;
            const CRect onWindow = scale.toDevice(row.rect);
            switch (row.kind) {
            case Kind::AnimKnob:
                drag(window, onWindow, before < 0.5f ? drag40 : -drag40);
                expected = before < 0.5f ? before + 0.2f : before - 0.2f;
                break;
            case Kind::OnOffButton:
                click(window, centre(onWindow));
                expected = before == 0.0f ? 1.0f : 0.0f;
                break;
            case Kind::VerticalSwitch:  // the upper half is position 0, the lower half position 1
                click(window, CPoint(centre(onWindow).h, scale.toDeviceY(before == 0.0f ? row.rect.bottom - 5
                                                                                          : row.rect.top + 5)));
                expected = before == 0.0f ? 1.0f : 0.0f;
                break;
            case Kind::OptionMenu:
                window->choosePopupLabel("Combo C 2x12");
                click(window, centre(onWindow));
                expected = 8.0f / 19.0f;
                break;
            default:
                continue;
            }
            EXPECT_NEAR(parameter(row.tag), expected, 0.011f) << "parameter " << row.tag;
            for (int32_t p = 0; p <= 52; ++p) {
                if (p != row.tag) {
                    EXPECT_EQ(parameter(p), others[size_t(p)]) << "parameter " << p << " changed with " << row.tag;
                }
            }
            EXPECT_GE(hostLog().count(audioMasterAutomate, row.tag), 1) << "parameter " << row.tag;
            EXPECT_GE(hostLog().count(audioMasterBeginEdit, row.tag), 1) << "parameter " << row.tag;
            EXPECT_TRUE(hostLog().editsBalanced()) << "parameter " << row.tag;
        }
    }
};

TEST_F(Binding, EveryControlOfTheAmpPageSetsItsParameter)
{
    open();
    useEveryControl(editor::kAmpPage, editor::kAmpPageCount);
}

TEST_F(Binding, EveryControlOfTheEffectsPageSetsItsParameter)
{
    setParameter(52, 1.0f);
    open();
    useEveryControl(editor::kEffectsPage, editor::kEffectsPageCount);
}

// At 200 % (the host's content scale) the window has four times the pixels; the same
// gestures at the centre of each control's rectangle there.
TEST_F(Binding, EveryControlOfBothPagesSetsItsParameterAtTwoHundredPercent)
{
    const VstInt32 kPreS = 0x50726553;
    const VstIntPtr kAeCs = 0x41654373;
    ASSERT_EQ(dispatch(effVendorSpecific, kPreS, kAeCs, nullptr, 2.0f), 1);
    open();
    ASSERT_EQ(window->surface().width(), 1798);
    useEveryControl(editor::kAmpPage, editor::kAmpPageCount);
    close();
    setParameter(52, 1.0f);
    open();
    useEveryControl(editor::kEffectsPage, editor::kEffectsPageCount);
}

TEST_F(Binding, ThePageButtonsSwapPagesAndTheHostRecordsIt)
{
    open();
    click(window, centre(editor::kAmpPage[5].rect));  // the amp page's page button
    EXPECT_EQ(parameter(52), 1.0f);
    EXPECT_EQ(shownPage(), editor->getEffectsPage());
    EXPECT_EQ(effectsControl(52, Kind::OnOffButton)->getValue(), 1.0f);
    EXPECT_EQ(hostLog().count(audioMasterAutomate, 52), 1);
    click(window, centre(editor::kEffectsPage[0].rect));
    EXPECT_EQ(parameter(52), 0.0f);
    EXPECT_EQ(shownPage(), editor->getAmpPage());
    EXPECT_EQ(hostLog().count(audioMasterAutomate, 52), 2);
    EXPECT_TRUE(hostLog().editsBalanced());
    idle();  // the new page is drawn whole
    EXPECT_FALSE(editor->getFrame()->isDirty());
}

TEST_F(Binding, APressOnTheInputSwitchReachesTheSwitchNotTheIndicatorUnderIt)
{
    open();
    ASSERT_EQ(parameter(2), 1.0f);
    click(window, CPoint(770, 270));  // upper half of the switch: Low
    EXPECT_EQ(parameter(2), 0.0f);
    EXPECT_EQ(hostLog().count(audioMasterAutomate, 2), 1);
}

TEST_F(Binding, AmplifierMenuChoicesAndTheCheckOfTheCurrentEntry)
{
    open();
    const CPoint menu = centre(editor::kAmpPage[0].rect);
    window->choosePopupLabel("BYPASS");
    click(window, menu);
    EXPECT_EQ(parameter(10), 1.0f);
    window->choosePopupLabel("Combo C 2x12");
    click(window, menu);
    EXPECT_EQ(parameter(10), static_cast<float>(8.0 / 19.0));
    EXPECT_EQ(parameter(10), 0.42105263f);
    click(window, menu);  // opened again, nothing chosen
    const auto& items = window->lastPopup();
    ASSERT_EQ(items.size(), 20u);
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].checked, i == 8) << items[i].label;
    EXPECT_EQ(items[18].kind, gui::platform::PopupItem::Kind::Separator);
    EXPECT_EQ(parameter(10), 0.42105263f);
    // The list opens below the menu, at the window's screen position plus the menu's bottom left.
    EXPECT_EQ(window->lastPopupPosition(), CPoint(100 + 85, 50 + 338));
}

TEST_F(EditorTest, MenuShowsTheEntryOfTheAmplifierValue)
{
    open();
    auto* menu = static_cast<COptionMenu*>(ampControl(10, Kind::OptionMenu));
    char text[256];
    const struct {
        float value;
        const char* entry;
    } cases[] = {{10.0f / 19.0f, "Tweed B 2x12"}, {1.0f, "BYPASS"}, {18.5f / 19.0f, "-"},
                 {0.5f, "Tweed A 1x12"}, {0.0f, "Classic Lead 4x12 A"}};
    for (const auto& c : cases) {
        setParameter(10, c.value);
        menu->getCurrent(text);
        EXPECT_STREQ(text, c.entry) << c.value;
    }
}

TEST(Readouts, ShowTheValueTimesOneHundredTruncated)
{
    char text[256];
    const struct {
        float value;
        const char* shown;
    } cases[] = {{0.0f, "00"}, {0.07f, "07"}, {0.29f, "28"}, {0.5f, "50"}, {1.0f, "100"}};
    for (const auto& c : cases) {
        editor::formatReadout(c.value, text, sizeof text);
        EXPECT_STREQ(text, c.shown) << c.value;
    }
    char small[3];
    editor::formatReadout(1.0f, small, sizeof small);  // cut to the buffer
    EXPECT_STREQ(small, "10");
}

TEST_F(EditorTest, HostChangesMoveTheControls)
{
    open();
    setParameter(5, 0.75f);
    EXPECT_EQ(ampControl(5, Kind::AnimKnob)->getValue(), 0.75f);
    EXPECT_EQ(ampControl(5, Kind::Readout)->getValue(), 0.75f);
    EXPECT_TRUE(editor->getFrame()->isDirty());

    setParameter(40, 0.8f);
    EXPECT_EQ(effectsControl(40, Kind::AnimKnob)->getValue(), 0.8f);  // the knob at once, its display at idle
}

TEST_F(EditorTest, AProgramWhosePageIsTheEffectsPageShowsIt)
{
    plugin->setProgram(3);
    setParameter(52, 1.0f);  // stored in program 3
    plugin->setProgram(0);
    open();
    EXPECT_EQ(shownPage(), editor->getAmpPage());
    dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(shownPage(), editor->getEffectsPage());
    // The selector's threshold, from both sides: 0.5 is the effects page.
    setParameter(52, std::nextafter(0.5f, 0.0f));
    EXPECT_EQ(shownPage(), editor->getAmpPage());
    setParameter(52, 0.5f);
    EXPECT_EQ(shownPage(), editor->getEffectsPage());
}

TEST_F(EditorTest, LampsMetersAndIndicatorsFollowTheirReadingsWhileThePanelStaysOpen)
{
    // Every reading changes three times after the open, on whichever page is shown; each idle (not
    // before) brings every display refreshed at idle to its reading (the width display rests
    // on its first image while Space is exactly 0). Compressor and gate on act on a quiet note:
    // compressor threshold -40 dB, ratio 5; the gate after it, threshold 0 dB.
    std::vector<float> in(512), out(512);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = (i / 20) % 2 ? 0.05f : -0.05f;
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out.data(), out.data()};
    const int changed[] = {2, 39, 40, 25, 32};  // Input HiLow, Space, its width, compressor and gate on
    const float steps[3][5] = {
        {0.0f, 1.0f, 0.8f, 1.0f, 1.0f}, {1.0f, 0.01f, 0.6f, 0.0f, 0.0f}, {0.0f, 0.0f, 0.3f, 1.0f, 1.0f}};
    for (float page : {0.0f, 1.0f}) {
        SCOPED_TRACE(page == 0.0f ? "amp page shown" : "effects page shown");
        for (auto [index, value] : {std::pair{52, page}, {29, 1.0f}, {30, 1.0f}, {33, 1.0f}, {36, 1.0f}, {2, 1.0f},
                                    {39, 0.0f}, {25, 0.0f}, {32, 0.0f}})
            setParameter(index, value);
        plugin->processReplacing(inputs, outputs, 512);  // the meters at rest
        open();
        idle();
        CControl* displays[] = {ampControl(2, Kind::MovieBitmap), effectsControl(39, Kind::MovieBitmap),
                                effectsControl(40, Kind::MovieBitmap), effectsControl(54, Kind::VuMeter),
                                effectsControl(55, Kind::MovieBitmap)};
        float before[5];
        for (int k = 0; k < 5; ++k)
            before[k] = displays[k]->getValue();
        for (const auto& step : steps) {
            for (int k = 0; k < 5; ++k)
                setParameter(changed[k], step[k]);
            for (int block = 0; block < 40; ++block)
                plugin->processReplacing(inputs, outputs, 512);
            EXPECT_EQ(displays[2]->getValue(), before[2]) << "the width display moved before the idle";
            idle();
            const float expected[5] = {parameter(2), parameter(39), step[1] != 0.0f ? step[2] : 0.0f,
                                       parameter(54), parameter(55)};
            for (int k = 0; k < 5; ++k) {
                EXPECT_NE(expected[k], before[k]) << "display " << k << ": the reading did not change";
                EXPECT_EQ(displays[k]->getValue(), expected[k]) << "display " << k;
                before[k] = expected[k];
            }
        }
        EXPECT_EQ(shownPage(), page == 0.0f ? editor->getAmpPage() : editor->getEffectsPage());
        close();
    }
}

TEST_F(EditorTest, ThrottledIdleKeepsItsPace)
{
    open();
    gui::platform::headless::setTicks(100000);
    editor->trackIdle();  // due: passes on to idle
    const int polls = window->eventPollCount();
    const uint32_t slept = gui::platform::headless::totalSleptMilliseconds();
    gui::platform::headless::setTicks(100045);
    editor->trackIdle();  // 45 ms later: sleeps 4 ms, still more than 50 ms early, returns
    EXPECT_EQ(window->eventPollCount(), polls);
    EXPECT_EQ(gui::platform::headless::totalSleptMilliseconds(), slept + 4);
    gui::platform::headless::setTicks(100046);
    editor->trackIdle();  // 46 ms after the pass: sleeps, then exactly 50 ms early: idles
    EXPECT_EQ(window->eventPollCount(), polls + 1);
    EXPECT_EQ(gui::platform::headless::totalSleptMilliseconds(), slept + 8);
    EXPECT_GE(hostLog().count(audioMasterIdle), 2);
}

TEST_F(EditorTest, ModifierClicksAreLeftToTheControls)
{
    open();
    CControl* knob = ampControl(3, Kind::AnimKnob);
    setParameter(3, 0.9f);
    hostLog().clear();
    window->press(centre(editor::kAmpPage[7].rect), kLButton | kControl);  // control-click: the default
    EXPECT_EQ(parameter(3), 0.5f);
    EXPECT_EQ(knob->getValue(), 0.5f);
    EXPECT_TRUE(hostLog().editsBalanced());
    EXPECT_EQ(editor->modifierClicked(nullptr, knob, kLButton | kShift), 0);
}

TEST_F(EditorTest, ArrowKeysMoveTheKnobThatWasLastUsed)
{
    open();
    drag(window, editor::kAmpPage[9].rect, 20);  // treble takes the focus
    idle();
    const float before = parameter(5);
    VstKeyCode down{0, VKEY_DOWN, 0};
    EXPECT_EQ(dispatch(effEditKeyDown, down.character, down.virt, nullptr, down.modifier), 1);
    EXPECT_NEAR(parameter(5), before - 0.1f, 1e-6f);
}

}  // namespace
}  // namespace editortest
