#include "display_fixture.h"

#include <shlobj.h>

#include <cstring>

#include "display/commands.h"
#include "display/mainwindow.h"
#include "display/panels.h"
#include "sensors/csensor.h"
#include "support/pump.h"

SensorBlock KnownBlock()
{
    SensorBlock b = {};
    const uint16_t volt[kVoltCount] = {165, 150, 0, 100, 120, 171, 0, 208, 190};
    const uint16_t temp[kTempCount] = {45, 38, kNoTemp};
    const uint16_t fan[kFanCount] = {1000, kNoFan, 0, 2000};
    const uint16_t pwm[kFanCount] = {255, kNoPwm, 127, 129};
    for (int i = 0; i < kVoltCount; ++i)
        b.volt[i] = volt[i];
    for (int i = 0; i < kTempCount; ++i)
        b.temp[i] = temp[i];
    for (int i = 0; i < kFanCount; ++i) {
        b.fan[i] = fan[i];
        b.pwm[i] = pwm[i];
    }
    return b;
}

HDROP MakeDrop(const std::string& path)
{
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + path.size() + 2);
    auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
    files->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), path.data(), path.size());
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void DisplayTest::SetUp()
{
    PrepareFreshState(dir);
    scenario.SetBlock(KnownBlock());
}

void DisplayTest::TearDown()
{
    if (window)
        DestroyWindow(window);
    PumpMessages(50);
    ResetAppState();
}

HWND DisplayTest::Open()
{
    window = CreateMainWindow();
    EXPECT_NE(nullptr, window) << (io.Messages().empty() ? "" : io.Messages()[0].text);
    return window;
}

POINT DisplayTest::CentreOf(int id) const
{
    RECT r = {};
    GetControlRect(window, id, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void DisplayTest::ReadNow()
{
    ReadRequest request = {1, App().dummy, App().coreTemp.enable, nullptr, ID_UPDATE, 0, nullptr};
    CSENSOR::Start(&request);
    SendMessageA(window, WM_COMMAND, ID_UPDATE, 0);
}

INT_PTR DisplayTest::Proc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return MainDialogProc(window, message, wParam, lParam);
}

std::string DisplayTest::WindowText() const
{
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}
