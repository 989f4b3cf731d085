#pragma once
// What the dialogs' tests can replace: the platform's common dialogs, which
// wait for a user. Each call defaults to the real one; null puts it back.

#include <windows.h>
#include <commdlg.h>

struct CommonDialogCalls {
    BOOL(WINAPI* openFile)(OPENFILENAMEA* request);
    BOOL(WINAPI* saveFile)(OPENFILENAMEA* request);
    BOOL(WINAPI* chooseColor)(CHOOSECOLORA* request);
    BOOL(WINAPI* chooseFont)(CHOOSEFONTA* request);
};
extern const CommonDialogCalls kRealCommonDialogs;
void SetCommonDialogCalls(const CommonDialogCalls* calls);
