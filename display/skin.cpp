#include "display/skin.h"

#include "app/appstate.h"
#include "display/geometry.h"
#include "display/msgwindow.h"
#include "display/region.h"
#include "display/seams.h"
#include "foundation/userio.h"

const char kMaskError[] = "マスクオブジェクト生成エラーが発生しました。";

namespace {

const BYTE kOpaque = 255;  // the layered style serves the colour keys, not translucency
const char* const kGeneratingLines[] = {"マスク情報を生成しています。", "しばらくお待ち下さい。", nullptr};

void StretchSkin(SkinState& s)
{
    HDC dc = s.surface.dc.Get();
    SetStretchBltMode(dc, s.image.info.bmBitsPixel > 2 ? HALFTONE : BLACKONWHITE);
    SetBrushOrgEx(dc, s.x, s.y, nullptr);
    StretchBlt(dc, s.x, s.y, s.width, s.height, s.image.dc.Get(), 0, 0, s.image.info.bmWidth,
               s.image.info.bmHeight, SRCCOPY);
}

// Decodes the skin from the file's bytes the build read (from the file
// itself where it kept none: a name the picture loader takes as an address);
// when the skin is shown, also stretches it onto a surface of the window's
// size, the only thing drawn from it afterwards. While the skin is off only
// the decode is tried (whether it loads is what the menu and the skin page
// ask), and no pixels are kept for it.
bool LoadSkin(HWND window, SkinState& s, bool shown)
{
    const bool decoded =
        s.file.block.Valid() ? s.image.LoadImageBytes(s.file) : s.image.LoadImageFile(App().skin.fileName);
    const bool done = decoded && (!shown || s.surface.CreateSurface(window, s.width, s.height));
    if (done && shown)
        StretchSkin(s);
    s.image.Release();
    return done;
}

void EnsureLayered(HWND window)
{
    LONG_PTR ex = GetWindowLongPtrA(window, GWL_EXSTYLE);
    if (!(ex & WS_EX_LAYERED))
        SetWindowLongPtrA(window, GWL_EXSTYLE, ex | WS_EX_LAYERED);
}

void ApplyColorKey(HWND window, COLORREF key)
{
    if (!window)
        return;
    EnsureLayered(window);
    SetLayeredWindowAttributes(window, key, kOpaque, LWA_COLORKEY | LWA_ALPHA);
}

void ApplyRoundRegion(HWND window)
{
    AppState& app = App();
    const RECT& c = app.skinState.client;
    HRGN region = CreateRoundRectRgn(c.left, c.top, c.right + 1, c.bottom + 1, app.mask.width,
                                     app.mask.height);
    if (region && SetWindowRgn(window, region, TRUE))
        return;  // the window owns the region now
    if (region)
        DeleteObject(region);
    app.mask.mode = MASK_NONE;
}

// The cached region when the window takes it; false when there is none.
bool ApplyCachedRegion(HWND window, const char* regionFile)
{
    const SkinState& s = App().skinState;
    RegionOwner cached(LoadRegionFile(regionFile, RegionFileLimit(s.width, s.height)));
    if (!cached.Valid() || !SetWindowRgn(window, cached.Get(), TRUE))
        return false;
    cached.Detach();  // the window owns it now
    return true;
}

enum class Generation { Done, Failed, NotStarted };

// Runs the worker behind the message window, with disableWindow disabled
// meanwhile. NotStarted: no event for the handshake, so nothing happened.
Generation GenerateRegion(HWND window, HWND disableWindow, const char* regionFile)
{
    AppState& app = App();
    HandleOwner done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done.Valid())
        return Generation::NotStarted;
    const RECT& c = app.skinState.client;
    RegionJob job = {done.Get(), window, c.left, c.top, c.right, c.bottom, {}, {}};
    lstrcpynA(job.maskFile, app.mask.fileName, kPathSize);
    lstrcpynA(job.regionFile, regionFile, kPathSize);
    EnableWindow(disableWindow, FALSE);
    ExpectMessageWindowEnd();
    HandleOwner worker(CallsOf<DisplayCalls>().startRegionThread(RegionWorker, &job));
    INT_PTR result = 0;  // a worker that cannot start fails like a generation
    if (worker.Valid()) {
        WaitForSingleObject(done.Get(), INFINITE);
        result = ShowMessageWindow(window, app.instance, kGeneratingLines);
    }
    // Only the worker's own report of success counts; a message window that
    // could not be shown tells nothing. The caller enables the window again.
    return result == 1 ? Generation::Done : Generation::Failed;
}

// The region of the mask bitmap: from its cache file, else generated anew.
void ApplyBitmapMask(HWND window, HWND disableWindow)
{
    AppState& app = App();
    char regionFile[kPathSize];
    // A mask name too long for its region file fails like a mask that
    // cannot be loaded.
    const bool named = RegionFileName(app.mask.fileName, regionFile);
    if (named && ApplyCachedRegion(window, regionFile))
        return;
    const Generation g = named ? GenerateRegion(window, disableWindow, regionFile) : Generation::Failed;
    if (g == Generation::Failed) {
        ShowError(window, kMaskError);
        app.mask.mode = MASK_NONE;
    }
    // Only now: while the error is up, the disabled window takes no command
    // that could start this again.
    if (named && g != Generation::NotStarted)
        EnableWindow(disableWindow, TRUE);
}

COLORREF AutomaticKey()
{
    AppState& app = App();
    if (SkinShown())
        return GetPixel(app.skinState.surface.dc.Get(), 0, 0);
    return app.colors.slot[kColorBack].colour;
}

}  // namespace

bool BuildSkin(HWND window)
{
    AppState& app = App();
    SkinState& s = app.skinState;
    GetClientRect(window, &s.client);
    s.x = s.client.left;
    s.y = s.client.top;
    s.width = s.client.right - s.client.left;
    s.height = s.client.bottom - s.client.top;
    // Graphs are drawn on the back buffer's pixels themselves.
    const bool pixels = HasGraphControls(window) && s.backBuffer.CreatePixelSurface(window, s.width, s.height);
    if (!pixels && !s.backBuffer.CreateSurface(window, s.width, s.height))
        return false;
    ++s.generation;
    // The layer in the back buffer's format, so that its pixels copy unchanged.
    const bool layered = pixels ? s.layer.CreatePixelSurface(window, s.width, s.height)
                                : s.layer.CreateSurface(window, s.width, s.height);
    if (!layered)
        s.layer.Release();  // the panels are drawn in full every time instead
    s.loaded = 0;
    s.surface.Release();
    s.file.Read(app.skin.fileName);
    if (LoadSkin(window, s, app.skin.enable != 0)) {
        s.loaded = 1;
        return true;
    }
    s.file.Release();
    app.skin.enable = 0;
    return true;
}

void SyncSkinSurface(HWND window)
{
    AppState& app = App();
    SkinState& s = app.skinState;
    if (!app.skin.enable) {
        s.surface.Release();
        return;
    }
    if (s.surface.dc.Valid() || !s.loaded)
        return;  // shown already, or nothing loaded to show
    if (LoadSkin(window, s, true)) {
        ++s.generation;  // a new surface, whose handles may repeat old ones
        return;
    }
    // No surface could be made (or a skin the build kept no bytes of no
    // longer loads): as at a build, the skin is off.
    s.loaded = 0;
    app.skin.enable = 0;
}

void ReleaseSkinSurfaces()
{
    SkinState& skin = App().skinState;
    skin.file.Release();
    skin.image.Release();
    skin.surface.Release();
    skin.layer.Release();
    skin.backBuffer.Release();
}

bool SkinShown()
{
    const AppState& app = App();
    return app.skin.enable && app.skinState.surface.dc.Valid();
}

void ApplyWindowShape(HWND window, HWND disableWindow)
{
    AppState& app = App();
    SetWindowRgn(window, nullptr, TRUE);
    if (window) {
        EnsureLayered(window);
        SetLayeredWindowAttributes(window, 0, kOpaque, LWA_ALPHA);
    }
    switch (app.mask.mode) {
    case MASK_ROUND:
        ApplyRoundRegion(window);
        break;
    case MASK_AUTO:
        ApplyColorKey(window, AutomaticKey());
        break;
    case MASK_COLOR:
        ApplyColorKey(window, app.mask.color);
        break;
    case MASK_BITMAP:
        ApplyBitmapMask(window, disableWindow);
        break;
    default:
        SetWindowRgn(window, nullptr, TRUE);
        break;
    }
}

void SetDisplayCalls(const DisplayCalls& calls)
{
    CallsOf<DisplayCalls>() = calls;
}
