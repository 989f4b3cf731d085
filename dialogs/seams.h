#pragma once
// What the dialogs' tests can replace (the shape: foundation/seams.h): the
// platform's common dialogs, which wait for a user.

#include <windows.h>
#include <commdlg.h>

#include "foundation/seams.h"

struct DialogCalls {
    BOOL(WINAPI* openFile)(OPENFILENAMEA* request) = GetOpenFileNameA;
    BOOL(WINAPI* saveFile)(OPENFILENAMEA* request) = GetSaveFileNameA;
    BOOL(WINAPI* chooseColor)(CHOOSECOLORA* request) = ChooseColorA;
    BOOL(WINAPI* chooseFont)(CHOOSEFONTA* request) = ChooseFontA;
};
void SetDialogCalls(const DialogCalls& calls);
