#pragma once
// CVKDRV: a channel to the driver device. The chip channel owns the handle;
// the processor channel borrows the same handle and never closes it.

#include <windows.h>

#include <cstdint>

#include "foundation/owner.h"

class CVKDRV {
public:
    CVKDRV();
    virtual ~CVKDRV();
    CVKDRV(const CVKDRV&) = delete;
    CVKDRV& operator=(const CVKDRV&) = delete;

    // Opens the device into this channel; false when it cannot be opened.
    bool OpenDevice();
    // Takes another channel's handle without owning it.
    void Borrow(const CVKDRV& owner);
    // Closes an owned handle, drops a borrowed one; harmless when repeated.
    void CloseChannel();
    bool HasHandle() const { return handle != INVALID_HANDLE_VALUE; }
    bool Borrowing() const { return borrowed != 0; }
    HANDLE Handle() const { return handle; }

    // One synchronous request; true when DeviceIoControl succeeded.
    bool Request(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize) const;

protected:
    int32_t borrowed;  // nonzero: handle belongs to another channel
    HANDLE handle;     // the device in use, owned or borrowed

private:
    FileOwner owned;  // set only while this channel has opened the device itself
};
