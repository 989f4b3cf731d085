#include "display/imageload.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "foundation/gdiwrap.h"

namespace {

const unsigned char kBitmapSignature[] = {'B', 'M'};

// A device-dependent bitmap in the screen's format, from a Windows bitmap file.
HBITMAP LoadBitmapImage(const char* fileName)
{
    return static_cast<HBITMAP>(
        LoadImageA(nullptr, fileName, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

}  // namespace

bool FileHasSignature(const unsigned char* signature, unsigned int length, const char* fileName)
{
    FileOwner file(CreateFileA(fileName, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return false;
    std::vector<unsigned char> head(length);
    DWORD read = 0;
    if (!ReadFile(file.Get(), head.data(), length, &read, nullptr) || read != length)
        return false;
    return std::memcmp(head.data(), signature, length) == 0;
}

bool WINBMP::LoadBitmapFile(const char* fileName)
{
    Release();
    dc.Reset(CreateCompatibleDC(nullptr));
    if (!dc.Valid())
        return false;
    bitmap.Reset(LoadBitmapImage(fileName));
    if (!bitmap.Valid())
        return false;
    SelectLoaded();
    return true;
}

bool WINIMG::LoadImageFile(const char* fileName)
{
    Release();
    dc.Reset(CreateCompatibleDC(nullptr));
    if (!dc.Valid())
        return false;
    if (FileHasSignature(kBitmapSignature, sizeof kBitmapSignature, fileName))
        bitmap.Reset(LoadBitmapImage(fileName));
    if (!bitmap.Valid())
        return false;
    SelectLoaded();
    return true;
}
