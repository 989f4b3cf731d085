#include "support/appfixture.h"

#include "app/appstate.h"
#include "app/settings.h"
#include "app/startup.h"
#include "dialogs/cpuwindow.h"
#include "dialogs/settings.h"
#include "display/msgwindow.h"
#include "window/mainwindow.h"
#include "support/pump.h"

void PrepareFreshState(const TempDir& dir)
{
    ResetAppState();
    SeedStartState(GetModuleHandleA(nullptr));
    std::string settings = dir.File("VESKORA.VKC");
    std::string theme = dir.File("VESKORA.VKT");
    WritePrivateProfileStringA("Config", "FileName", theme.c_str(), settings.c_str());
    lstrcpynA(App().settingsPath, settings.c_str(), kPathSize);
    LoadSettings(1);
}

namespace {

HWND Finish(HWND window)
{
    if (!window)
        return nullptr;
    if (!App().monitorTimer) {
        DestroyWindow(window);  // initialisation failed and ended the dialog
        return nullptr;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    PumpMessages(100);
    return window;
}

}  // namespace

HWND CreateMainWindow(int templateId)
{
    return Finish(CreateDialogParamA(App().instance, MAKEINTRESOURCEA(templateId), nullptr,
                                     MainDialogProc, 0));
}

namespace {

int removedControl = 0;

INT_PTR CALLBACK WithoutControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        DestroyWindow(GetDlgItem(window, removedControl));
    return MainDialogProc(window, message, wParam, lParam);
}

}  // namespace

HWND CreateMainWindowWithout(int controlId)
{
    removedControl = controlId;
    return Finish(CreateDialogParamA(App().instance, MAKEINTRESOURCEA(200), nullptr,
                                     WithoutControlProc, 0));
}

HWND CreateMainWindowFromLayout(const char* path, int withoutId)
{
    HMODULE module = LoadLayoutModule(path);
    const DLGTEMPLATE* layout = module ? LayoutTemplate(module) : nullptr;
    removedControl = withoutId;
    HWND window = layout ? CreateDialogIndirectParamA(App().instance, layout, nullptr, WithoutControlProc, 0)
                         : nullptr;
    if (module)
        FreeLibrary(module);  // the window keeps its own copy of the template
    return Finish(window);
}

INT_PTR RunMainWindowModal()
{
    return DialogBoxParamA(App().instance, MAKEINTRESOURCEA(200), nullptr, MainDialogProc, 0);
}
