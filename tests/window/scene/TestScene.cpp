#include "tests/window/scene/TestScene.h"

#include <cstdio>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace scene {

namespace {

using gui::platform::PopupItem;

constexpr int32_t kContainerLeft = 10, kContainerTop = 10;
constexpr int32_t kMaxTrackingPolls = 1000000;  // a loop that lost its release still ends

std::string format(const char* pattern, int a, int b = 0, int c = 0)
{
    char text[96];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

class BitmapView : public CView {
public:
    BitmapView(const CRect& rect, CBitmap* bitmap) : CView(rect) { setBackground(bitmap); }
    void draw(CDrawContext* context) override
    {
        pBackground->drawBitmap(context, size);
        setDirty(false);
    }
};

class TextView : public CView {
public:
    explicit TextView(const CRect& rect) : CView(rect) {}
    void draw(CDrawContext* context) override
    {
        context->setFont(kNormalFontVeryBig);
        context->setFontColor(CColor{236, 228, 206, 255});
        context->drawString("Korvalex window test", CRect(size.left, size.top, size.right, size.top + 26), false,
                            kLeftText);
        context->setFont(kNormalFont);
        context->setFontColor(CColor{40, 30, 20, 255});
        context->setFillColor(CColor{240, 200, 80, 255});
        context->drawString("0.50 dB", CRect(size.left, size.top + 28, size.left + 80, size.bottom), true, kCenterText);
        setDirty(false);
    }
};

// Records what reaches it, in its own coordinates.
class Pad : public CView {
public:
    Pad(const CRect& rect, Report* r) : CView(rect), report(r) {}

    void draw(CDrawContext* context) override
    {
        context->setFillColor(CColor{64, 118, 92, 255});
        context->drawRectangle(size, 1);
        context->setFrameColor(CColor{150, 210, 170, 255});
        context->drawRectangle(size, 0);
        setDirty(false);
    }

    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons) override
    {
        getFrame()->setFocusView(this);  // keys come here from now on
        say(format("press %d %d %d", where.h - size.left, where.v - size.top, buttons));
        if (!context || !(buttons & (kLButton | kRButton | kMButton)))
            return;
        CPoint last = where;
        for (int32_t polls = 0; polls < kMaxTrackingPolls; ++polls) {
            CPoint now;
            getMouseLocation(context, now);
            if (now != last)
                say(format("move %d %d", now.h - size.left, now.v - size.top));
            last = now;
            if (!(context->getMouseButtons() & (kLButton | kRButton | kMButton)))
                break;
            getFrame()->trackIdle();
        }
        say(format("release %d %d", last.h - size.left, last.v - size.top));
    }

    bool wheel(CDrawContext*, const CPoint& where, float distance) override
    {
        say(format("wheel %d at %d %d", static_cast<int>(distance), where.h - size.left, where.v - size.top));
        return true;
    }

    int32_t keyDown(const CKeyCode& key) override
    {
        say(format("key down %d %d %d", key.character, key.virt, key.modifier));
        return 1;
    }
    int32_t keyUp(const CKeyCode& key) override
    {
        say(format("key up %d %d %d", key.character, key.virt, key.modifier));
        return 1;
    }

private:
    void say(const std::string& text)
    {
        if (report)
            report->line(text);
    }
    Report* report;
};

// Opens the pop-up menu below itself, where an option menu opens its list.
class MenuButton : public CView {
public:
    MenuButton(const CRect& rect, Report* r) : CView(rect), report(r) {}

    void draw(CDrawContext* context) override
    {
        context->setFillColor(CColor{226, 230, 236, 255});
        context->drawRectangle(size, 1);
        context->setFont(kNormalFontBig);
        context->setFontColor(CColor{30, 34, 40, 255});
        context->drawString("Amplifier...", size, false, kCenterText);
        setDirty(false);
    }

    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons) override
    {
        gui::platform::PlatformWindow* window = getFrame()->getPlatformWindow();
        if (!context || !window)
            return;
        CPoint at(size.left, size.bottom);
        localToFrame(at);
        at.offset(context->offsetScreen.h, context->offsetScreen.v);
        if (report)
            report->line(format("menu-open %d %d", at.h, at.v));
        const int32_t choice = window->popupMenu(menu(), at, (buttons & kRButton) != 0);
        if (report)
            report->line(format("menu %d", choice));
    }

private:
    Report* report;
};

PopupItem item(const char* label, int32_t id)
{
    PopupItem i;
    i.label = label;
    i.id = id;
    return i;
}

}  // namespace

gui::platform::PopupMenu menu()
{
    PopupItem clean = item("Clean", 0);
    clean.checked = true;
    PopupItem separator;
    separator.kind = PopupItem::Kind::Separator;
    separator.id = 2;
    PopupItem title = item("Amplifiers", 3);
    title.disabled = true;
    PopupItem vintage = item("Vintage", 4);
    vintage.greyed = true;
    PopupItem more = item("More", 5);
    more.kind = PopupItem::Kind::SubMenu;
    PopupItem plexi = item("Plexi", kPlexiId);
    plexi.checked = true;
    PopupItem bass = item("Bass", 11);
    bass.columnBreak = true;
    more.children = {item("Tweed", 8), plexi, item("Modern", 10), bass, item("Acoustic", 12)};
    PopupItem lead = item("Lead", 6);
    lead.columnBreak = true;
    return {clean, item("Crunch", 1), separator, title, vintage, more, lead, item("Solo", 7)};
}

CFrame* create(void* parent, CFrameEditor* editor, Report* report)
{
    CFrame* frame = new CFrame(CRect(0, 0, kWidth, kHeight), parent, editor);
    frame->setBackgroundColor(CColor{18, 20, 24, 255});
    auto* container = new CViewContainer(CRect(kContainerLeft, kContainerTop, kWidth - 10, kHeight - 10), frame);
    container->setBackgroundColor(CColor{38, 42, 50, 255});
    CBitmap* bitmap = new CBitmap(kBitmapId);
    container->addView(new BitmapView(CRect(10, 10, 10 + 64, 10 + 48), bitmap));
    bitmap->release();
    container->addView(new TextView(CRect(90, 10, 390, 68)));
    container->addView(new Pad(CRect(kPadLeft - kContainerLeft, kPadTop - kContainerTop, kPadRight - kContainerLeft,
                                     kPadBottom - kContainerTop),
                               report));
    container->addView(new MenuButton(CRect(kMenuLeft - kContainerLeft, kMenuTop - kContainerTop,
                                            kMenuRight - kContainerLeft, kMenuBottom - kContainerTop),
                                      report));
    frame->addView(container);
    return frame;
}

}  // namespace scene
