#pragma once
// One owner for every kind of handle: Reset closes only a valid value and
// stores the invalid one, so releasing twice is harmless.

#include <windows.h>
#include <ole2.h>

template <typename Traits>
class Owner {
public:
    using Type = typename Traits::Type;

    Owner() : value(Traits::Invalid()) {}
    explicit Owner(Type v) : value(v) {}
    ~Owner() { Reset(); }
    Owner(const Owner&) = delete;
    Owner& operator=(const Owner&) = delete;

    void Reset(Type v = Traits::Invalid())
    {
        if (value != Traits::Invalid())
            Traits::Close(value);
        value = v;
    }
    // Gives up ownership without closing.
    Type Detach()
    {
        Type v = value;
        value = Traits::Invalid();
        return v;
    }
    Type Get() const { return value; }
    bool Valid() const { return value != Traits::Invalid(); }

private:
    Type value;
};

template <typename H>
struct GdiObjectTraits {
    using Type = H;
    static H Invalid() { return nullptr; }
    static void Close(H h) { DeleteObject(h); }
};

struct MemoryDcTraits {
    using Type = HDC;
    static HDC Invalid() { return nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

struct FileHandleTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};

struct WindowTraits {
    using Type = HWND;
    static HWND Invalid() { return nullptr; }
    static void Close(HWND h) { DestroyWindow(h); }
};

struct ModuleTraits {
    using Type = HMODULE;
    static HMODULE Invalid() { return nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};

struct GlobalMemoryTraits {
    using Type = HGLOBAL;
    static HGLOBAL Invalid() { return nullptr; }
    static void Close(HGLOBAL h) { GlobalFree(h); }
};

struct ComTraits {
    using Type = IUnknown*;
    static IUnknown* Invalid() { return nullptr; }
    static void Close(IUnknown* p) { p->Release(); }
};

using FontOwner = Owner<GdiObjectTraits<HFONT>>;
using BrushOwner = Owner<GdiObjectTraits<HBRUSH>>;
using BitmapOwner = Owner<GdiObjectTraits<HBITMAP>>;
using RegionOwner = Owner<GdiObjectTraits<HRGN>>;
using MemoryDcOwner = Owner<MemoryDcTraits>;
using HandleOwner = Owner<KernelHandleTraits>;
using FileOwner = Owner<FileHandleTraits>;
using WindowOwner = Owner<WindowTraits>;
using ModuleOwner = Owner<ModuleTraits>;
using GlobalOwner = Owner<GlobalMemoryTraits>;
