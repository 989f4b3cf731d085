#include "dialogs/pickers.h"

#include <commdlg.h>

#include "app/appstate.h"
#include "dialogs/seams.h"
#include "foundation/gdiwrap.h"
#include "foundation/mbcs.h"

const char kSettingsFilter[] = "設定ファイル\0*.VKC;\0全てのファイル\0*.*\0";
const char kThemeFilter[] = "テーマファイル\0*.VKT;\0全てのファイル\0*.*\0";
const char kLayoutFilter[] = "レイアウトファイル\0*.VKL;\0全てのファイル\0*.*\0";
const char kSkinFilter[] = "スキンファイル\0*.BMP;*.JPG;*.JPEG;*.GIF;*.PNG\0全てのファイル\0*.*\0";
const char kMaskFilter[] = "マスクファイル\0*.BMP;\0全てのファイル\0*.*\0";
const char kProgramFilter[] = "プログラム\0*.EXE;*.COM;*.BAT;*.CMD\0全てのファイル\0*.*\0";
const char kLogFilter[] = "ログファイル\0*.CSV;*.TSV\0全てのファイル\0*.*\0";
const char kSettingsChooserTitle[] = "設定ファイルの選択";
const char kThemeChooserTitle[] = "テーマファイルの選択";
const char kLayoutChooserTitle[] = "レイアウトの選択";
const char kSkinChooserTitle[] = "スキンの選択";
const char kMaskChooserTitle[] = "マスクの選択";
const char kProgramChooserTitle[] = "コマンドの選択";
const char kLogChooserTitle[] = "ログファイルの選択";

namespace {

const int kCustomColours = 16;

}  // namespace

void SetDialogCalls(const DialogCalls& calls)
{
    CallsOf<DialogCalls>() = calls;
}

bool ChooseFileName(HWND owner, const char* title, const char* filter, char* path, bool open)
{
    char directory[kPathSize] = "";
    char name[kPathSize] = "";
    const char* slash = LastBackslash(path);
    if (slash) {
        lstrcpynA(directory, path, static_cast<int>(slash - path) + 1);
        lstrcpynA(name, slash + 1, kPathSize);
    } else {
        lstrcpynA(name, path, kPathSize);
    }
    OPENFILENAMEA request = {};
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = owner;
    request.lpstrFilter = filter;
    request.nFilterIndex = 1;
    request.lpstrFile = name;
    request.nMaxFile = kPathSize;
    request.lpstrInitialDir = directory;
    request.lpstrTitle = title;
    // The folder browsed to must not become the process's current folder:
    // the default skin, mask and layout names are relative to it.
    request.Flags = OFN_READONLY | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    const DialogCalls& calls = CallsOf<DialogCalls>();
    BOOL chosen = open ? calls.openFile(&request) : calls.saveFile(&request);
    if (!chosen)
        return false;
    lstrcpynA(path, name, kPathSize);
    return true;
}

// On success the chosen font replaces the description.
static bool ChooseFontDialog(LOGFONTA* font, HWND owner)
{
    LOGFONTA copy = *font;
    CHOOSEFONTA request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpLogFont = &copy;
    request.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_NOVERTFONTS;
    request.nFontType = SCREEN_FONTTYPE;
    if (!CallsOf<DialogCalls>().chooseFont(&request))
        return false;
    *font = copy;
    return true;
}

// The chosen colour, or the given one when the user cancels.
static COLORREF ChooseColorDialog(COLORREF colour, HWND owner)
{
    COLORREF custom[kCustomColours] = {};  // black on every call, never kept
    CHOOSECOLORA request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.rgbResult = colour;
    request.lpCustColors = custom;
    request.Flags = CC_RGBINIT | CC_ANYCOLOR;
    return CallsOf<DialogCalls>().chooseColor(&request) ? request.rgbResult : colour;
}

bool PickColor(COLORREF* colour, WINBRUSH* brush, HWND owner, int swatchId)
{
    const COLORREF chosen = ChooseColorDialog(*colour, owner);
    if (chosen == *colour)
        return true;  // the same colour, or none chosen: nothing changes
    *colour = chosen;
    // The old brush stays until the new one exists.
    HBRUSH fresh = CreateSolidBrush(chosen);
    if (!fresh)
        return false;
    brush->brush.Reset(fresh);
    InvalidateRect(GetDlgItem(owner, swatchId), nullptr, TRUE);
    return true;
}

bool PickFont(LOGFONTA* font, WINFONT* object, HWND owner, int sampleId)
{
    LOGFONTA chosen = *font;
    if (!ChooseFontDialog(&chosen, owner))
        return true;
    *font = chosen;  // stored before the sample's font is made
    // The sample keeps its old font until the new one exists.
    HFONT fresh = CreateFontIndirectA(&chosen);
    if (!fresh)
        return false;
    object->lf = chosen;
    object->font.Reset(fresh);
    HWND sample = GetDlgItem(owner, sampleId);
    SetWindowTextA(sample, chosen.lfFaceName);
    SendMessageA(sample, WM_SETFONT, reinterpret_cast<WPARAM>(object->Handle()), TRUE);
    InvalidateRect(sample, nullptr, TRUE);
    return true;
}
