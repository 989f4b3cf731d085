#include "foundation/userio.h"

#include "foundation/seams.h"

const char kErrorCaption[] = "エラー情報";

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style)
{
    return CallsOf<UserCalls>().messageBox(owner, text, caption, style);
}

int ShowError(HWND owner, const char* text)
{
    return ShowMessage(owner, text, kErrorCaption, kErrorStyle);
}

void DebugLine(const char* line)
{
    CallsOf<UserCalls>().debugLine(line);
}
