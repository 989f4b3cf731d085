// The skin and mask page (tab "スキン/マスク"): the skin switch and file,
// the mask mode, colour and file, and a preview of the skin in the display
// window's proportions with the mask bitmap over it in bitmap mode.

#include <windows.h>

#include <cstdio>

#include "app/appstate.h"
#include "dialogs/pages.h"
#include "dialogs/pickers.h"
#include "foundation/gdiwrap.h"
#include "foundation/windowdata.h"
#include "resources/resource.h"

namespace {

const char* const kMaskModes[] = {"無効", "ラウンド", "自動", "カラー", "ビットマップ"};
const int kModeCount = sizeof kMaskModes / sizeof kMaskModes[0];
static_assert(kModeCount == MASK_BITMAP + 1, "one combo item per mask mode");
const int kSizeTextSize = 64;

struct SkinPageState {
    WINIMG skin;
    WINIMG mask;
    int previewWidth = 0;
    int previewHeight = 0;
    int mode = 0;
    COLORREF text = 0;
    COLORREF face = 0;
    COLORREF maskColour = 0;
    WINBRUSH faceBrush;
    WINBRUSH swatchBrush;
    WNDPROC previewProcedure = nullptr;
};

// The page's state, kept with the page while it is open.
SkinPageState& PageOf(HWND dialog)
{
    return *WindowDataOf<SkinPageState>(dialog);
}

void PaintSkinPreview(HWND preview)
{
    SkinPageState& page = PageOf(GetParent(preview));
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(preview, &ps);
    if (dc) {
        // Erased first: with no skin loaded nothing else covers what a mask drew before.
        FillRect(dc, &ps.rcPaint, page.faceBrush.Handle());
        SelectObject(page.skin.dc.Get(), page.skin.bitmap.Get());
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, 0, 0, page.previewWidth, page.previewHeight, page.skin.dc.Get(), 0, 0,
                   page.skin.info.bmWidth, page.skin.info.bmHeight, SRCCOPY);
        // Black mask areas show black over the skin.
        if (page.mode == MASK_BITMAP)
            StretchBlt(dc, 0, 0, page.previewWidth, page.previewHeight, page.mask.dc.Get(), 0, 0,
                       page.mask.info.bmWidth, page.mask.info.bmHeight, SRCAND);
    }
    EndPaint(preview, &ps);
}

LRESULT CALLBACK PreviewProc(HWND preview, UINT message, WPARAM wParam, LPARAM lParam)
{
    SkinPageState& page = PageOf(GetParent(preview));
    if (message == WM_PAINT) {
        PaintSkinPreview(preview);
        return 0;
    }
    return CallWindowProcA(page.previewProcedure, preview, message, wParam, lParam);
}

void UpdateMaskControls(HWND dialog)
{
    SkinPageState& page = PageOf(dialog);
    if (page.mode < 0 || page.mode >= kModeCount)
        page.mode = MASK_NONE;
    const bool colour = page.mode == MASK_COLOR, bitmap = page.mode == MASK_BITMAP;
    EnableWindow(GetDlgItem(dialog, IDC_MASK_COLOR_BUTTON), colour);
    EnableWindow(GetDlgItem(dialog, IDC_MASK_COLOR_SWATCH), colour);
    EnableWindow(GetDlgItem(dialog, IDC_MASK_BUTTON), bitmap);
    EnableWindow(GetDlgItem(dialog, IDC_MASK_NAME), bitmap);
}

void WriteSizeText(HWND dialog)
{
    SkinPageState& page = PageOf(dialog);
    const SkinState& s = App().skinState;
    char text[kSizeTextSize];
    std::snprintf(text, sizeof text, "(%d x %d) → (%d x %d)", static_cast<int>(page.skin.info.bmWidth),
                  static_cast<int>(page.skin.info.bmHeight), s.width, s.height);
    SetDlgItemTextA(dialog, IDC_SKIN_SIZE, text);
}

// The preview takes the display window's proportions at the control's
// height, centred on the page.
void SizePreview(HWND dialog, HWND preview)
{
    SkinPageState& page = PageOf(dialog);
    const SkinState& s = App().skinState;
    RECT pageRect, r;
    GetClientRect(dialog, &pageRect);
    GetWindowRect(preview, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    page.previewHeight = r.bottom - r.top;
    page.previewWidth =
        s.height > 0 ? static_cast<int>(static_cast<double>(s.width) / s.height * page.previewHeight) : 0;
    MoveWindow(preview, pageRect.right / 2 - page.previewWidth / 2, r.top, page.previewWidth,
               page.previewHeight, TRUE);
}

INT_PTR InitSkinPage(HWND dialog)
{
    AppState& app = App();
    SkinPageState* kept = AttachWindowData<SkinPageState>(dialog);
    if (!kept)
        return TRUE;
    SkinPageState& page = *kept;
    HWND preview = GetDlgItem(dialog, IDC_SKIN_PREVIEW);
    page.previewProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(preview, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PreviewProc)));
    SizePreview(dialog, preview);
    CheckBox(dialog, IDC_SKIN_ENABLE, app.skin.enable);
    SetDlgItemTextA(dialog, IDC_SKIN_NAME, app.skin.fileName);
    if (app.skinState.loaded)
        page.skin.LoadImageFile(app.skin.fileName);
    for (const char* mode : kMaskModes)
        SendDlgItemMessageA(dialog, IDC_MASK_MODE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(mode));
    page.mode = static_cast<int>(app.mask.mode);
    UpdateMaskControls(dialog);
    SendDlgItemMessageA(dialog, IDC_MASK_MODE, CB_SETCURSEL, page.mode, 0);
    page.text = GetSysColor(COLOR_BTNTEXT);
    page.face = GetSysColor(COLOR_BTNFACE);
    page.maskColour = app.mask.color;
    page.faceBrush.Create(page.face);
    page.swatchBrush.Create(page.maskColour);
    SetDlgItemTextA(dialog, IDC_MASK_NAME, app.mask.fileName);
    page.mask.LoadImageFile(app.mask.fileName);
    WriteSizeText(dialog);
    return TRUE;
}

void Store(HWND dialog)
{
    SkinPageState& page = PageOf(dialog);
    AppState& app = App();
    app.skin.enable = Checked(dialog, IDC_SKIN_ENABLE);
    GetDlgItemTextA(dialog, IDC_SKIN_NAME, app.skin.fileName, kPathSize);
    const LRESULT mode = SendDlgItemMessageA(dialog, IDC_MASK_MODE, CB_GETCURSEL, 0, 0);
    app.mask.mode = mode == CB_ERR ? static_cast<unsigned int>(MASK_NONE) : static_cast<unsigned int>(mode);
    app.mask.color = page.maskColour;
    GetDlgItemTextA(dialog, IDC_MASK_NAME, app.mask.fileName, kPathSize);
}

// Starts from the live setting, not from the edit, so a second choice opens
// in the folder of the stored name. True when a file was chosen and loaded.
bool ChooseInto(HWND dialog, const char* title, const char* filter, const char* live, int editId,
                WINIMG* image)
{
    char path[kPathSize];
    lstrcpynA(path, live, kPathSize);
    if (!ChooseFileName(dialog, title, filter, path, true))
        return false;
    SetDlgItemTextA(dialog, editId, path);
    image->Release();
    return image->LoadImageFile(path);
}

void ChooseSkinFile(HWND dialog)
{
    SkinPageState& page = PageOf(dialog);
    if (!ChooseInto(dialog, kSkinChooserTitle, kSkinFilter, App().skin.fileName, IDC_SKIN_NAME, &page.skin))
        return;  // the next repaint shows no skin; the size text stays
    WriteSizeText(dialog);
    InvalidateRect(GetDlgItem(dialog, IDC_SKIN_PREVIEW), nullptr, TRUE);
}

void ChooseMaskFile(HWND dialog)
{
    SkinPageState& page = PageOf(dialog);
    if (ChooseInto(dialog, kMaskChooserTitle, kMaskFilter, App().mask.fileName, IDC_MASK_NAME, &page.mask))
        InvalidateRect(GetDlgItem(dialog, IDC_SKIN_PREVIEW), nullptr, TRUE);
}

INT_PTR OnCommand(HWND dialog, WORD id, WORD code)
{
    SkinPageState& page = PageOf(dialog);
    switch (id) {
    case kStorePage: Store(dialog); break;
    case IDC_SKIN_BUTTON: ChooseSkinFile(dialog); break;
    case IDC_MASK_BUTTON: ChooseMaskFile(dialog); break;
    case IDC_MASK_COLOR_BUTTON: PickColor(&page.maskColour, &page.swatchBrush, dialog, IDC_MASK_COLOR_SWATCH); break;
    case IDC_MASK_MODE:
        if (code != CBN_SELCHANGE)
            return FALSE;
        page.mode = static_cast<int>(SendDlgItemMessageA(dialog, IDC_MASK_MODE, CB_GETCURSEL, 0, 0));
        UpdateMaskControls(dialog);
        InvalidateRect(GetDlgItem(dialog, IDC_SKIN_PREVIEW), nullptr, TRUE);
        break;
    default: return FALSE;
    }
    return TRUE;
}

INT_PTR OnCtlColorStatic(HWND dialog, HDC dc, HWND control)
{
    const SkinPageState& page = PageOf(dialog);
    if (GetDlgCtrlID(control) == IDC_MASK_COLOR_SWATCH) {
        SetBkColor(dc, page.maskColour);
        return reinterpret_cast<INT_PTR>(page.swatchBrush.Handle());
    }
    SetBkColor(dc, page.face);
    SetTextColor(dc, page.text);
    return reinterpret_cast<INT_PTR>(page.faceBrush.Handle());
}

// The preview gets its own procedure back: it goes after the page.
INT_PTR OnDestroy(HWND dialog)
{
    SkinPageState& page = PageOf(dialog);
    SetWindowLongPtrA(GetDlgItem(dialog, IDC_SKIN_PREVIEW), GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(page.previewProcedure));
    page.skin.Release();
    page.mask.Release();
    page.faceBrush.Release();
    page.swatchBrush.Release();
    FreeWindowData<SkinPageState>(dialog);
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK SkinPageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        return InitSkinPage(dialog);
    if (!WindowDataOf<SkinPageState>(dialog))
        return FALSE;
    switch (message) {
    case WM_COMMAND: return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(dialog, reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DESTROY: return OnDestroy(dialog);
    default: return FALSE;
    }
}
