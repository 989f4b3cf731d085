#pragma once
// The substitute driver's scenario in the registry, and stopping the driver.

#include <windows.h>

#include "sensors/sensortypes.h"

// The driver's scenario: values under its service's Parameters key, read by
// the driver on every request. Whatever a test sets is gone when the object
// goes away, so the next test meets the defaults.
class Scenario {
public:
    Scenario();
    ~Scenario();
    Scenario(const Scenario&) = delete;
    Scenario& operator=(const Scenario&) = delete;

    void Set(const char* name, DWORD value);
    void SetBlock(const SensorBlock& block);
    void SetBinary(const char* name, const void* data, DWORD size);
    void SetString(const char* name, const char* text);
    void Remove(const char* name);
    void Clear();

private:
    HKEY key = nullptr;
};

// FailMask bits, in the order of the driver's requests.
enum RequestBit {
    REQ_STATUS, REQ_VERSION, REQ_CHIPID, REQ_BLOCK, REQ_CPUID, REQ_READREG, REQ_DTS, REQ_TJMAX
};

// Stops the driver's service for its lifetime; the device is gone meanwhile.
class DriverStopped {
public:
    DriverStopped();
    ~DriverStopped();
    bool Stopped() const { return stopped; }

private:
    bool stopped = false;
};

bool DeviceAvailable();
