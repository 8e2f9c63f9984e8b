#pragma once
// A control that, when pressed, shows a picture over the panel as the frame's modal view
// until that picture is clicked.

#include "gui/controls/CControl.h"

class CSplashScreenView;

class CSplashScreen : public CControl {
public:
    // `toDisplay`: where the picture is shown; `offset`: its source point in the background.
    CSplashScreen(const CRect& size, CControlListener* listener, int32_t tag, CBitmap* background,
                  const CRect& toDisplay, const CPoint& offset = CPoint(0, 0));
    ~CSplashScreen() override;  // takes a picture still shown off the frame

    void draw(CDrawContext* context) override;
    bool hitTest(const CPoint& where, int32_t buttons = -1) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;
    bool isKindOf(const char* className) const override;

    virtual void unSplash(CDrawContext* context);

    const CRect& getDisplayRect() const { return toDisplay; }
    const CPoint& getOffset() const { return offset; }
    uint8_t getAlpha() const { return alpha; }
    CSplashScreenView* getSplashView() const { return pView; }

private:
    friend class CSplashScreenView;
    void viewClosed(CSplashScreenView* view);  // the view closed itself
    void dropView();

    CRect toDisplay;
    CPoint offset;
    uint8_t alpha = 255;
    CSplashScreenView* pView = nullptr;  // the one reference made with the view
};

// The picture itself, the frame's modal view while shown.
class CSplashScreenView : public CView {
public:
    CSplashScreenView(const CRect& size, CSplashScreen* splash);

    void draw(CDrawContext* context) override;
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons = -1) override;

private:
    friend class CSplashScreen;
    CSplashScreen* pSplash;  // null once the splash screen is gone
    CPoint offset;
    uint8_t alpha;
};
