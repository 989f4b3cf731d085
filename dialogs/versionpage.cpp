// The version page (tab "バージョン"): the program's description, version
// and notice from its own version resource, the versions of the PNG and
// compression libraries it is linked with, and in debug mode the chip.

#include <windows.h>

#include <png.h>
#include <zlib.h>

#include <cstdarg>
#include <cstdio>

#include "app/appstate.h"
#include "dialogs/pages.h"
#include "foundation/fixedline.h"
#include "foundation/gdiwrap.h"
#include "foundation/win32ver.h"
#include "foundation/windowdata.h"
#include "resources/resource.h"

namespace {

const int kTextBufferSize = 1024;
const int kTextControls = 4;
const LONG kHeights[kTextControls] = {-25, -17, -15, -11};
#ifdef _WIN64
const char kArchitecture[] = "x64";
#else
const char kArchitecture[] = "x86";  // the release build
#endif

// One font per text control 3000-3003, kept with the page while it is open.
struct VersionFonts {
    WINFONT font[kTextControls];
};

void SetText(HWND page, int id, const char* format, ...) __attribute__((format(printf, 3, 4)));

void SetText(HWND page, int id, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const FixedLine<kTextBufferSize> text(format, args);
    va_end(args);
    SetDlgItemTextA(page, id, text.Text());
}

void CreateFonts(HWND page)
{
    VersionFonts* kept = AttachWindowData<VersionFonts>(page);
    if (!kept)
        return;
    WINFONT* fonts = kept->font;
    for (int i = 0; i < kTextControls; ++i) {
        LOGFONTA lf = fonts[i].lf;  // as a new font object describes it
        lf.lfWeight = FW_BOLD;
        lf.lfHeight = kHeights[i];
        lf.lfWidth = 0;
        lf.lfCharSet = 0;
        lstrcpynA(lf.lfFaceName, "Arial", LF_FACESIZE);
        if (fonts[i].Create(lf))
            SendDlgItemMessageA(page, IDC_VERSION_DESCRIPTION + i, WM_SETFONT,
                                reinterpret_cast<WPARAM>(fonts[i].Handle()), FALSE);
    }
}

void ShowVersionResource(HWND page)
{
    char path[kPathSize];
    const DWORD n = GetModuleFileNameA(nullptr, path, kPathSize);
    if (n == 0 || n >= static_cast<DWORD>(kPathSize))
        return;
    WIN32VER version;
    if (!version.Load(path))
        return;
    SetText(page, IDC_VERSION_DESCRIPTION, "%s", version.QueryString("FileDescription"));
    SetText(page, IDC_VERSION_LINE, "Version %s (%s)", version.QueryString("FileVersion"), kArchitecture);
    SetText(page, IDC_VERSION_COPYRIGHT, "%s", version.QueryString("LegalCopyright"));
}

INT_PTR OnInitDialog(HWND page)
{
    CreateFonts(page);
    ShowVersionResource(page);
    // The versions of the libraries actually linked.
    SetText(page, IDC_VERSION_LIBRARIES, "LIBPNG Version %s , ZLIB Version %s",
            png_get_libpng_ver(nullptr), zlibVersion());
    const AppState& app = App();
    if (app.debug)
        SetText(page, IDC_VERSION_CHIP, "%04X:%04X", app.chip.vendor, app.chip.chip);
    return TRUE;
}

INT_PTR OnDestroy(HWND page)
{
    FreeWindowData<VersionFonts>(page);
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK VersionPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(page);
    case WM_DESTROY: return OnDestroy(page);
    default: return FALSE;
    }
}
