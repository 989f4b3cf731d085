#include "support/scenario.h"

#include <cstring>
#include <string>

#include "driver/protocol.h"

namespace {

const char kParametersKey[] = "System\\CurrentControlSet\\Services\\veskora\\Parameters";
const DWORD kServiceWaitMs = 15000;

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
