#include "support/scenario.h"

#include <string>
#include <vector>

#include "driver/protocol.h"

namespace {

const char kParameters[] = "System\\CurrentControlSet\\Services\\veskora\\Parameters";
const DWORD kServiceWait = 15000;  // ms

bool RunSc(const char* verb)
{
    std::string command = std::string("sc.exe ") + verb + " veskora";
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, kServiceWait);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

bool DeviceOpens()
{
    HANDLE h = CreateFileA(VK_DEVICE_PATH, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

bool WaitForDevice(bool present)
{
    DWORD start = GetTickCount();
    while (DeviceOpens() != present) {
        if (GetTickCount() - start > kServiceWait)
            return false;
        Sleep(50);
    }
    return true;
}

}  // namespace

DriverScenario::DriverScenario() : key(nullptr)
{
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kParameters, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    Reset();
}

DriverScenario::~DriverScenario()
{
    Reset();
    if (key)
        RegCloseKey(key);
}

void DriverScenario::Set(const char* name, DWORD value)
{
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void DriverScenario::SetBlock(const SensorBlock& block)
{
    RegSetValueExA(key, "Block", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&block),
                   sizeof block);
}

void DriverScenario::SetText(const char* name, const char* text)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(lstrlenA(text) + 1));
}

void DriverScenario::Remove(const char* name)
{
    RegDeleteValueA(key, name);
}

void DriverScenario::Reset()
{
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, size);
    }
    for (const std::string& n : names)
        RegDeleteValueA(key, n.c_str());
}

bool StopDriver()
{
    return RunSc("stop") && WaitForDevice(false);
}

bool StartDriver()
{
    return RunSc("start") && WaitForDevice(true);
}
