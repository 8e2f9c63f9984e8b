#include "gui/controls/CSplashScreen.h"

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

namespace {

void drawPicture(CDrawContext* context, CBitmap* bitmap, const CRect& dest, const CPoint& source, bool blended,
                 uint8_t alpha)
{
    if (blended)
        bitmap->drawAlphaBlend(context, dest, source, alpha);
    else
        bitmap->drawBitmap(context, dest, source);
}

}  // namespace

CSplashScreen::CSplashScreen(const CRect& rect, CControlListener* listener_, int32_t tag_, CBitmap* background,
                             const CRect& toDisplay_, const CPoint& offset_)
    : CControl(rect, listener_, tag_, background), toDisplay(toDisplay_), offset(offset_)
{
}

CSplashScreen::~CSplashScreen() { dropView(); }

bool CSplashScreen::isKindOf(const char* className) const
{
    return classNameIs(className, "CSplashScreen") || CControl::isKindOf(className);
}

void CSplashScreen::draw(CDrawContext* context)
{
    if (drawnValue() != 0.f && pBackground)
        drawPicture(context, pBackground, toDisplay, offset, bTransparencyEnabled, alpha);
    setDirty(false);
}

bool CSplashScreen::hitTest(const CPoint& where, int32_t buttons)
{
    return mouseableArea.containsInclusive(where) && (buttons & kLButton);
}

void CSplashScreen::trackMouse(CDrawContext* context, CPoint&, int32_t buttons)
{
    if (!acceptsPress(context, buttons) || listenerTookPress(context, buttons) || !(buttons & kLButton))
        return;
    value = drawnValue() == 0.f ? 1.f : 0.f;
    if (value == 0.f)
        return;
    dropView();  // one picture at a time
    auto* view = new CSplashScreenView(toDisplay, this);
    if (pParentFrame && pParentFrame->setModalView(view)) {
        pView = view;
        if (listener)
            listener->valueChanged(context, this);
    } else {
        view->release();
    }
    setDirty(true);
}

void CSplashScreen::unSplash(CDrawContext* context)
{
    if (value == 0.f)
        return;
    value = 0.f;
    if (listener)
        listener->valueChanged(context, this);
}

void CSplashScreen::viewClosed(CSplashScreenView* view)
{
    if (pView == view)
        pView = nullptr;
}

// Takes the picture off the frame (if it is still there) and drops the reference made
// with it, which destroys it unless it is handling a press right now.
void CSplashScreen::dropView()
{
    CSplashScreenView* view = pView;
    if (!view)
        return;
    pView = nullptr;
    view->pSplash = nullptr;
    if (CFrame* frame = view->getFrame(); frame && frame->getModalView() == view)
        frame->setModalView(nullptr);
    view->release();
}

// ---- the picture --------------------------------------------------------------------

CSplashScreenView::CSplashScreenView(const CRect& rect, CSplashScreen* splash)
    : CView(rect), pSplash(splash), offset(splash->getOffset()), alpha(splash->getAlpha())
{
    setTransparency(splash->getTransparency());
    setBackground(splash->getBackground());
}

void CSplashScreenView::draw(CDrawContext* context)
{
    if (pBackground)
        drawPicture(context, pBackground, size, offset, bTransparencyEnabled, alpha);
    setDirty(false);
}

// A left press closes the picture: the splash screen hears of it, the whole panel is drawn
// again, and the view goes.
void CSplashScreenView::trackMouse(CDrawContext* context, CPoint&, int32_t buttons)
{
    if (buttons == -1)
        buttons = context ? context->getMouseButtons() : 0;
    if (!(buttons & kLButton))
        return;
    if (pSplash)
        pSplash->unSplash(context);  // its listener may even destroy the splash screen
    if (CFrame* frame = getFrame()) {
        frame->setDirty(true);
        if (frame->getModalView() == this)
            frame->setModalView(nullptr);
    }
    if (CSplashScreen* splash = pSplash) {
        pSplash = nullptr;
        splash->viewClosed(this);
        release();  // the reference made with the view; whoever dispatched the press holds another
    }
}
