#include "app/startup.h"

#include <commctrl.h>

#include <cstring>

#include "app/appstate.h"
#include "app/dlgtemplate.h"
#include "app/settings.h"
#include "foundation/owner.h"
#include "foundation/userio.h"
#include "resources/resource.h"

namespace {

const char kSettingsFileName[] = "VESKORA.VKC";
const char kLayoutError[] = "レイアウトオブジェクト生成エラーが発生しました。";

// Mapped as an image resource only: nothing of the module runs, and the
// 64-bit program can read a 32-bit layout file.
const DWORD kLayoutLoadFlags = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;
const INT_PTR kDialogFailed = -1;  // the dialog could not be created

struct FontSeed {
    FontElement element;
    LONG height;
    BYTE italic;
    const char* face;
};

const LONG kSeedWeight = FW_BOLD;
const FontSeed kFontSeeds[] = {
    {kFontFrame, -15, 1, "Arial"},
    {kFontLabel, -19, 0, "Courier New"},
    {kFontValue, -19, 0, "Arial"},
};
static_assert(sizeof kFontSeeds / sizeof kFontSeeds[0] == kFontElements, "one seed per display font");

// Copies name after the executable's folder into path (kPathSize); false when
// the executable's path is unknown or the result would not fit.
bool BesideExecutable(const char* name, char* path)
{
    DWORD n = GetModuleFileNameA(nullptr, path, kPathSize);
    if (n == 0 || n >= static_cast<DWORD>(kPathSize))
        return false;
    char* slash = std::strrchr(path, '\\');
    size_t folder = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    size_t length = std::strlen(name);
    if (folder + length > static_cast<size_t>(kPathSize) - 1) {
        path[0] = '\0';
        return false;
    }
    std::memcpy(path + folder, name, length + 1);
    return true;
}

bool IsBareName(const char* path)
{
    return std::strpbrk(path, "\\/:") == nullptr;
}

void SeedColours(AppState& app)
{
    for (ColorSlot& slot : app.colors.slot) {
        slot.colour = GetSysColor(COLOR_BTNTEXT);
        slot.shadowColour = GetSysColor(COLOR_BTNSHADOW);
    }
    app.colors.slot[kColorBack].colour = GetSysColor(COLOR_BTNFACE);
    app.mask.color = GetSysColor(COLOR_BTNFACE);
    app.alarm.colour = RGB(255, 0, 0);
}

void SeedFonts(AppState& app)
{
    for (const FontSeed& seed : kFontSeeds) {
        LOGFONTA& lf = app.fonts.slot[seed.element].configured;
        lf = LOGFONTA();
        lf.lfHeight = seed.height;
        lf.lfWeight = kSeedWeight;
        lf.lfItalic = seed.italic;
        lstrcpynA(lf.lfFaceName, seed.face, LF_FACESIZE);
    }
}

void ClearDisplayMarks(AppState& app)
{
    std::memset(app.hover, 0, sizeof app.hover);
    std::memset(app.tempShown, 0, sizeof app.tempShown);
    app.settingsPath[0] = '\0';
}

void LoadWindowIcons(AppState& app)
{
    app.smallIcon = static_cast<HICON>(LoadImageA(app.instance, MAKEINTRESOURCEA(IDI_SMALL), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    app.largeIcon = LoadIconA(app.instance, MAKEINTRESOURCEA(IDI_LARGE));
}

// One window built from the layout module. False when the module, its
// template or the window cannot be had; the module is unmapped on return,
// after the window has ended.
bool ShowLayoutWindow(HINSTANCE instance, DLGPROC mainProcedure, INT_PTR* result)
{
    ModuleOwner module(LoadLayoutModule(App().layoutPath));
    if (!module.Valid())
        return false;
    const DLGTEMPLATE* layout = LayoutTemplate(module.Get());
    if (!layout)
        return false;
    // Resources the template names by id come from the executable.
    INT_PTR code = DialogBoxIndirectParamA(instance, layout, nullptr, mainProcedure, 0);
    if (code == kDialogFailed)
        return false;
    *result = code;
    return true;
}

}  // namespace

const DLGTEMPLATE* LayoutTemplate(HMODULE module)
{
    if (!ResourceReadable(module, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(RT_DIALOG)), IDD_LAYOUT))
        return nullptr;
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_LAYOUT), RT_DIALOG);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || !DialogTemplateFits(data, SizeofResource(module, found)))
        return nullptr;
    return static_cast<const DLGTEMPLATE*>(data);
}

void ComputeSettingsPath(const char* commandLine)
{
    char* path = App().settingsPath;
    if (commandLine && *commandLine) {
        lstrcpynA(path, commandLine, kPathSize);
        return;
    }
    if (!BesideExecutable(kSettingsFileName, path))
        path[0] = '\0';
}

HMODULE LoadLayoutModule(const char* path)
{
    if (!path || !*path)
        return nullptr;
    if (IsBareName(path)) {
        char beside[kPathSize];
        if (BesideExecutable(path, beside)) {
            HMODULE module = LoadLibraryExA(beside, nullptr, kLayoutLoadFlags);
            if (module)
                return module;
        }
    }
    return LoadLibraryExA(path, nullptr, kLayoutLoadFlags);
}

void RunCreationLoop(HINSTANCE instance, DLGPROC mainProcedure)
{
    INT_PTR result = 1;
    while (result != 0) {
        if (App().layoutEnable) {
            if (!ShowLayoutWindow(instance, mainProcedure, &result)) {
                // The next pass builds the window from the executable's template.
                App().layoutEnable = 0;
                ShowError(nullptr, kLayoutError);
            }
            continue;
        }
        result = DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, mainProcedure, 0);
        // Without its own template there is no window to fall back on: end
        // instead of trying again for ever.
        if (result == kDialogFailed)
            result = 0;
    }
}

void SeedStartState(HINSTANCE instance)
{
    AppState& app = App();
    app.instance = instance;
    app.monitorTimer = 0;
    app.blinkTimer = 0;
    app.blinkPhase = 0;
    // Colours and fonts first: the theme keeps them where it names none.
    SeedColours(app);
    ClearDisplayMarks(app);
    LoadWindowIcons(app);
    SeedFonts(app);
}

int RunProgram(HINSTANCE instance, const char* commandLine, DLGPROC mainProcedure)
{
    SeedStartState(instance);
    ComputeSettingsPath(commandLine);
    LoadSettings(1);
    InitCommonControls();
    RunCreationLoop(instance, mainProcedure);
    return 1;
}
