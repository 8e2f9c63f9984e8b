#pragma once
// A view for tests that paints itself in one colour and records what reaches it.

#include <string>
#include <vector>

#include "gui/CDrawContext.h"
#include "gui/CView.h"

class RecordingView : public CView {
public:
    RecordingView(const CRect& rect, CColor fill) : CView(rect), colour(fill) {}

    void draw(CDrawContext* context) override
    {
        context->setFillColor(colour);
        context->drawRectangle(size, 1);
        ++draws;
        setDirty(false);
    }
    void trackMouse(CDrawContext* context, CPoint& where, int32_t buttons) override
    {
        presses.push_back(where);
        lastButtons = buttons;
        if (onPress)
            onPress(this);
        if (context)
            getMouseLocation(context, polled);
    }
    int32_t keyDown(const CKeyCode& key) override
    {
        keys.push_back(key.virt);
        return answersKeys ? 1 : -1;
    }
    bool wheel(CDrawContext*, const CPoint& where, float distance) override
    {
        wheels.push_back(distance);
        wheelAt = where;
        return true;
    }
    void focusLost(CDrawContext*) override { ++focusLosses; }
    void dragEnter(CDrawContext*, CDragContainer*, const CPoint&) override { events += "enter "; }
    void dragLeave(CDrawContext*, CDragContainer*, const CPoint&) override { events += "leave "; }
    void dragMove(CDrawContext*, CDragContainer*, const CPoint&) override { events += "move "; }
    bool dropDrag(CDrawContext*, CDragContainer*, const CPoint&) override
    {
        events += "drop ";
        return true;
    }

    CColor colour;
    int draws = 0;
    std::vector<CPoint> presses;
    int32_t lastButtons = 0;
    CPoint polled;
    std::vector<int> keys;
    bool answersKeys = false;
    std::vector<float> wheels;
    CPoint wheelAt;
    int focusLosses = 0;
    std::string events;
    void (*onPress)(RecordingView*) = nullptr;
};
