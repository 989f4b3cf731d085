// The colours and fonts page (tab "カラー/フォント"): the five panel colours,
// the five shadow colours with their switches, the shadow offset and the
// three panel fonts. Everything is edited in working copies; the live
// settings change only when the frame asks the page to store.

#include <windows.h>
#include <commctrl.h>

#include "app/appstate.h"
#include "dialogs/pages.h"
#include "dialogs/pickers.h"
#include "foundation/gdiwrap.h"
#include "foundation/windowdata.h"
#include "resources/resource.h"

namespace {

const int kSmallestOffset = 1;
const int kLargestOffset = 4;

// One colour of the page: the working colour, its brush and its swatch.
struct Swatch {
    int button;
    int swatch;
    COLORREF* colour;
    WINBRUSH* brush;
};

// What the open page works on, kept with the page until it goes.
struct ColorPageState {
    COLORREF text = 0;
    COLORREF face = 0;
    WINBRUSH faceBrush;
    DisplayColorSet colors;  // the ten working colours and the swatch brushes
    DisplayFontSet fonts;    // the working fonts and the sample fonts
};

int ShadowSwitch(int element)
{
    return element == kColorLine ? IDC_SHADOW_LINE_ENABLE : IDC_SHADOW_BUTTON + 3 * element + 2;
}

// The ten swatches: the colours, then the shadow colours.
Swatch SwatchOf(ColorPageState& page, int index)
{
    const int e = index % kColorElements;
    ColorSlot& slot = page.colors.slot[e];
    if (index < kColorElements)
        return {IDC_COLOR_BUTTON + 2 * e, IDC_COLOR_BUTTON + 2 * e + 1, &slot.colour, &slot.brush};
    return {IDC_SHADOW_BUTTON + 3 * e, IDC_SHADOW_BUTTON + 3 * e + 1, &slot.shadowColour,
            &slot.shadowBrush};
}
const int kSwatches = 2 * kColorElements;

void ShowSample(HWND dialog, ColorPageState& page, int font)
{
    FontSlot& slot = page.fonts.slot[font];
    HWND sample = GetDlgItem(dialog, IDC_FONT_BUTTON + 2 * font + 1);
    SetWindowTextA(sample, slot.configured.lfFaceName);
    SendMessageA(sample, WM_SETFONT, reinterpret_cast<WPARAM>(slot.font.Handle()), TRUE);
}

INT_PTR InitColorPage(HWND dialog)
{
    AppState& app = App();
    ColorPageState* kept = AttachWindowData<ColorPageState>(dialog);
    if (!kept)
        return TRUE;
    ColorPageState& page = *kept;
    page.text = GetSysColor(COLOR_BTNTEXT);
    page.face = GetSysColor(COLOR_BTNFACE);
    page.faceBrush.Create(page.face);
    page.colors.CopyValuesFrom(app.colors);
    page.colors.CreateBrushes();
    for (int e = 0; e < kColorElements; ++e)
        CheckBox(dialog, ShadowSwitch(e), app.colors.slot[e].shadow);
    SendDlgItemMessageA(dialog, IDC_SHADOW_OFFSET, TBM_SETRANGE, TRUE,
                        MAKELPARAM(kSmallestOffset, kLargestOffset));
    SendDlgItemMessageA(dialog, IDC_SHADOW_OFFSET, TBM_SETPOS, TRUE, app.colors.shadowOffset);
    page.fonts.CopyValuesFrom(app.fonts);
    for (int f = 0; f < kFontElements; ++f) {
        page.fonts.slot[f].font.Create(page.fonts.slot[f].configured);
        ShowSample(dialog, page, f);
    }
    return TRUE;
}

void Store(HWND dialog, const ColorPageState& page)
{
    AppState& app = App();
    for (int e = 0; e < kColorElements; ++e) {
        app.colors.slot[e].colour = page.colors.slot[e].colour;
        app.colors.slot[e].shadowColour = page.colors.slot[e].shadowColour;
        app.colors.slot[e].shadow = Checked(dialog, ShadowSwitch(e));
    }
    app.colors.shadowOffset =
        static_cast<int>(SendDlgItemMessageA(dialog, IDC_SHADOW_OFFSET, TBM_GETPOS, 0, 0));
    for (int f = 0; f < kFontElements; ++f)
        app.fonts.slot[f].configured = page.fonts.slot[f].configured;
}

INT_PTR OnCommand(HWND dialog, ColorPageState& page, WORD id)
{
    if (id == kStorePage) {
        Store(dialog, page);
        return TRUE;
    }
    for (int i = 0; i < kSwatches; ++i) {
        Swatch s = SwatchOf(page, i);
        if (id == s.button) {
            PickColor(s.colour, s.brush, dialog, s.swatch);
            return TRUE;
        }
    }
    for (int f = 0; f < kFontElements; ++f) {
        if (id == IDC_FONT_BUTTON + 2 * f) {
            FontSlot& slot = page.fonts.slot[f];
            PickFont(&slot.configured, &slot.font, dialog, id + 1);
            return TRUE;
        }
    }
    return FALSE;
}

// Swatches show their working colour; every other static the face colour.
INT_PTR OnCtlColorStatic(ColorPageState& page, HDC dc, HWND control)
{
    const int id = GetDlgCtrlID(control);
    for (int i = 0; i < kSwatches; ++i) {
        Swatch s = SwatchOf(page, i);
        if (id == s.swatch) {
            SetBkColor(dc, *s.colour);
            return reinterpret_cast<INT_PTR>(s.brush->Handle());
        }
    }
    SetBkColor(dc, page.face);
    SetTextColor(dc, page.text);
    return reinterpret_cast<INT_PTR>(page.faceBrush.Handle());
}

INT_PTR OnDestroy(HWND dialog, ColorPageState& page)
{
    page.faceBrush.Release();
    page.colors.ReleaseBrushes();
    page.fonts.ReleaseFonts();
    FreeWindowData<ColorPageState>(dialog);
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK ColorPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return InitColorPage(dialog);
    ColorPageState* page = WindowDataOf<ColorPageState>(dialog);
    if (!page)
        return FALSE;
    switch (message) {
    case WM_COMMAND: return OnCommand(dialog, *page, LOWORD(wParam));
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(*page, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY: return OnDestroy(dialog, *page);
    default: return FALSE;
    }
}
