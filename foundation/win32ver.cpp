#include "foundation/win32ver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kError[] = "(error)";
const char kNull[] = "(null)";
const int kLookupSize = 128;
const UINT kOneTranslation = 2 * sizeof(WORD);

}  // namespace

WIN32VER::WIN32VER() : data(nullptr), language(0), codePage(0), fileName(nullptr) {}

WIN32VER::~WIN32VER()
{
    Free();
}

void WIN32VER::Free()
{
    std::free(fileName);
    fileName = nullptr;
    std::free(data);
    data = nullptr;
}

int WIN32VER::Load(const char* path)
{
    Free();
    language = codePage = 0;
    const size_t length = std::strlen(path);
    fileName = static_cast<char*>(std::malloc(length + 1));
    if (!fileName)
        return 0;
    std::memcpy(fileName, path, length + 1);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(fileName, &ignored);
    if (size == 0)
        return 0;
    data = std::malloc(size);
    if (!data)
        return 0;
    void* translation = nullptr;
    UINT bytes = 0;
    // Exactly one language and code-page pair: two or more are refused.
    if (!GetFileVersionInfoA(fileName, 0, size, data) ||
        !VerQueryValueA(data, "\\VarFileInfo\\Translation", &translation, &bytes) ||
        bytes != kOneTranslation) {
        std::free(data);  // a query after a failed load finds nothing
        data = nullptr;
        return 0;
    }
    language = static_cast<WORD*>(translation)[0];
    codePage = static_cast<WORD*>(translation)[1];
    return 1;
}

const char* WIN32VER::QueryString(const char* name) const
{
    if (!data)
        return kError;
    char lookup[kLookupSize];
    std::snprintf(lookup, sizeof lookup, "\\StringFileInfo\\%04x%04x\\%s", language, codePage, name);
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data, lookup, &value, &length))
        return kError;
    return length == 0 ? kNull : static_cast<const char*>(value);
}
