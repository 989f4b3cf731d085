#include "display/panels.h"

#include "app/appstate.h"
#include "display/geometry.h"
#include "display/graphs.h"
#include "display/layer.h"
#include "display/paint.h"
#include "display/skin.h"
#include "foundation/gdiwrap.h"
#include "foundation/owner.h"
#include "foundation/windowdata.h"

namespace {

// What a window's panel keeps while the window lives.
struct PanelData {
    PanelRects rects;
    PanelLayer layer;
    PanelGraphs graphs;
};

// The window's panel data; made at the first use for a window that never
// had its rectangles looked up. Null for a window that is gone.
PanelData* PanelOf(HWND window)
{
    PanelData* data = WindowDataOf<PanelData>(window);
    if (!data) {
        CachePanelRects(window);
        data = WindowDataOf<PanelData>(window);
    }
    return data;
}

// A full redraw invalidates the whole window; a redraw of changed values
// only the rectangle around what it changed and the graphs' areas that
// changed, and nothing when it changed nothing: the window's other pixels
// are the back buffer's already. WM_PAINT copies the buffer. Several areas
// go in one region: each invalidation is a trip to the window manager.
void ShowChanged(HWND window, const Repaint& repaint, const PanelGraphs& graphs)
{
    if (repaint.whole) {
        InvalidateRect(window, nullptr, FALSE);
        return;
    }
    const SkinState& skin = App().skinState;
    RECT parts[kGraphCount + 1];
    int count = 0;
    for (int i = -1; i < graphs.ChangedCount(); ++i) {
        const RECT& r = i < 0 ? repaint.area : graphs.Changed(i);
        if (IsRectEmpty(&r))
            continue;
        parts[count] = r;
        OffsetRect(&parts[count++], skin.x, skin.y);
    }
    if (count == 1) {
        InvalidateRect(window, &parts[0], FALSE);
    } else if (count > 1) {
        RegionOwner area(RegionOfRects(parts, count));
        InvalidateRgn(window, area.Get(), FALSE);  // all of it when there is no region
    }
}

// The graphs go over the layer's redraw; a graph the layer's pixels went
// over is drawn anew.
void UpdateGraphs(PanelData& panel, const WINMEMDC& buffer, HDC layer, const Repaint& repaint)
{
    const RECT spoiled = repaint.whole ? RECT{0, 0, buffer.width, buffer.height} : repaint.area;
    panel.graphs.Update(panel.rects, buffer, layer, spoiled);
}

// Everything anew, in the order every redraw keeps to; buffer: dc is the
// back buffer.
void DrawEverything(PanelData& panel, HDC dc, const RowPlan& plan, bool buffer)
{
    PrepareContext(dc);
    DrawStatic(panel.rects, dc);
    DrawRows(panel.rects, dc, plan, 0);
    panel.graphs.DrawAll(panel.rects, dc, buffer);
}

}  // namespace

void CachePanelRects(HWND window)
{
    PanelData* data = AttachWindowData<PanelData>(window);
    if (data)
        data->rects = MeasurePanelRects(window);
}

// Under DRAW: the settings dialog's thread may be drawing.
void ForgetPanel(HWND window)
{
    AppState& app = App();
    app.drawLock.Enter();
    FreeWindowData<PanelData>(window);
    app.drawLock.Leave();
}

// Every redraw starts from the layer; what the layer cannot hold is drawn
// on it in the order of a full redraw, so the result is the same to the byte.
void DrawPanels(HWND window)
{
    AppState& app = App();
    app.drawLock.Enter();
    PanelData* panel = PanelOf(window);
    if (!panel) {
        app.drawLock.Leave();
        return;
    }
    SkinState& skin = app.skinState;
    HDC dc = skin.backBuffer.dc.Get();
    const RowPlan plan = PlanRows();
    Repaint repaint = kWholeRepaint;
    panel->graphs.Prepare(panel->rects);
    if (skin.layer.dc.Valid() && !panel->graphs.Overlap()) {
        repaint = panel->layer.Redraw(window, panel->rects, dc, plan);
        if (panel->graphs.Any())
            UpdateGraphs(*panel, skin.backBuffer, skin.layer.dc.Get(), repaint);
    } else {
        DrawEverything(*panel, dc, plan, true);
    }
    ShowChanged(window, repaint, panel->graphs);
    app.drawLock.Leave();
}

void DrawPanelsFull(HWND window, HDC dc)
{
    AppState& app = App();
    app.drawLock.Enter();
    if (PanelData* panel = PanelOf(window))
        DrawEverything(*panel, dc, PlanRows(), false);
    app.drawLock.Leave();
}

// Under DRAW: the settings dialog's thread may be replacing the back buffer.
// DRAW is taken before the window's paint context, never while holding it:
// that thread takes the window's context (for a new surface) under DRAW.
void PaintPanels(HWND window)
{
    AppState& app = App();
    const SkinState& skin = app.skinState;
    app.drawLock.Enter();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc)
        BitBlt(dc, skin.x, skin.y, skin.width, skin.height, skin.backBuffer.dc.Get(), 0, 0, SRCCOPY);
    EndPaint(window, &ps);
    app.drawLock.Leave();
}

int HoverRowAt(HWND window, int x, int y)
{
    const PanelData* panel = PanelOf(window);
    return panel ? RowAtPoint(panel->rects, x, y) : -1;
}

bool CreateDrawingObjects(HWND window)
{
    AppState& app = App();
    return app.colors.CreateBrushes() && BuildSkin(window) && app.fonts.CreateFonts();
}

void ReleaseDrawingObjects()
{
    AppState& app = App();
    app.colors.ReleaseBrushes();
    ReleaseSkinSurfaces();
    app.fonts.ReleaseFonts();
}

bool RebuildDrawingObjects(HWND window)
{
    ReleaseDrawingObjects();
    return CreateDrawingObjects(window);
}
