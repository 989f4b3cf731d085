#include <windows.h>

#include "app/startup.h"
#include "window/mainwindow.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return RunProgram(instance, commandLine, MainDialogProc);
}
