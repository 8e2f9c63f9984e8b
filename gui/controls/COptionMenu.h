#pragma once
// A pop-up menu: a display that shows its current entry and, when pressed, opens the
// window's pop-up menu with its entries. Entries can open sub-menus, themselves option
// menus; a choice sets the owning (sub-)menu's value to the entry's position and is
// reported to this menu's listener with that (sub-)menu as the control.
//
// Entry texts start with markers that are not shown: exactly "-" is a separator, "-M"
// opens the next sub-menu, "-G" shows the entry greyed, "-T" makes it a title.

#include <array>
#include <vector>

#include "gui/controls/CParamDisplay.h"
#include "gui/platform/PopupMenu.h"

class COptionMenu : public CParamDisplay {
public:
    static constexpr int32_t kMaxEntries = 1024;

    // `bgWhenClick`: drawn under the current entry while the pop-up is open (may be null).
    COptionMenu(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background = nullptr,
                CBitmap* bgWhenClick = nullptr, int32_t style = 0);
    ~COptionMenu() override;

    // Overrides.
    void draw(CDrawContext* context) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    void focusLost(CDrawContext* context) override;
    void focusGained(CDrawContext* context) override;  // opens the pop-up
    bool isKindOf(const char* className) const override;
    void setValue(float v) override;  // selects the entry at the value's integer part

    // Operations of menus, in this order. Texts are cut to kTextSize - 1 characters; the
    // buffers given to getCurrent and getEntry take up to kTextSize bytes.
    virtual bool addEntry(const char* text, int32_t index = -1);  // -1 appends
    virtual bool addSubMenu(COptionMenu* subMenu, const char* text);
    // The current entry's index, counting separators and titles or not; -1 for none.
    virtual int32_t getCurrent(char* text = nullptr, bool countSeparators = true) const;
    virtual bool setCurrent(int32_t index, bool countSeparators = true);
    virtual bool getEntry(int32_t index, char* text) const;
    virtual bool setEntry(int32_t index, const char* text);
    virtual bool removeEntry(int32_t index);
    virtual bool removeAllEntry();
    virtual int32_t getNbEntries() const { return int32_t(entries.size()); }
    virtual int32_t getIndex(const char* text) const;
    virtual bool checkEntry(int32_t index, bool state);
    virtual bool checkEntryAlone(int32_t index);
    virtual bool isCheckEntry(int32_t index) const;
    virtual void setNbItemsPerColumn(int32_t count) { nbItemsPerColumn = count; }
    virtual int32_t getNbItemsPerColumn() const { return nbItemsPerColumn; }
    virtual void* reserved() { return nullptr; }  // keeps the place of an operation this toolkit has not
    virtual void setPrefixNumbers(int32_t digitsAndSpace);  // 2, 3 or 4; others: no numbers

    int32_t getPrefixNumbers() const { return prefixNumbers; }
    int32_t getNbSubMenus() const { return int32_t(subMenus.size()); }
    COptionMenu* getSubMenu(int32_t index) const;
    // The id of the last item chosen (-1: none) and the (sub-)menu it belonged to.
    int32_t getLastResult() const { return lastResult; }
    COptionMenu* getLastMenu() const { return lastMenu; }
    int32_t getLastButtons() const { return lastButtons; }

    // The pop-up tree as the window layer shows it, ids numbered from 0 through the tree.
    gui::platform::PopupMenu popupMenu() const;

private:
    using Text = std::array<char, kTextSize>;
    struct IdRange {
        COptionMenu* menu;
        int32_t base;
        int32_t count;
    };

    bool makeRoomForEntry();
    void formatEntry(Text& entry, const char* marker, const char* text, int32_t position) const;
    bool inRange(int32_t index) const { return index >= 0 && index < getNbEntries(); }
    bool isSeparator(int32_t index) const;
    bool isTitle(int32_t index) const;
    int32_t positionOfChoosable(int32_t n) const;  // the n-th entry that is neither separator nor title
    int32_t subMenuIndexOf(int32_t position) const;
    bool contains(const COptionMenu* menu) const;
    void buildPopup(gui::platform::PopupMenu& items, std::vector<IdRange>& ranges, int32_t& nextId) const;
    void setLastMenu(COptionMenu* menu);
    void drawPressed(CDrawContext* context);

    std::vector<Text> entries;
    std::vector<COptionMenu*> subMenus;  // each holds one reference
    std::vector<uint8_t> checks;
    int32_t currentIndex = -1;
    CBitmap* bgWhenClick;
    int32_t lastButtons = kRButton;
    int32_t nbItemsPerColumn = -1;
    int32_t lastResult = -1;
    int32_t prefixNumbers = 0;
    COptionMenu* lastMenu = nullptr;  // holds one reference unless it is this menu
    const gui::platform::PopupMenu* pPlatformMenu = nullptr;  // while the pop-up is open
};
