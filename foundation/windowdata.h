#pragma once
// What one window keeps while it lives, held in its DWLP_USER slot: made
// when the window starts (or at first use), freed when it goes. The main
// window and the dialogs each keep one record of their own there.

#include <windows.h>

template <typename T>
T* WindowDataOf(HWND window)
{
    return reinterpret_cast<T*>(GetWindowLongPtrA(window, DWLP_USER));
}

template <typename T>
void FreeWindowData(HWND window)
{
    delete WindowDataOf<T>(window);
    SetWindowLongPtrA(window, DWLP_USER, 0);
}

// A fresh record, replacing the one the window had; null when the window
// cannot keep one (it is gone).
template <typename T>
T* AttachWindowData(HWND window)
{
    FreeWindowData<T>(window);
    T* data = new T();
    SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(data));
    if (WindowDataOf<T>(window) == data)
        return data;
    delete data;
    return nullptr;
}
