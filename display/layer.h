#pragma once
// The layer under every redraw of the back buffer: what does not change
// between readings (background or skin, frame lines and shadows, group
// captions, and the labels that no value can reach) is drawn once into the
// layer surface, and drawn again only when something it is made of
// changes. Each redraw starts from it; where the back buffer already lies
// on the same layer, only the values whose text changed are drawn again,
// over the layer's own pixels of their boxes. The result is the full
// redraw's to the byte. One per window, with the measures of its fonts and
// texts.

#include <windows.h>

#include <memory>

#include "display/geometry.h"
#include "display/paint.h"

// What a redraw changed in the back buffer, for the window to repaint: all
// of it, or the rectangle around the areas of the rows redrawn alone
// (empty when none was).
struct Repaint {
    bool whole;
    RECT area;
};
const Repaint kWholeRepaint = {true, {0, 0, 0, 0}};


struct LayerCache;

class PanelLayer {
public:
    PanelLayer();
    ~PanelLayer();
    PanelLayer(const PanelLayer&) = delete;
    PanelLayer& operator=(const PanelLayer&) = delete;

    // Redraws the back buffer dc over the layer; returns where it changed.
    Repaint Redraw(HWND window, const PanelRects& at, HDC dc, const RowPlan& plan);
    // Forgets the layer and every measure: the next redraw is a full one.
    void Reset();

private:
    std::unique_ptr<LayerCache> data;
};
