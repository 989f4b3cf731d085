#include "support/benchstart.h"

#include <commctrl.h>

#include "app/settings.h"
#include "app/startup.h"

std::string FreshBenchSettings(const char* folder, const char* timer)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string base = std::string(temp) + folder;
    CreateDirectoryA(base.c_str(), nullptr);
    const std::string settings = base + "\\bench.vkc";
    const std::string theme = base + "\\bench.vkt";
    DeleteFileA(settings.c_str());
    DeleteFileA(theme.c_str());
    WritePrivateProfileStringA("Config", "FileName", theme.c_str(), settings.c_str());
    WritePrivateProfileStringA("Global", "Timer", timer, theme.c_str());
    return settings;
}

void RunBenchWindows(const std::string& settings, DLGPROC procedure)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    SeedStartState(instance);
    ComputeSettingsPath(settings.c_str());
    LoadSettings(1);
    InitCommonControls();
    RunCreationLoop(instance, procedure);
}
