#pragma once
// Keeps a view alive while it handles an event that may take it out of its container (a
// page swap from inside a button's own press, a view that releases itself when clicked).

#include "gui/CView.h"

class Hold {
public:
    explicit Hold(CView* v) : view(v) { view->retain(); }
    ~Hold() { view->release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    CView* view;
};
