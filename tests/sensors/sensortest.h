#pragma once
// Shared by the sensor tests: the substitute driver's scenario in the
// registry, captured debugger lines, stopping the driver, and a fixture that
// puts the sensor set and the application state back after every test.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "driver/protocol.h"
#include "sensors/csensor.h"

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

// The lines sent to the debugger while the object lives.
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    const std::vector<std::string>& Lines() const;
    void Clear();
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

// A block built word by word.
SensorBlock Block(std::initializer_list<uint16_t> volt, std::initializer_list<uint16_t> temp,
                  std::initializer_list<uint16_t> fan, std::initializer_list<uint16_t> pwm);

// Runs one cycle on this thread.
void SyncCycle(int cores, int dummy = 0);

class SensorTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    SensorBlock Current() const;
    SensorBlock Maximum() const;
    CoreTable Cores() const;
    SensorText Texts(const SensorBlock& block) const;

    Scenario scenario;
};
