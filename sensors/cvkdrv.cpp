#include "sensors/cvkdrv.h"

#include "driver/protocol.h"

CVKDRV::CVKDRV() : borrowed(0), handle(INVALID_HANDLE_VALUE) {}

CVKDRV::~CVKDRV()
{
    CloseChannel();
}

bool CVKDRV::OpenDevice()
{
    HANDLE device = CreateFileA(VK_DEVICE_PATH, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return false;
    owned.Reset(device);
    handle = device;
    return true;
}

void CVKDRV::Borrow(const CVKDRV& owner)
{
    handle = owner.handle;
    borrowed = 1;
}

void CVKDRV::CloseChannel()
{
    if (borrowed)
        borrowed = 0;
    else
        owned.Reset();
    handle = INVALID_HANDLE_VALUE;
}

bool CVKDRV::Request(uint32_t code, void* in, uint32_t inSize, void* out, uint32_t outSize) const
{
    if (!HasHandle())
        return false;
    DWORD returned = outSize;
    return DeviceIoControl(handle, code, in, inSize, out, outSize, &returned, nullptr) != 0;
}
