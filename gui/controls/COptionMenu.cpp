#include "gui/controls/COptionMenu.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "gui/CBitmap.h"
#include "gui/CFrame.h"

using gui::platform::PopupItem;
using gui::platform::PopupMenu;

namespace {

constexpr int32_t kEntryGrowth = 32;
constexpr int32_t kSubMenuGrowth = 10;
constexpr int32_t kMaxColumnMenuEntries = 160;  // bigger menus are not split into columns
constexpr int32_t kMaxPopupId = 0xFFFF;         // the window layer's ids are 16-bit

bool startsWith(const char* text, const char* marker) { return std::strncmp(text, marker, std::strlen(marker)) == 0; }

// Copies at most size - 1 characters and terminates.
void copyText(char* dest, size_t size, const char* src)
{
    const size_t n = std::min(size - 1, std::strlen(src));
    std::memcpy(dest, src, n);
    dest[n] = 0;
}

}  // namespace

COptionMenu::COptionMenu(const CRect& rect, CControlListener* listener_, int32_t tag_, CBitmap* background,
                         CBitmap* bgWhenClick_, int32_t style_)
    : CParamDisplay(rect, background, style_), bgWhenClick(bgWhenClick_)
{
    listener = listener_;
    tag = tag_;
    if (bgWhenClick)
        bgWhenClick->retain();
}

COptionMenu::~COptionMenu()
{
    removeAllEntry();
    setLastMenu(nullptr);
    if (bgWhenClick)
        bgWhenClick->release();
}

bool COptionMenu::isKindOf(const char* className) const
{
    return classNameIs(className, "COptionMenu") || CParamDisplay::isKindOf(className);
}

// ---- entries ------------------------------------------------------------------------

bool COptionMenu::makeRoomForEntry()
{
    if (getNbEntries() >= kMaxEntries)
        return false;
    if (entries.size() < entries.capacity() && checks.size() < checks.capacity())
        return true;
    try {
        entries.reserve(entries.size() + kEntryGrowth);
        checks.reserve(checks.size() + kEntryGrowth);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// marker, then with prefix numbers the position + 1 and a space, then the text.
void COptionMenu::formatEntry(Text& entry, const char* marker, const char* text, int32_t position) const
{
    static const char* const numbered[] = {"%s%1d %s", "%s%02d %s", "%s%03d %s"};
    if (prefixNumbers >= 2 && prefixNumbers <= 4) {
        std::snprintf(entry.data(), entry.size(), numbered[prefixNumbers - 2], marker, position + 1, text);
        return;
    }
    copyText(entry.data(), entry.size(), marker);
    const size_t used = std::strlen(entry.data());
    copyText(entry.data() + used, entry.size() - used, text);
}

bool COptionMenu::addEntry(const char* text, int32_t index)
{
    if (!makeRoomForEntry())
        return false;
    int32_t position = getNbEntries();
    if (index >= 0) {
        position = std::min(index, position);
        if (currentIndex >= index)
            ++currentIndex;
    }
    Text entry{};
    if (text)
        formatEntry(entry, "", text, position);
    entries.insert(entries.begin() + position, entry);  // no allocation: room was made
    checks.insert(checks.begin() + position, 0);
    if (currentIndex == -1)
        currentIndex = 0;
    return true;
}

bool COptionMenu::addSubMenu(COptionMenu* subMenu, const char* text)
{
    // A menu inside itself would be built without end.
    if (!subMenu || !text || subMenu == this || subMenu->contains(this) || !makeRoomForEntry())
        return false;
    if (subMenus.size() == subMenus.capacity()) {
        try {
            subMenus.reserve(subMenus.size() + kSubMenuGrowth);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    Text entry{};
    formatEntry(entry, "-M", text, getNbEntries());
    entries.push_back(entry);
    checks.push_back(0);
    subMenus.push_back(subMenu);
    subMenu->retain();
    if (currentIndex == -1)
        currentIndex = 0;
    return true;
}

bool COptionMenu::isSeparator(int32_t index) const { return std::strcmp(entries[size_t(index)].data(), "-") == 0; }
bool COptionMenu::isTitle(int32_t index) const { return startsWith(entries[size_t(index)].data(), "-T"); }

int32_t COptionMenu::positionOfChoosable(int32_t n) const
{
    for (int32_t i = 0; i < getNbEntries(); ++i)
        if (!isSeparator(i) && !isTitle(i) && n-- == 0)
            return i;
    return -1;
}

int32_t COptionMenu::getCurrent(char* text, bool countSeparators) const
{
    if (!inRange(currentIndex))
        return -1;
    if (text)
        copyText(text, kTextSize, entries[size_t(currentIndex)].data());
    if (countSeparators)
        return currentIndex;
    int32_t choosable = 0;
    for (int32_t i = 0; i < currentIndex; ++i)
        choosable += !isSeparator(i) && !isTitle(i);
    return choosable;
}

bool COptionMenu::setCurrent(int32_t index, bool countSeparators)
{
    if (!inRange(index))
        return false;
    const int32_t position = countSeparators ? index : positionOfChoosable(index);
    if (position < 0 || isSeparator(position))
        return false;
    currentIndex = position;
    if (style & kCheckStyle)
        checks[size_t(position)] = !checks[size_t(position)];
    setDirty();
    return true;
}

bool COptionMenu::getEntry(int32_t index, char* text) const
{
    if (!inRange(index) || !text)
        return false;
    copyText(text, kTextSize, entries[size_t(index)].data());
    return true;
}

bool COptionMenu::setEntry(int32_t index, const char* text)
{
    if (!inRange(index) || !text)
        return false;
    copyText(entries[size_t(index)].data(), kTextSize, text);
    return true;
}

// Sub-menus pair with the "-M" entries in order.
int32_t COptionMenu::subMenuIndexOf(int32_t position) const
{
    if (!startsWith(entries[size_t(position)].data(), "-M"))
        return -1;
    int32_t before = 0;
    for (int32_t i = 0; i < position; ++i)
        before += startsWith(entries[size_t(i)].data(), "-M");
    return before < getNbSubMenus() ? before : -1;
}

bool COptionMenu::removeEntry(int32_t index)
{
    if (!inRange(index))
        return false;
    // The sub-menu of a removed "-M" entry goes with it, so the later ones keep their entries.
    if (const int32_t sub = subMenuIndexOf(index); sub >= 0) {
        COptionMenu* menu = subMenus[size_t(sub)];
        subMenus.erase(subMenus.begin() + sub);
        menu->release();
    }
    entries.erase(entries.begin() + index);
    checks.erase(checks.begin() + index);
    if (currentIndex >= index)
        --currentIndex;
    if (entries.empty())
        currentIndex = -1;
    return true;
}

bool COptionMenu::removeAllEntry()
{
    std::vector<Text>().swap(entries);
    std::vector<uint8_t>().swap(checks);
    std::vector<COptionMenu*> menus;
    menus.swap(subMenus);
    for (COptionMenu* menu : menus)
        menu->release();
    currentIndex = -1;
    return true;
}

int32_t COptionMenu::getIndex(const char* text) const
{
    if (!text)
        return -1;
    for (int32_t i = 0; i < getNbEntries(); ++i)
        if (std::strcmp(entries[size_t(i)].data(), text) == 0)
            return i;
    return -1;
}

bool COptionMenu::checkEntry(int32_t index, bool state)
{
    if (!inRange(index))
        return false;
    checks[size_t(index)] = state;
    return true;
}

bool COptionMenu::checkEntryAlone(int32_t index)
{
    if (!inRange(index))
        return false;
    std::fill(checks.begin(), checks.end(), uint8_t(0));
    checks[size_t(index)] = 1;
    return true;
}

bool COptionMenu::isCheckEntry(int32_t index) const { return inRange(index) && checks[size_t(index)]; }

void COptionMenu::setPrefixNumbers(int32_t digitsAndSpace)
{
    prefixNumbers = digitsAndSpace >= 2 && digitsAndSpace <= 4 ? digitsAndSpace : 0;
}

COptionMenu* COptionMenu::getSubMenu(int32_t index) const
{
    return index >= 0 && index < getNbSubMenus() ? subMenus[size_t(index)] : nullptr;
}

bool COptionMenu::contains(const COptionMenu* menu) const
{
    return std::any_of(subMenus.begin(), subMenus.end(),
                       [menu](const COptionMenu* sub) { return sub == menu || sub->contains(menu); });
}

void COptionMenu::setValue(float newValue)
{
    // The integer part must be an entry's index (a NaN is none).
    if (!(newValue > -1.f && newValue < float(getNbEntries())))
        return;
    const int32_t index = int32_t(newValue);
    currentIndex = index;
    if (style & kCheckStyle)
        checks[size_t(index)] = !checks[size_t(index)];
    value = newValue;
    setDirty();
}

// ---- drawing ------------------------------------------------------------------------

// The current entry without its number.
void COptionMenu::draw(CDrawContext* context)
{
    const char* text = nullptr;
    if (inRange(currentIndex)) {
        text = entries[size_t(currentIndex)].data();
        text += std::min(std::strlen(text), size_t(prefixNumbers));
    }
    drawText(context, text);
}

// The pressed look, straight onto the window while the pop-up is open. The press's
// context is the frame's: the menu's rectangle is moved into frame coordinates.
void COptionMenu::drawPressed(CDrawContext* context)
{
    CPoint origin(0, 0);
    if (pParentView)
        pParentView->localToFrame(origin);
    const char* text = inRange(currentIndex) ? entries[size_t(currentIndex)].data() : "";
    enterOffsets(context, origin);
    drawText(context, text, bgWhenClick);
    leaveOffsets(context, origin);
}

// ---- the pop-up ---------------------------------------------------------------------

void COptionMenu::trackMouse(CDrawContext* context, CPoint&, int32_t buttons)
{
    if (!getMouseEnabled() || !pParentFrame || !context)
        return;
    if (buttons == -1)
        buttons = context->getMouseButtons();
    lastButtons = buttons;
    if (listenerTookPress(context, buttons) || !(buttons & (kLButton | kRButton | kApple)))
        return;
    if (bgWhenClick)
        drawPressed(context);
    beginEdit();
    focusGained(context);
}

void COptionMenu::focusLost(CDrawContext*) { pPlatformMenu = nullptr; }

void COptionMenu::setLastMenu(COptionMenu* menu)
{
    if (menu == lastMenu)
        return;
    if (menu && menu != this)
        menu->retain();
    if (lastMenu && lastMenu != this)
        lastMenu->release();
    lastMenu = menu;
}

PopupMenu COptionMenu::popupMenu() const
{
    PopupMenu items;
    std::vector<IdRange> ranges;
    int32_t nextId = 0;
    buildPopup(items, ranges, nextId);
    return items;
}

// Each menu takes the next ids for its entries, then its sub-menus theirs as their
// entries come.
void COptionMenu::buildPopup(PopupMenu& items, std::vector<IdRange>& ranges, int32_t& nextId) const
{
    const int32_t count = getNbEntries();
    const int32_t base = nextId;
    nextId = gui::addSat(nextId, count);
    ranges.push_back(IdRange{const_cast<COptionMenu*>(this), base, count});
    size_t nextSubMenu = 0;
    for (int32_t k = 0; k < count; ++k) {
        const char* text = entries[size_t(k)].data();
        PopupItem item;
        item.id = gui::addSat(base, k);
        if (std::strcmp(text, "-") == 0) {
            item.kind = PopupItem::Kind::Separator;
            items.push_back(std::move(item));
            continue;
        }
        item.columnBreak = count < kMaxColumnMenuEntries && nbItemsPerColumn > 0 && k > 0 && k % nbItemsPerColumn == 0;
        if (startsWith(text, "-M")) {
            if (nextSubMenu >= subMenus.size())
                continue;  // no sub-menu left for it
            item.kind = PopupItem::Kind::SubMenu;
            item.label = text + 2;
            subMenus[nextSubMenu++]->buildPopup(item.children, ranges, nextId);
        } else if (startsWith(text, "-G")) {
            item.label = text + 2;
            item.greyed = true;
        } else if (startsWith(text, "-T")) {
            item.label = text + 2;
            item.disabled = true;
        } else {
            item.label = text;
            if (style & kCheckStyle)
                item.checked = checks[size_t(k)] != 0;
            else if (style & kCheckCurrentStyle)
                item.checked = k == currentIndex;
        }
        items.push_back(std::move(item));
    }
}

void COptionMenu::focusGained(CDrawContext* context)
{
    CFrame* frame = pParentFrame;
    if (!frame)
        return;
    retain();  // the listener may take the menu off the panel
    lastResult = -1;
    setLastMenu(nullptr);
    if (!isEditing())
        beginEdit();  // opened other than by a press: the gesture is this pop-up's own

    // Position in the frame: the views the context has entered, plus the origin of every
    // container around the menu; the frame puts it on the screen.
    gui::platform::PlatformWindow* window = frame->getPlatformWindow();
    CPoint at;
    if (context)
        at = CPoint(context->offsetScreen).offset(-context->getWindowOrigin().h, -context->getWindowOrigin().v);
    for (CView* parent = pParentView; parent; parent = parent->getParentView())
        if (parent->notify(this, kMsgCheckIfViewContainer) == 1)
            at.offset(parent->getViewSize().left, parent->getViewSize().top);
    at.offset(size.left, (style & kPopupStyle) ? size.top : size.bottom);

    std::vector<IdRange> ranges;
    PopupMenu items;
    int32_t nextId = 0;
    buildPopup(items, ranges, nextId);
    pPlatformMenu = &items;
    int32_t id = frame->popupMenu(items, at, (lastButtons & kRButton) != 0);
    if (id < 0 || id > kMaxPopupId)
        id = -1;
    lastResult = id;
    pPlatformMenu = nullptr;

    if (id >= 0 || bgWhenClick) {
        CDrawContext* made = nullptr;
        if (id >= 0 && !context)
            context = made = new CDrawContext(frame, nullptr, window);
        if (bgWhenClick)
            setDirty();  // back to the normal look
        const auto owner = std::find_if(ranges.begin(), ranges.end(), [id](const IdRange& r) {
            return id >= r.base && id - r.base < r.count;
        });
        if (id >= 0 && owner != ranges.end()) {
            setLastMenu(owner->menu);
            owner->menu->setValue(float(id - owner->base));
            if (listener)
                listener->valueChanged(context, owner->menu);
        }
        if (made)
            made->release();
    }
    frame->setFocusView(nullptr);
    endEdit();
    release();
}
