#include "sensortest.h"

#include <cstring>

#include "app/appstate.h"
#include "foundation/userio.h"

namespace {

const char kParametersKey[] = "System\\CurrentControlSet\\Services\\veskora\\Parameters";
const DWORD kServiceWaitMs = 15000;

std::vector<std::string> captured;

void CaptureLine(const char* line)
{
    captured.emplace_back(line);
}

// Runs sc.exe with the arguments and waits for it; its exit code.
DWORD RunSc(const char* arguments)
{
    std::string command = std::string("sc.exe ") + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return ~0u;
    WaitForSingleObject(process.hProcess, kServiceWaitMs);
    DWORD code = ~0u;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

bool WaitForDevice(bool present)
{
    for (DWORD waited = 0; waited < kServiceWaitMs; waited += 50) {
        if (DeviceAvailable() == present)
            return true;
        Sleep(50);
    }
    return false;
}

void Assign(uint16_t* words, std::initializer_list<uint16_t> values)
{
    for (uint16_t value : values)
        *words++ = value;
}

}  // namespace

Scenario::Scenario()
{
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    Clear();
}

Scenario::~Scenario()
{
    Clear();
    if (key)
        RegCloseKey(key);
}

void Scenario::Set(const char* name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void Scenario::SetBlock(const SensorBlock& block)
{
    SetBinary("Block", &block, sizeof(block));
}

void Scenario::SetBinary(const char* name, const void* data, DWORD size)
{
    RegSetValueExA(key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size);
}

void Scenario::SetString(const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

void Scenario::Remove(const char* name)
{
    RegDeleteValueA(key, name);
}

void Scenario::Clear()
{
    char name[256];
    DWORD size = sizeof(name);
    while (key && RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        if (RegDeleteValueA(key, name) != ERROR_SUCCESS)
            break;
        size = sizeof(name);
    }
}

DebugCapture::DebugCapture()
{
    captured.clear();
    SetDebugLineHook(CaptureLine);
}

DebugCapture::~DebugCapture()
{
    SetDebugLineHook(nullptr);
    captured.clear();
}

const std::vector<std::string>& DebugCapture::Lines() const
{
    return captured;
}

void DebugCapture::Clear()
{
    captured.clear();
}

bool DeviceAvailable()
{
    HANDLE device = CreateFileA("\\\\.\\veskora", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(device);
    return true;
}

DriverStopped::DriverStopped()
{
    RunSc("stop veskora");
    stopped = WaitForDevice(false);
}

DriverStopped::~DriverStopped()
{
    RunSc("start veskora");
    WaitForDevice(true);
}

SensorBlock Block(std::initializer_list<uint16_t> volt, std::initializer_list<uint16_t> temp,
                  std::initializer_list<uint16_t> fan, std::initializer_list<uint16_t> pwm)
{
    SensorBlock block = {};
    Assign(block.volt, volt);
    Assign(block.temp, temp);
    Assign(block.fan, fan);
    Assign(block.pwm, pwm);
    return block;
}

void SyncCycle(int cores, int dummy)
{
    ReadRequest request = {1, dummy, cores, nullptr, ID_UPDATE, 0, nullptr};
    ASSERT_TRUE(CSENSOR::Start(&request));
}

void SensorTest::SetUp()
{
    CSENSOR::Close();
    ResetAppState();
    CSENSOR::chip.SetDividers(nullptr);
    ASSERT_TRUE(DeviceAvailable()) << "the substitute driver is not running (scripts/driver.sh start)";
}

void SensorTest::TearDown()
{
    CSENSOR::Close();
    CSENSOR::chip.SetDividers(nullptr);
    CSENSOR::SetThreadStarter(nullptr);
    SetCoreWalkCalls(nullptr);
    SetDebugLineHook(nullptr);
    ResetAppState();
}

SensorBlock SensorTest::Current() const
{
    SensorBlock block;
    CSENSOR::CopyBlocks(&block, nullptr);
    return block;
}

SensorBlock SensorTest::Maximum() const
{
    SensorBlock block;
    CSENSOR::CopyBlocks(nullptr, &block);
    return block;
}

CoreTable SensorTest::Cores() const
{
    CoreTable table;
    CSENSOR::CopyCores(&table);
    return table;
}

SensorText SensorTest::Texts(const SensorBlock& block) const
{
    SensorText text;
    CSENSOR::chip.Format(block, &text);
    return text;
}
