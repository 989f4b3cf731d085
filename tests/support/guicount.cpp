#include "support/guicount.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>

namespace {

// One entry of the GDI handle table the PEB points to.
struct GdiHandleEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;
    uint8_t type;
    uint8_t flags;
    uint64_t userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "GDI handle table entry");
const int kGdiHandles = 0x10000;
const unsigned kFirstUserHandle = 0x20;
const unsigned kLastUserHandle = 0xFFFE;

#ifndef _WIN64
const GdiHandleEntry* Wow64Table()
{
    const size_t kTeb32GdiBatchCount = 0xF70;
    const size_t kTeb64Peb = 0x60;
    const size_t kPeb64Table = 0xF8;
    struct ThreadBasicInformation {
        LONG exitStatus;
        PVOID tebBaseAddress;
        PVOID clientId[2];
        ULONG_PTR affinityMask;
        LONG priority;
        LONG basePriority;
    } thread = {};
    const auto kThreadBasicInformation = static_cast<THREADINFOCLASS>(0);
    if (NtQueryInformationThread(GetCurrentThread(), kThreadBasicInformation, &thread,
                                 sizeof thread, nullptr) != 0)
        return nullptr;
    auto* teb = static_cast<const BYTE*>(thread.tebBaseAddress);
    const uint32_t teb64 = *reinterpret_cast<const uint32_t*>(teb + kTeb32GdiBatchCount);
    if (!teb64)
        return nullptr;
    const uint64_t peb64 = *reinterpret_cast<const uint64_t*>(static_cast<uintptr_t>(teb64) + kTeb64Peb);
    const uint64_t table = *reinterpret_cast<const uint64_t*>(static_cast<uintptr_t>(peb64) + kPeb64Table);
    return reinterpret_cast<const GdiHandleEntry*>(static_cast<uintptr_t>(table));
}
#endif

const GdiHandleEntry* GdiTable()
{
#ifndef _WIN64
    // Under WoW64 the table hangs off the 64-bit PEB, which the 32-bit TEB's
    // GdiBatchCount leads to (through the 64-bit TEB).
    BOOL wow64 = FALSE;
    if (IsWow64Process(GetCurrentProcess(), &wow64) && wow64)
        if (const GdiHandleEntry* table = Wow64Table())
            return table;
#endif
    // The PEB's GdiSharedHandleTable.
#ifdef _WIN64
    const size_t kTableOffset = 0xF8;
#else
    const size_t kTableOffset = 0x94;
#endif
    PROCESS_BASIC_INFORMATION info = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof info,
                                  nullptr) != 0)
        return nullptr;
    auto* peb = reinterpret_cast<const BYTE*>(info.PebBaseAddress);
    return *reinterpret_cast<GdiHandleEntry* const*>(peb + kTableOffset);
}

}  // namespace

int CountGdiObjects()
{
    int count = 0;
    if (const GdiHandleEntry* table = GdiTable())
        for (int i = 0; i < kGdiHandles; ++i)
            if (table[i].type)
                ++count;
    return count;
}

GuiCounts CountGuiObjects()
{
    GuiCounts counts = {};
    counts.gdi = CountGdiObjects();
    DWORD self = GetCurrentProcessId();
    HDC probe = CreateCompatibleDC(nullptr);
    // A handle with a zero high word stands for any generation of its slot.
    for (unsigned value = kFirstUserHandle; value <= kLastUserHandle; value += 2) {
        HANDLE h = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
        DWORD owner = 0;
        if (IsWindow(static_cast<HWND>(h))) {
            GetWindowThreadProcessId(static_cast<HWND>(h), &owner);
            counts.windows += owner == self;
        } else if (IsMenu(static_cast<HMENU>(h))) {
            ++counts.menus;
        } else if (DrawIconEx(probe, 0, 0, static_cast<HICON>(h), 1, 1, 0, nullptr, DI_NORMAL)) {
            ++counts.icons;
        }
    }
    DeleteDC(probe);
    return counts;
}

int CountKernelHandles()
{
    const uintptr_t kLastProbed = 0x4000;  // handle values are handed out from the bottom
    int count = 0;
    for (uintptr_t value = 4; value <= kLastProbed; value += 4) {
        DWORD flags = 0;
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    }
    return count;
}
