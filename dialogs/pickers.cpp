#include "dialogs/pickers.h"

#include <commdlg.h>

#include <cstring>

#include "app/appstate.h"

const char kSettingsFilter[] = "設定ファイル\0*.VKC;\0全てのファイル\0*.*\0";
const char kThemeFilter[] = "テーマファイル\0*.VKT;\0全てのファイル\0*.*\0";
const char kLayoutFilter[] = "レイアウトファイル\0*.VKL;\0全てのファイル\0*.*\0";
const char kSettingsChooserTitle[] = "設定ファイルの選択";
const char kThemeChooserTitle[] = "テーマファイルの選択";
const char kLayoutChooserTitle[] = "レイアウトの選択";

bool ChooseFileName(HWND owner, const char* title, const char* filter, char* path, bool open)
{
    char directory[kPathSize] = "";
    char name[kPathSize] = "";
    const char* slash = std::strrchr(path, '\\');
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
    request.Flags = OFN_READONLY | OFN_HIDEREADONLY;
    BOOL chosen = open ? GetOpenFileNameA(&request) : GetSaveFileNameA(&request);
    if (!chosen)
        return false;
    lstrcpynA(path, name, kPathSize);
    return true;
}
