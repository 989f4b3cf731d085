#include "foundation/userio.h"

const char kErrorCaption[] = "エラー情報";

namespace {

int RealMessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    return MessageBoxA(owner, text, caption, style);
}

void RealDebugLine(const char* line)
{
    OutputDebugStringA(line);
}

MessageBoxHook messageBoxCall = RealMessageBox;
DebugLineHook debugLineCall = RealDebugLine;

}  // namespace

int ShowMessage(HWND owner, const char* text, const char* caption, UINT style)
{
    return messageBoxCall(owner, text, caption, style);
}

int ShowError(HWND owner, const char* text)
{
    return ShowMessage(owner, text, kErrorCaption, kErrorStyle);
}

void DebugLine(const char* line)
{
    debugLineCall(line);
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    messageBoxCall = hook ? hook : RealMessageBox;
}

void SetDebugLineHook(DebugLineHook hook)
{
    debugLineCall = hook ? hook : RealDebugLine;
}
