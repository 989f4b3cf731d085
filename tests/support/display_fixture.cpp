#include "support/display_fixture.h"

#include <shlobj.h>

#include <cstring>

#include "display/commands.h"
#include "window/mainwindow.h"
#include "display/geometry.h"
#include "display/panels.h"
#include "display/readings.h"
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

void WriteBitmapFile(const std::string& path, int width, int height,
                     const std::function<COLORREF(int x, int y)>& pixel)
{
    int rowSize = ((width * 3 + 3) / 4) * 4;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + rowSize * height;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up: the last row in the file is the top one
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = height - 1; y >= 0; --y) {
        std::string row(rowSize, '\0');
        for (int x = 0; x < width; ++x) {
            COLORREF c = pixel(x, y);
            row[3 * x] = static_cast<char>(GetBValue(c));
            row[3 * x + 1] = static_cast<char>(GetGValue(c));
            row[3 * x + 2] = static_cast<char>(GetRValue(c));
        }
        bytes += row;
    }
    WriteWholeFile(path, bytes);
}

HANDLE StartAndFinish(LPTHREAD_START_ROUTINE procedure, void* parameter)
{
    HANDLE thread = CreateThread(nullptr, 0, procedure, parameter, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    Sleep(300);
    return thread;
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

std::string SurfacePixels(HDC source, int width, int height, int x = 0, int y = 0)
{
    BITMAPINFO info = TopDownBitmapInfo(width, height);
    void* bits = nullptr;
    BitmapOwner copy(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    MemoryDcOwner dc(CreateCompatibleDC(nullptr));
    if (!copy.Valid() || !dc.Valid())
        return "";
    HGDIOBJ old = SelectObject(dc.Get(), copy.Get());
    BitBlt(dc.Get(), 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    std::string pixels(static_cast<const char*>(bits), 4u * width * height);
    SelectObject(dc.Get(), old);
    return pixels;
}

// Also that the window, repainted from the areas the redraw marked, shows
// the back buffer whole.
testing::AssertionResult LayeredRedrawIsTheFullOne(HWND window)
{
    DrawPanels(window);
    UpdateWindow(window);
    const SkinState& skin = App().skinState;
    const WINMEMDC& buffer = skin.backBuffer;
    const std::string layered = SurfacePixels(buffer.dc.Get(), buffer.width, buffer.height);
    HDC screen = GetDC(window);
    const std::string shown = SurfacePixels(screen, buffer.width, buffer.height, skin.x, skin.y);
    ReleaseDC(window, screen);
    if (!IsWindowVisible(window) || IsIconic(window))
        return testing::AssertionFailure() << "the window is not shown";
    if (shown != layered)
        return testing::AssertionFailure() << "the window does not show the back buffer";
    MemoryDcOwner dc(CreateCompatibleDC(buffer.dc.Get()));
    BitmapOwner bitmap(CreateCompatibleBitmap(buffer.dc.Get(), buffer.width, buffer.height));
    HGDIOBJ old = SelectObject(dc.Get(), bitmap.Get());
    DrawPanelsFull(window, dc.Get());
    const std::string full = SurfacePixels(dc.Get(), buffer.width, buffer.height);
    SelectObject(dc.Get(), old);
    if (layered.empty() || full.size() != layered.size())
        return testing::AssertionFailure() << "no back buffer";
    if (layered == full)
        return testing::AssertionSuccess();
    size_t at = 0;
    while (layered[at] == full[at])
        ++at;
    return testing::AssertionFailure() << "first different pixel at (" << (at / 4) % buffer.width
                                       << ", " << (at / 4) / buffer.width << ")";
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
