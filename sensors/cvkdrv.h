#pragma once
// CVKDRV: a channel to the driver device. The chip channel owns the handle;
// the processor channel borrows the same handle and never closes it.

#include <windows.h>

#include <cstdint>

class CVKDRV {
public:
    CVKDRV();
    virtual ~CVKDRV();

    // Opens the device into this channel; false when it cannot be opened.
    bool OpenDevice();
    // Takes another channel's handle without owning it.
    void Borrow(const CVKDRV& owner);
    // Closes an owned handle, drops a borrowed one; harmless when repeated.
    void CloseChannel();
    bool HasHandle() const { return handle != INVALID_HANDLE_VALUE; }
    bool Borrowing() const { return borrowed != 0; }

    // One synchronous request; true when DeviceIoControl succeeded.
    bool Request(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize) const;

protected:
    int32_t borrowed;
    HANDLE handle;
};
