#pragma once
// The window tests' scene, made with the toolkit only: a frame with a container, a bitmap,
// text, a pad that records the presses, drags, wheel turns and keys it receives, and a
// button that opens a pop-up menu with every kind of item. What the views receive is
// written to a SceneReport as lines of text ("press 20 20 1", "move 25 20", "menu 9"...).
// Built into the test plug-in (with a real window layer) and into the tests (headless,
// for the pixels the window must show).

#include <cstdint>
#include <string>

#include "gui/platform/PopupMenu.h"

class CFrame;
class CFrameEditor;

namespace scene {

constexpr int32_t kWidth = 420;
constexpr int32_t kHeight = 280;
constexpr int32_t kBitmapId = 100;

// Where things are, in frame (editor) coordinates.
constexpr int32_t kPadLeft = 30, kPadTop = 100, kPadRight = 210, kPadBottom = 250;
constexpr int32_t kMenuLeft = 230, kMenuTop = 100, kMenuRight = 400, kMenuBottom = 130;

class Report {
public:
    virtual ~Report() = default;
    virtual void line(const std::string& text) = 0;
};

// The menu the button opens: items, a separator, a title, a greyed item, a checked item,
// a sub-menu with a column break, and a column break in the menu itself. Ids 0..12;
// "Plexi" (in the sub-menu) is id 9.
gui::platform::PopupMenu menu();
constexpr int32_t kPlexiId = 9;

// A frame of kWidth x kHeight in `parent` (null: no window) with the scene in it.
CFrame* create(void* parent, CFrameEditor* editor, Report* report);

}  // namespace scene
