#include "support/pump.h"

namespace {

bool DispatchOne()
{
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        return false;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

}  // namespace

void PumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (!DispatchOne()) {
            Sleep(1);
            if (!DispatchOne())
                break;
        }
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= ms)
            return false;
        if (!DispatchOne())
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}
