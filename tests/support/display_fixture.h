#pragma once
// Shared set-up of the main-window tests: a fresh application state, a known
// sensor block from the substitute driver, captured message boxes.

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

#include "app/appstate.h"
#include "support/appfixture.h"
#include "support/capture.h"
#include "support/scenario.h"
#include "support/tempdir.h"

// A block with every kind of reading and every absence marker.
SensorBlock KnownBlock();

// A 24-bit Windows bitmap file whose pixel (x, y) is pixel(x, y), y downwards.
void WriteBitmapFile(const std::string& path, int width, int height,
                     const std::function<COLORREF(int x, int y)>& pixel);

// A thread starter that returns once the thread has finished and the
// caller's thread has had time to handle what it posted.
HANDLE StartAndFinish(LPTHREAD_START_ROUTINE procedure, void* parameter);

// A drop handle as the shell makes it, for one path.
HDROP MakeDrop(const std::string& path);

// Redraws through the layer, then in full (the reference), and tells
// whether the two back buffers are the same to the byte.
testing::AssertionResult LayeredRedrawIsTheFullOne(HWND window);

class DisplayTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window from template 200 and fails the test when it
    // does not initialise.
    HWND Open();
    // Centre of a control in the window's client coordinates.
    POINT CentreOf(int id) const;
    // Runs one reading on this thread and redraws, as a timer tick would.
    void ReadNow();
    std::string WindowText() const;
    // The dialog procedure's own result for a message (SendMessage would give
    // the dialog's message result instead).
    INT_PTR Proc(UINT message, WPARAM wParam, LPARAM lParam);

    TempDir dir;
    Scenario scenario;
    UserIoCapture io;
    HWND window = nullptr;
};
