// Option menus: entries with their markers, numbers and limits, the current entry with
// and without counting separators and titles, removal around the current entry, bounded
// texts, and the pop-up: ids through the tree, item kinds, position, the choice reported
// with the (sub-)menu it came from, and the pressed look.

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

#include "gui/controls/COptionMenu.h"
#include "tests/gui/ControlTestKit.h"
#include "tests/gui/GuiTestHelpers.h"

namespace {

using namespace controltest;
using gui::platform::PopupItem;

struct MenuTest : Panel {
    void SetUp() override
    {
        Panel::SetUp();
        menu = add(new COptionMenu(CRect(20, 30, 100, 50), &listener, 21, nullptr, nullptr, 0));
        menu->setBackColor(CColor{0x20, 0x30, 0x40, 255});
    }
    std::string current() const
    {
        char text[CParamDisplay::kTextSize];
        return menu->getCurrent(text) < 0 ? std::string("(none)") : std::string(text);
    }
    COptionMenu* menu = nullptr;
};

TEST_F(MenuTest, SeparatorsAndTitlesCountOnlyWhenAskedTo)
{
    for (const char* e : {"A", "-", "-TTitle", "B"})
        ASSERT_TRUE(menu->addEntry(e));
    EXPECT_EQ(menu->getCurrent(nullptr, true), 0);  // the first entry became current
    ASSERT_TRUE(menu->setCurrent(3));
    EXPECT_EQ(menu->getCurrent(nullptr, true), 3);
    EXPECT_EQ(menu->getCurrent(nullptr, false), 1);
    ASSERT_TRUE(menu->setCurrent(0));
    EXPECT_TRUE(menu->setCurrent(1, false));  // the second choosable entry: B
    EXPECT_EQ(current(), "B");
    EXPECT_FALSE(menu->setCurrent(1, true));  // position 1 is the separator
    EXPECT_TRUE(menu->setCurrent(2, true));   // a title may be current
    EXPECT_FALSE(menu->setCurrent(2, false));  // only two choosable entries
    EXPECT_FALSE(menu->setCurrent(4));
    EXPECT_FALSE(menu->setCurrent(-1));
    EXPECT_EQ(menu->getIndex("B"), 3);
    EXPECT_EQ(menu->getIndex("b"), -1);
}

TEST_F(MenuTest, PrefixNumbersAreStoredAndListedButNotShown)
{
    menu->setPrefixNumbers(3);
    for (const char* e : {"one", "two", "three", "four", "text"})
        menu->addEntry(e);
    char text[CParamDisplay::kTextSize];
    ASSERT_TRUE(menu->getEntry(4, text));
    EXPECT_STREQ(text, "05 text");
    EXPECT_EQ(menu->popupMenu()[4].label, "05 text");
    menu->setPrefixNumbers(7);  // not a width: no numbers from now on
    menu->addEntry("plain");
    menu->getEntry(5, text);
    EXPECT_STREQ(text, "plain");
    menu->setPrefixNumbers(2);
    menu->addEntry("x");
    menu->getEntry(6, text);
    EXPECT_STREQ(text, "7 x");
    menu->setPrefixNumbers(3);

    // The closed menu shows the text alone: the same pixels as a menu holding just "text".
    auto* plain = add(new COptionMenu(CRect(20, 60, 100, 80), &listener, 22));
    plain->setBackColor(CColor{0x20, 0x30, 0x40, 255});
    plain->addEntry("text");
    menu->setCurrent(4);
    paint();
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 80; ++x)
            ASSERT_EQ(pixels().pixel(onPage(20 + x, 30 + y).h, onPage(20 + x, 30 + y).v),
                      pixels().pixel(onPage(20 + x, 60 + y).h, onPage(20 + x, 60 + y).v));
    // An entry shorter than its number is shown empty, not read past its end.
    menu->setEntry(4, "ab");
    menu->setDirty();
    frame->idle();
}

TEST_F(MenuTest, TheEntryLimitAndInsertion)
{
    for (int i = 0; i < COptionMenu::kMaxEntries; ++i)
        ASSERT_TRUE(menu->addEntry(std::to_string(i).c_str()));
    EXPECT_FALSE(menu->addEntry("1025th"));
    auto* sub = new COptionMenu(CRect(0, 0, 10, 10), nullptr, 0);
    EXPECT_FALSE(menu->addSubMenu(sub, "more"));
    sub->release();
    EXPECT_EQ(menu->getNbEntries(), 1024);
    EXPECT_TRUE(menu->removeAllEntry());
    EXPECT_EQ(menu->getNbEntries(), 0);
    EXPECT_EQ(menu->getCurrent(), -1);

    menu->addEntry("a");
    menu->addEntry("c");
    menu->setCurrent(1);
    menu->addEntry("b", 1);  // before the current one: the current entry moves along
    EXPECT_EQ(current(), "c");
    menu->addEntry("z", 99);  // past the end: appended
    char text[CParamDisplay::kTextSize];
    menu->getEntry(3, text);
    EXPECT_STREQ(text, "z");
    EXPECT_FALSE(menu->getEntry(4, text));
    EXPECT_FALSE(menu->getEntry(-1, text));
}

TEST_F(MenuTest, RemovingEntriesAroundTheCurrentOne)
{
    for (const char* e : {"a", "b", "c", "d"})
        menu->addEntry(e);
    menu->setCurrent(2);
    EXPECT_TRUE(menu->removeEntry(0));  // before it: the same entry stays current
    EXPECT_EQ(current(), "c");
    EXPECT_TRUE(menu->removeEntry(2));  // after it: unchanged
    EXPECT_EQ(current(), "c");
    EXPECT_TRUE(menu->removeEntry(1));  // the current one: the one before it
    EXPECT_EQ(current(), "b");
    EXPECT_FALSE(menu->removeEntry(1));
    EXPECT_TRUE(menu->removeEntry(0));  // the only one: nothing is current
    EXPECT_EQ(menu->getCurrent(), -1);
    EXPECT_EQ(current(), "(none)");
    paint();  // and it draws without an entry
}

TEST_F(MenuTest, TextsAreBoundedEverywhere)
{
    const std::string longText(300, 'q');
    menu->addEntry(longText.c_str());
    menu->setPrefixNumbers(4);
    menu->addEntry(longText.c_str());
    char buffer[400];
    std::memset(buffer, 0x7F, sizeof buffer);
    ASSERT_TRUE(menu->getEntry(0, buffer));
    EXPECT_EQ(std::strlen(buffer), 255u);
    EXPECT_EQ(buffer[256], 0x7F);  // nothing written past the 256 bytes
    menu->getEntry(1, buffer);
    EXPECT_EQ(std::string(buffer, 4), "002 ");
    EXPECT_EQ(std::strlen(buffer), 255u);
    ASSERT_TRUE(menu->setEntry(0, std::string(1000, 'r').c_str()));
    std::memset(buffer, 0x7F, sizeof buffer);
    menu->getCurrent(buffer);
    EXPECT_EQ(std::strlen(buffer), 255u);
    EXPECT_EQ(buffer[256], 0x7F);
    EXPECT_FALSE(menu->setEntry(2, "x"));
    paint();
}

TEST_F(MenuTest, ChecksAndValues)
{
    for (const char* e : {"a", "b", "c"})
        menu->addEntry(e);
    EXPECT_TRUE(menu->checkEntry(1, true));
    EXPECT_TRUE(menu->isCheckEntry(1));
    EXPECT_TRUE(menu->checkEntryAlone(2));
    EXPECT_FALSE(menu->isCheckEntry(1));
    EXPECT_TRUE(menu->isCheckEntry(2));
    EXPECT_FALSE(menu->checkEntry(3, true));
    EXPECT_FALSE(menu->isCheckEntry(-1));

    menu->setValue(1.7f);
    EXPECT_EQ(menu->getCurrent(), 1);
    EXPECT_FLOAT_EQ(menu->getValue(), 1.7f);
    for (float ignored : {3.f, -1.f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        menu->setValue(ignored);
        EXPECT_EQ(menu->getCurrent(), 1);
    }
    menu->setValue(-0.5f);  // its integer part is 0
    EXPECT_EQ(menu->getCurrent(), 0);

    menu->setStyle(kCheckStyle);  // choosing toggles the entry's own check
    menu->setValue(2.f);
    EXPECT_FALSE(menu->isCheckEntry(2));
    menu->setCurrent(2);
    EXPECT_TRUE(menu->isCheckEntry(2));
}

// ---- the pop-up ---------------------------------------------------------------------

struct PopupTest : MenuTest {
    void SetUp() override
    {
        MenuTest::SetUp();
        sub = new COptionMenu(CRect(0, 0, 10, 10), nullptr, 0);
        sub->addEntry("x");
        sub->addEntry("y");
        for (const char* e : {"A", "-"})
            menu->addEntry(e);
        menu->addSubMenu(sub, "Sub");
        sub->release();  // the menu keeps it
        for (const char* e : {"-GGrey", "-TTitle", "B"})
            menu->addEntry(e);
        paint();
    }
    COptionMenu* sub = nullptr;
};

TEST_F(PopupTest, ItemsAndIdsThroughTheTree)
{
    const gui::platform::PopupMenu items = menu->popupMenu();
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(items[0].label, "A");
    EXPECT_EQ(items[0].id, 0);
    EXPECT_EQ(items[1].kind, PopupItem::Kind::Separator);
    EXPECT_EQ(items[2].kind, PopupItem::Kind::SubMenu);
    EXPECT_EQ(items[2].label, "Sub");
    ASSERT_EQ(items[2].children.size(), 2u);
    EXPECT_EQ(items[2].children[0].id, 6);  // after the six ids of the menu itself
    EXPECT_EQ(items[2].children[1].id, 7);
    EXPECT_TRUE(items[3].greyed);
    EXPECT_EQ(items[3].label, "Grey");
    EXPECT_TRUE(items[4].disabled);
    EXPECT_EQ(items[4].label, "Title");
    EXPECT_EQ(items[5].id, 5);
    EXPECT_FALSE(items[5].checked);

    menu->setStyle(kCheckCurrentStyle);
    menu->setCurrent(5);
    EXPECT_TRUE(menu->popupMenu()[5].checked);
    EXPECT_FALSE(menu->popupMenu()[0].checked);
    menu->setStyle(kCheckStyle | kCheckCurrentStyle);  // own checks win
    menu->checkEntry(0, true);
    EXPECT_TRUE(menu->popupMenu()[0].checked);
    EXPECT_FALSE(menu->popupMenu()[5].checked);

    menu->setNbItemsPerColumn(2);
    const auto columns = menu->popupMenu();
    EXPECT_FALSE(columns[0].columnBreak);
    EXPECT_TRUE(columns[2].columnBreak);
    EXPECT_TRUE(columns[4].columnBreak);
    EXPECT_FALSE(columns[5].columnBreak);

    // A "-M" entry without a sub-menu left is not listed; the ids after it stay.
    menu->addEntry("-MOrphan");
    menu->addEntry("C");
    const auto withOrphan = menu->popupMenu();
    ASSERT_EQ(withOrphan.size(), 7u);
    EXPECT_EQ(withOrphan[6].label, "C");
    EXPECT_EQ(withOrphan[6].id, 7);
}

TEST_F(PopupTest, AChoiceInASubMenuReportsTheSubMenuAndLeavesTheParent)
{
    menu->setCurrent(5);
    const float before = menu->getValue();
    window->choosePopupLabel("y");
    press(CPoint(30, 40), kLButton);
    EXPECT_EQ(window->popupCount(), 1);
    EXPECT_EQ(menu->getCurrent(), 5);
    EXPECT_FLOAT_EQ(menu->getValue(), before);
    EXPECT_EQ(sub->getCurrent(), 1);
    EXPECT_FLOAT_EQ(sub->getValue(), 1.f);
    ASSERT_EQ(listener.changes.size(), 1u);
    EXPECT_EQ(listener.changes[0].control, sub);
    EXPECT_EQ(listener.changes[0].gestureDepth, 1);
    EXPECT_EQ(menu->getLastMenu(), sub);
    EXPECT_EQ(menu->getLastResult(), 7);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(editor.log, "begin21 change end21 ");

    window->choosePopupLabel("B");
    press(CPoint(30, 40), kLButton);
    EXPECT_EQ(listener.changes.back().control, menu);
    EXPECT_FLOAT_EQ(menu->getValue(), 5.f);
    EXPECT_EQ(menu->getLastMenu(), menu);
}

TEST_F(PopupTest, NoChoiceReportsNothingButStillClosesTheGesture)
{
    press(CPoint(30, 40), kLButton);  // dismissed
    window->choosePopupId(0x10000);   // larger than 16 bits: no choice either
    press(CPoint(30, 40), kLButton);
    EXPECT_EQ(window->popupCount(), 2);
    EXPECT_TRUE(listener.changes.empty());
    EXPECT_EQ(menu->getLastResult(), -1);
    EXPECT_EQ(editor.begins, 2);
    EXPECT_EQ(editor.ends, 2);

    listener.takesModifiers = 1;  // the listener takes a modified press: no pop-up
    press(CPoint(30, 40), kLButton | kShift);
    EXPECT_EQ(window->popupCount(), 2);
    listener.takesModifiers = 0;
    press(CPoint(30, 40), kMButton);  // the middle button does not open it
    EXPECT_EQ(window->popupCount(), 2);
}

TEST_F(PopupTest, ThePopupOpensUnderTheMenuOrAboveItAndFollowsTheButtonPressed)
{
    press(CPoint(30, 40), kLButton);
    // Window origin (100, 50), the page's origin, the menu's left and bottom.
    EXPECT_EQ(window->lastPopupPosition(), CPoint(100 + kPageLeft + 20, 50 + kPageTop + 50));
    EXPECT_FALSE(window->lastPopupFollowedRightButton());
    menu->setStyle(kPopupStyle);
    press(CPoint(30, 40), kRButton);
    EXPECT_EQ(window->lastPopupPosition(), CPoint(100 + kPageLeft + 20, 50 + kPageTop + 30));
    EXPECT_TRUE(window->lastPopupFollowedRightButton());
    EXPECT_EQ(menu->getLastButtons(), kRButton);
}

TEST_F(PopupTest, ThePressedBackgroundShowsWhileThePopupIsOpen)
{
    testbitmaps::install(770, testbitmaps::makeBmp(80, 20, [](int32_t, int32_t) { return 0x00A0A0u; },
                                                   testbitmaps::Format::Rgb24));
    CBitmap* pressed = new CBitmap(770);
    auto* withLook = add(new COptionMenu(CRect(20, 100, 100, 120), &listener, 23, nullptr, pressed));
    pressed->release();
    withLook->addEntry("one");
    paint();
    const CPoint inside = onPage(22, 102);
    EXPECT_NE(pixels().pixel(inside.h, inside.v), 0x00A0A0u);
    press(CPoint(30, 110), kLButton);
    EXPECT_EQ(pixels().pixel(inside.h, inside.v), 0x00A0A0u);  // drawn at the menu, in page coordinates
    EXPECT_TRUE(withLook->isDirty());  // the normal look comes back at the next idle
    frame->idle();
    EXPECT_NE(pixels().pixel(inside.h, inside.v), 0x00A0A0u);
}

TEST_F(PopupTest, SubMenusCannotNestInThemselvesAndGoWithTheirEntries)
{
    EXPECT_FALSE(menu->addSubMenu(menu, "self"));
    EXPECT_FALSE(sub->addSubMenu(menu, "parent"));
    EXPECT_FALSE(menu->addSubMenu(nullptr, "none"));
    EXPECT_FALSE(menu->addSubMenu(sub, nullptr));

    auto* second = new COptionMenu(CRect(0, 0, 10, 10), nullptr, 0);
    second->addEntry("z");
    menu->addSubMenu(second, "Second");
    second->release();
    EXPECT_EQ(menu->getNbSubMenus(), 2);
    // Removing the first sub-menu's entry takes that sub-menu: the second keeps its entry.
    ASSERT_TRUE(menu->removeEntry(2));
    EXPECT_EQ(menu->getNbSubMenus(), 1);
    const auto items = menu->popupMenu();
    ASSERT_EQ(items.back().kind, PopupItem::Kind::SubMenu);
    EXPECT_EQ(items.back().label, "Second");
    ASSERT_EQ(items.back().children.size(), 1u);
    EXPECT_EQ(items.back().children[0].label, "z");
}

TEST_F(PopupTest, AListenerThatTakesTheMenuAwayDuringTheReportIsSafe)
{
    listener.onChange = [this](CControl*) {
        if (page->isChild(menu))
            page->removeView(menu, true);
    };
    window->choosePopupLabel("x");
    press(CPoint(30, 40), kLButton);
    EXPECT_EQ(page->getNbViews(), 0);
    EXPECT_EQ(editor.begins, 1);
    EXPECT_EQ(editor.ends, 1);
}

TEST_F(PopupTest, FocusGainedWithoutAPressBracketsItsOwnGesture)
{
    window->choosePopupLabel("A");
    menu->focusGained(nullptr);
    EXPECT_EQ(editor.log, "begin21 change end21 ");
    EXPECT_EQ(window->lastPopupPosition(), CPoint(100 + kPageLeft + 20, 50 + kPageTop + 50));
}

}  // namespace
