// The panel's zoom: the host's content scale request, the zoom menu on the logos and the
// choice kept for the next panel, the order of user, host and desktop, damaged settings.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "editor/PanelZoom.h"
#include "gui/CFrame.h"
#include "gui/Scale.h"
#include "tests/editor/EditorFixture.h"

namespace editortest {
namespace {

using gui::platform::headless::setDesktopScalePercent;

constexpr VstInt32 kPreS = 0x50726553;
constexpr VstIntPtr kAeCs = 0x41654373;

struct Zoom : EditorTest {
    void TearDown() override
    {
        EditorTest::TearDown();
        setDesktopScalePercent(100);
    }
    VstIntPtr contentScale(float factor) { return dispatch(effVendorSpecific, kPreS, kAeCs, nullptr, factor); }
    CPoint rectSize()
    {
        ERect* rect = nullptr;
        dispatch(effEditGetRect, 0, 0, &rect);
        return rect ? CPoint(rect->right - rect->left, rect->bottom - rect->top) : CPoint();
    }
    CPoint windowSize() const { return CPoint(window->surface().width(), window->surface().height()); }
    // A right-click on the centre of a logical rectangle of the panel, as pixels of the window.
    void rightClick(const CRect& logical)
    {
        const gui::Scale scale = editor->getFrame()->getScale();
        window->press(centre(scale.toDevice(logical)), kRButton);
    }
    std::string settingsText() const
    {
        std::stringstream text;
        text << std::ifstream(settingsFile(), std::ios::binary).rdbuf();
        return text.str();
    }
};

TEST_F(Zoom, TheHostsContentScaleSizesThePanelBeforeAndWhileItIsOpen)
{
    EXPECT_EQ(rectSize(), CPoint(899, 421));
    EXPECT_EQ(contentScale(2.0f), 1);
    EXPECT_EQ(rectSize(), CPoint(1798, 842));
    open();
    EXPECT_EQ(windowSize(), CPoint(1798, 842));
    EXPECT_EQ(editor->getFrame()->getScale().percent(), 200);

    setHostResizes(true);
    EXPECT_EQ(contentScale(1.25f), 1);  // the nearest zoom, halfway up
    idle();
    EXPECT_EQ(windowSize(), CPoint(1348, 631));
    EXPECT_EQ(rectSize(), CPoint(1348, 631));
    const HostCall resize = hostLog().last(audioMasterSizeWindow);
    EXPECT_EQ(CPoint(resize.index, int32_t(resize.amount)), CPoint(1348, 631));  // asked of the host

    const float refused[] = {0.0f, -1.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
    for (float factor : refused)
        EXPECT_EQ(contentScale(factor), 0) << factor;
    EXPECT_EQ(dispatch(effVendorSpecific, kPreS, 1234, nullptr, 2.0f), 0);  // another request
    idle();
    EXPECT_EQ(windowSize(), CPoint(1348, 631));
    close();
    EXPECT_EQ(rectSize(), CPoint(1348, 631));
}

TEST_F(Zoom, TheLogoMenuChangesTheZoomAndTheChoiceOutlivesThePanel)
{
    setHostResizes(true);
    open();
    window->choosePopupLabel("200%");
    rightClick(editor::kAmpLogoArea);
    ASSERT_EQ(window->popupCount(), 1);
    const gui::platform::PopupMenu& items = window->lastPopup();
    std::string labels;
    for (const auto& item : items)
        labels += (item.checked ? "*" : "") + item.label + "|";
    EXPECT_EQ(labels, "Zoom|100%|150%|200%||*Automatic (100%)|");
    EXPECT_TRUE(window->lastPopupFollowedRightButton());
    EXPECT_EQ(editor->getFrame()->getScale().percent(), 100);  // the change waits for the idle
    idle();
    EXPECT_EQ(windowSize(), CPoint(1798, 842));
    EXPECT_EQ(rectSize(), CPoint(1798, 842));
    EXPECT_EQ(hostLog().last(audioMasterSizeWindow).index, 1798);
    EXPECT_NE(settingsText().find("zoom=200\n"), std::string::npos) << settingsText();

    close();
    EXPECT_EQ(rectSize(), CPoint(1798, 842));
    setParameter(52, 1.0f);
    open();  // a later panel opens at the choice, here on the effects page
    EXPECT_EQ(windowSize(), CPoint(1798, 842));
    window->choosePopupLabel("Automatic (100%)");
    rightClick(editor::kEffectsLogoArea);
    ASSERT_EQ(window->popupCount(), 1);
    EXPECT_TRUE(window->lastPopup()[3].checked);  // 200 %, the choice in force
    idle();
    EXPECT_EQ(windowSize(), CPoint(899, 421));
    EXPECT_EQ(settingsText().find("zoom="), std::string::npos) << settingsText();
}

TEST_F(Zoom, OnlyARightClickOnALogoOpensTheMenu)
{
    open();
    window->press(centre(editor::kAmpLogoArea), kLButton);  // the logo's own left click: the splash
    EXPECT_NE(editor->getFrame()->getModalView(), nullptr);
    window->press(CPoint(5, 5), kLButton);  // closes it
    EXPECT_EQ(editor->getFrame()->getModalView(), nullptr);
    window->press(centre(editor::kEffectsLogoArea), kRButton);  // the effects page's logo, not shown
    window->press(centre(editor::kAmpPage[8].rect), kRButton);  // a knob
    EXPECT_EQ(window->popupCount(), 0);
    idle();
    EXPECT_EQ(windowSize(), CPoint(899, 421));
}

TEST_F(Zoom, TheUsersChoiceComesBeforeTheHostsScaleAndThatBeforeTheDesktops)
{
    setDesktopScalePercent(192);  // the nearest zoom is 200
    EXPECT_EQ(rectSize(), CPoint(1798, 842));
    EXPECT_EQ(contentScale(1.5f), 1);
    EXPECT_EQ(rectSize(), CPoint(1348, 631));
    open();
    window->choosePopupLabel("100%");
    rightClick(editor::kAmpLogoArea);
    idle();
    EXPECT_EQ(windowSize(), CPoint(899, 421));
    EXPECT_EQ(contentScale(2.0f), 1);  // taken, but the user's choice stands
    idle();
    EXPECT_EQ(windowSize(), CPoint(899, 421));
}

// Whatever the file holds, the panel opens (at the automatic zoom) and a new choice
// replaces the file.
TEST_F(Zoom, DamagedSettingsAreIgnoredAndReplacedByTheNextChoice)
{
    const std::string damaged[] = {
        std::string("zoom=\x01\x00\xff\xfe", 8), "zoom=175\n", "zoom=\n", "zoom=200x\n", "=200\nzoom 200\n",
        "zoom=200\n" + std::string(70000, '#'),
    };
    for (const std::string& content : damaged) {
        SCOPED_TRACE(content.substr(0, 12));
        std::filesystem::create_directories(std::filesystem::path(settingsFile()).parent_path());
        std::ofstream(settingsFile(), std::ios::binary) << content;
        EXPECT_EQ(rectSize(), CPoint(899, 421));
        open();
        EXPECT_EQ(windowSize(), CPoint(899, 421));
        window->choosePopupLabel("150%");
        rightClick(editor::kAmpLogoArea);
        idle();
        close();
        EXPECT_EQ(rectSize(), CPoint(1348, 631));
        EXPECT_EQ(settingsText(), "# Korvalex: the front panel's settings, written by the panel.\nzoom=150\n");
        std::filesystem::remove(settingsFile());
    }
    // A folder where the file should be: it cannot be read (automatic) or written (the
    // choice lasts as long as the editor), and nothing fails.
    std::filesystem::create_directories(settingsFile());
    EXPECT_EQ(rectSize(), CPoint(899, 421));
    open();
    window->choosePopupLabel("200%");
    rightClick(editor::kAmpLogoArea);
    idle();
    EXPECT_EQ(windowSize(), CPoint(1798, 842));
}

TEST(PanelZoom, NearestZoomTakesTheLargerOfTwoEquallyNear)
{
    const struct {
        double percent;
        int32_t zoom;
    } cases[] = {{100, 100}, {124.9, 100}, {125, 150}, {150, 150}, {174, 150}, {175, 200}, {400, 200},
                 {50, 100},   {0, 100},     {-150, 100}, {std::nan(""), 100}};
    for (const auto& c : cases)
        EXPECT_EQ(editor::nearestZoom(c.percent), c.zoom) << c.percent;
}

TEST(PanelZoom, WritingKeepsOtherSettingsAndLeavesNoTemporaryFileBehind)
{
    const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / "korvalex-zoom-settings";
    std::filesystem::remove_all(folder);
    const editor::ZoomSettings settings(folder / "deeper" / "settings.conf");
    int32_t zoom = -1;
    EXPECT_EQ(settings.read(zoom), editor::ZoomSettings::State::Missing);
    std::filesystem::create_directories(folder / "deeper");
    std::ofstream(settings.file(), std::ios::binary) << "colour=blue\r\nzoom=150\n\x01junk\n";
    EXPECT_EQ(settings.read(zoom), editor::ZoomSettings::State::Chosen);
    EXPECT_EQ(zoom, 150);
    ASSERT_TRUE(settings.write(200));
    EXPECT_EQ(settings.read(zoom), editor::ZoomSettings::State::Chosen);
    EXPECT_EQ(zoom, 200);
    ASSERT_TRUE(settings.write(editor::kAutomaticZoom));
    EXPECT_EQ(settings.read(zoom), editor::ZoomSettings::State::Automatic);
    std::stringstream text;
    text << std::ifstream(settings.file(), std::ios::binary).rdbuf();
    EXPECT_EQ(text.str(), "# Korvalex: the front panel's settings, written by the panel.\ncolour=blue\n");
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "deeper"))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u);

    const editor::ZoomSettings nowhere(settings.file() / "inside-a-file.conf");
    EXPECT_FALSE(nowhere.write(150));
    EXPECT_FALSE(editor::ZoomSettings(std::filesystem::path()).write(150));
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace editortest
