#pragma once
// The substitute driver's scenario: values under its Parameters key, read on
// every request. An object starts from and leaves behind the live defaults.

#include <windows.h>

#include "sensors/sensortypes.h"

class DriverScenario {
public:
    DriverScenario();
    ~DriverScenario();
    DriverScenario(const DriverScenario&) = delete;
    DriverScenario& operator=(const DriverScenario&) = delete;

    void Set(const char* name, DWORD value);
    void SetBlock(const SensorBlock& block);
    void SetText(const char* name, const char* text);
    void Remove(const char* name);
    // Removes every value: the driver simulates a live board again.
    void Reset();

private:
    HKEY key;
};

// Stops or starts the driver service and waits until the device is gone or
// answers again; false on time-out.
bool StopDriver();
bool StartDriver();
