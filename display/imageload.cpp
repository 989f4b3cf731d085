#include "display/imageload.h"

#include <olectl.h>

#include <cstring>
#include <vector>

#include "display/imagedecode.h"
#include "foundation/gdiwrap.h"

namespace {

const unsigned char kBitmapSignature[] = {'B', 'M'};
const unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G'};
const char kFileScheme[] = "file:";
const size_t kFileSchemeLength = sizeof kFileScheme - 1;

bool StartsWith(const unsigned char* bytes, size_t size, const unsigned char* signature, size_t length)
{
    return size >= length && std::memcmp(bytes, signature, length) == 0;
}

}  // namespace

// An existing file, opened for reading: others may read it meanwhile, but
// not write, rename or delete it.
HANDLE OpenForReading(const char* fileName)
{
    return CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool FileHasSignature(const unsigned char* signature, unsigned int length, const char* fileName)
{
    FileOwner file(OpenForReading(fileName));
    if (!file.Valid())
        return false;
    std::vector<unsigned char> head(length);
    DWORD read = 0;
    if (!ReadFile(file.Get(), head.data(), length, &read, nullptr) || read != length)
        return false;
    return std::memcmp(head.data(), signature, length) == 0;
}

namespace {

// The picture loader's calls: from a file's name, and from a stream over
// bytes in memory with the call that makes such a stream.
struct PictureCalls {
    decltype(&OleLoadPicturePath) loadPath = nullptr;
    decltype(&OleLoadPicture) loadStream = nullptr;
    decltype(&CreateStreamOnHGlobal) makeStream = nullptr;
};

template <typename Call>
Call Entry(HMODULE module, const char* name)
{
    FARPROC entry = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Call>(reinterpret_cast<void (*)()>(entry));
}

// Found the first time a JPEG or GIF is read: a monitor that shows none
// never loads OLE. The libraries stay for the process's life; the pictures
// they make run their code. Null where the system has none.
PictureCalls FindPictureCalls()
{
    PictureCalls calls;
    HMODULE pictures = LoadLibraryA("oleaut32.dll");
    HMODULE streams = pictures ? LoadLibraryA("ole32.dll") : nullptr;
    calls.loadPath = Entry<decltype(calls.loadPath)>(pictures, "OleLoadPicturePath");
    calls.loadStream = Entry<decltype(calls.loadStream)>(pictures, "OleLoadPicture");
    calls.makeStream = Entry<decltype(calls.makeStream)>(streams, "CreateStreamOnHGlobal");
    return calls;
}

const PictureCalls& Pictures()
{
    static const PictureCalls calls = FindPictureCalls();
    return calls;
}

}  // namespace

// The bitmap of a picture the OLE loader made; the picture object, which
// owns that bitmap, is kept in the image.
static HBITMAP AdoptPicture(WINIMG* image, IPicture* picture)
{
    image->picture.Reset(picture);
    OLE_HANDLE handle = 0;
    if (FAILED(picture->get_Handle(&handle)))
        return nullptr;
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

static HBITMAP LoadPictureFile(WINIMG* image, const char* fileName)
{
    // Only a file that is there goes to the picture loader: given anything
    // else, it would try the name as an address, network included. A name
    // written as a file: address is the user's own choice and passes.
    const bool address = _strnicmp(fileName, kFileScheme, kFileSchemeLength) == 0;
    if (!address && !FileOwner(OpenForReading(fileName)).Valid())
        return nullptr;
    const auto loadPicture = Pictures().loadPath;
    if (!loadPicture)
        return nullptr;
    // The ANSI code page: the one the name was written in. (The OEM one
    // differs outside Japan and would spoil names with accented letters.)
    const int length = lstrlenA(fileName);
    std::vector<WCHAR> wide(length + 2);
    if (!MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide.data(), length + 2))
        return nullptr;
    IPicture* picture = nullptr;
    if (FAILED(loadPicture(wide.data(), nullptr, 0, 0, IID_IPicture, reinterpret_cast<void**>(&picture))) ||
        !picture)
        return nullptr;
    return AdoptPicture(image, picture);
}

// The same from the file's bytes, through a stream over the block that holds
// them (the block stays with the file's record).
static HBITMAP PictureFromBytes(WINIMG* image, const WINIMGFILE& file)
{
    const PictureCalls& calls = Pictures();
    IStream* stream = nullptr;
    if (!calls.loadStream || !calls.makeStream || FAILED(calls.makeStream(file.block.Get(), FALSE, &stream)) ||
        !stream)
        return nullptr;
    IPicture* picture = nullptr;
    const HRESULT loaded = calls.loadStream(stream, static_cast<LONG>(file.size), FALSE, IID_IPicture,
                                            reinterpret_cast<void**>(&picture));
    stream->Release();
    if (FAILED(loaded) || !picture)
        return nullptr;
    return AdoptPicture(image, picture);
}

bool WINBMP::LoadBitmapFile(const char* fileName)
{
    Release();
    dc.Reset(CreateCompatibleDC(nullptr));
    if (!dc.Valid())
        return false;
    return Adopt(LoadBitmapImage(fileName, false));
}

bool WINIMG::LoadImageFile(const char* fileName)
{
    Release();
    dc.Reset(CreateCompatibleDC(nullptr));
    if (!dc.Valid())
        return false;
    HBITMAP loaded = nullptr;
    if (FileHasSignature(kBitmapSignature, sizeof kBitmapSignature, fileName))
        loaded = LoadBitmapImage(fileName, true);
    else if (FileHasSignature(kPngSignature, sizeof kPngSignature, fileName))
        loaded = LoadPngFile(fileName);
    else
        loaded = LoadPictureFile(this, fileName);
    return Adopt(loaded);
}

bool WINIMG::LoadImageBytes(const WINIMGFILE& file)
{
    Release();
    dc.Reset(CreateCompatibleDC(nullptr));
    if (!dc.Valid() || !file.block.Valid())
        return false;
    const auto* bytes = static_cast<const unsigned char*>(GlobalLock(file.block.Get()));
    if (!bytes)
        return false;
    HBITMAP loaded = nullptr;
    const bool bitmapFile = StartsWith(bytes, file.size, kBitmapSignature, sizeof kBitmapSignature);
    const bool pngFile = StartsWith(bytes, file.size, kPngSignature, sizeof kPngSignature);
    if (bitmapFile)
        loaded = BitmapFromBytes(bytes, file.size);
    else if (pngFile)
        loaded = PngFromBytes(bytes, file.size);
    GlobalUnlock(file.block.Get());
    if (!bitmapFile && !pngFile)
        loaded = PictureFromBytes(this, file);
    return Adopt(loaded);
}
