#pragma once
// Drawing contexts: pen, brush, font and clip state over a pixel surface. A context made
// for a window draws into the window's surface and, when it is released, presents the
// areas it changed. COffscreenContext draws into a surface of its own and is copied to
// another context in one block.
//
// Coordinates given to a context are logical (see gui/Scale.h); a context draws them onto
// its surface at the scale of its frame, with the fonts and bitmaps drawn for that scale.
//
// Pixel rules: lines leave out their end point; drawRectangle's outline runs through
// (left, top) .. (right - 1, bottom - 1); fillRectangle leaves the first column and row;
// the draw mode applies to lines and outlines (fills, text and bitmaps are copied).

#include <cstdint>
#include <vector>

#include "gui/CReferenceCounter.h"
#include "gui/GuiTypes.h"
#include "gui/PixelSurface.h"
#include "gui/Scale.h"

class CFrame;
namespace gui::platform {
class PlatformWindow;
}
namespace gui::fontdata {
struct Face;
}

enum CDrawMode : int32_t { kCopyMode = 0, kOrMode = 1, kXorMode = 2 };  // kXorMode draws not-xor
enum CLineStyle : int32_t { kLineSolid = 0, kLineOnOffDash = 1 };
enum CTxtFace : int32_t { kNormalFace = 0, kBoldFace = 1, kItalicFace = 2, kUnderlineFace = 4 };
enum CHoriTxtAlign : int32_t { kLeftText = 0, kCenterText = 1, kRightText = 2 };

// The font table: 0 "Arial" 12 bold, 1..6 "Arial" 18, 14, 12, 11, 10, 9, 7 "Symbol" 13.
enum CFont : int32_t {
    kSystemFont = 0,
    kNormalFontVeryBig,
    kNormalFontBig,
    kNormalFont,
    kNormalFontSmall,
    kNormalFontSmaller,
    kNormalFontVerySmall,
    kSymbolFont,
    kNumStandardFonts
};

class CDrawContext : public CReferenceCounter {
public:
    // A context on `deviceContext`, or, without one, on the window's surface. The clip is
    // the frame's rectangle, or (0, 0, 1000, 1000) without a frame.
    CDrawContext(CFrame* frame, gui::PixelSurface* deviceContext, gui::platform::PlatformWindow* window);
    ~CDrawContext() override;

    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    void drawRectangle(const CRect& rect, int32_t style = 0);  // 0 outline, 1 filled, 2 both
    void fillRectangle(const CRect& rect);
    // One line, vertically centred, aligned by CHoriTxtAlign; the left alignment starts one
    // pixel in. With `opaque` the text's cells are first filled with the fill colour.
    void drawString(const char* text, const CRect& rect, bool opaque = false, int32_t align = kCenterText);
    int32_t getStringWidth(const char* text);

    void setLineStyle(int32_t style);
    int32_t getLineStyle() const { return lineStyle; }
    void setLineWidth(int32_t width);
    int32_t getLineWidth() const { return frameWidth; }
    void setDrawMode(int32_t mode);
    int32_t getDrawMode() const { return drawMode; }
    void setClipRect(const CRect& clip);
    CRect& getClipRect(CRect& clip) const;  // the clip in the context's own coordinates
    void resetClipRect();                    // back to the whole frame (or 1000 x 1000)

    void setFillColor(const CColor& color);
    CColor getFillColor() const { return fillColor; }
    void setFrameColor(const CColor& color);
    CColor getFrameColor() const { return frameColor; }
    void setFontColor(const CColor& color);
    CColor getFontColor() const { return fontColor; }
    // Font table index (outside 0..7 means 0), pixel height (0: the table's), CTxtFace bits.
    void setFont(int32_t font, int32_t size = 0, int32_t style = 0);
    int32_t getFont() const { return fontId; }
    int32_t getFontSize() const { return fontSize; }
    int32_t getFontStyle() const { return fontStyle; }

    // Buttons and modifier keys held now (CButton bits); 0 without a window.
    int32_t getMouseButtons();
    // The pointer's screen position minus the screen offset.
    void getPointerPosition(CPoint& point);

    CFrame* getFrame() const { return frame; }
    gui::PixelSurface* getSurface() const { return surface; }
    gui::platform::PlatformWindow* getWindow() const { return window; }
    // The scale the context draws at (its frame's; 100 % without a frame), and the screen
    // position of its window's top-left corner in screen pixels ((0, 0) without a window).
    const gui::Scale& getScale() const { return scale; }
    void setScale(const gui::Scale& newScale);
    CPoint getWindowOrigin() const { return windowOrigin; }

    // Copies from a surface: `dest` in the context's coordinates, `source` the pixel of the
    // surface (in its own pixels) that lands on dest's top-left corner. Keyed leaves out
    // pixels of the key colour; blended mixes with constant alpha. Only the clip and the
    // source's existing pixels are touched.
    enum class Blit { Opaque, Keyed, Blended };
    void blit(const gui::PixelSurface& src, const CRect& dest, const CPoint& source, Blit mode = Blit::Opaque,
              uint32_t key = 0, uint8_t alpha = 255);

    // Marks an area of the surface (device coordinates) as changed, to be presented.
    void markChanged(const CRect& deviceArea) { addDamage(deviceArea); }

    // How many pens the context has created (a pen is made only when its look changes).
    int32_t getPenCreations() const { return penCreations; }

    CPoint offsetScreen;  // the window's screen position, plus the origins of the views entered
    CPoint offset;        // added to every coordinate drawn

protected:
    CRect deviceClip() const;  // the clip, inside the surface
    void addDamage(const CRect& deviceArea);
    void createPen();
    bool axisLineAtScale(const CPoint& to);

    gui::PixelSurface* surface = nullptr;
    gui::platform::PlatformWindow* window = nullptr;
    CFrame* frame = nullptr;
    gui::Scale scale;
    CPoint windowOrigin;

    int32_t fontSize = -1;
    int32_t fontStyle = 0;
    int32_t fontId = kNumStandardFonts;
    CColor fontColor{};
    int32_t frameWidth = 0;
    CColor frameColor{};
    CColor fillColor{};
    int32_t lineStyle = -1;
    int32_t drawMode = -1;
    CRect clipRect;

    const gui::fontdata::Face* fontFace = nullptr;
    bool fontUnderline = false;
    uint32_t penRGB = 0;
    uint32_t brushRGB = 0;  // also the background of opaque text
    CPoint penPosition;     // logical, the offset added
    int32_t penCreations = 0;

    std::vector<CRect> damage;  // device areas drawn, presented at release on a window's surface
};

// A context on a surface of its own, cleared to its background colour. At the frame's
// scale it holds the pixels the frame's window would show with its origin at `anchor` (the
// frame position it is copied to, see gui/Scale.h); width and height are logical.
class COffscreenContext : public CDrawContext {
public:
    COffscreenContext(CFrame* frame, int32_t width, int32_t height, const CColor& background = kBlackCColor,
                      CPoint anchor = CPoint());

    // Copies destRect's size from `source` (logical) of this context to dest at destRect
    // (plus dest's drawing offset), inside dest's clip.
    void copyFrom(CDrawContext* dest, const CRect& destRect, const CPoint& source = CPoint(0, 0));

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    const gui::PixelSurface& pixels() const { return ownSurface; }

private:
    int32_t width;
    int32_t height;
    CColor backgroundColor;
    gui::PixelSurface ownSurface;
};
