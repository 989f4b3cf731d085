#include "app/tray.h"

#include <cctype>

#include "app/appstate.h"
#include "app/rows.h"

namespace {

bool IsFanRow(int row)
{
    return RowAt(row).group == kFanRows;
}

// One entry, spaces around it already skipped; false when it names nothing.
bool ParseEntry(const char* begin, const char* end, TraySource* source)
{
    if (end - begin == 1 && (*begin == 'c' || *begin == 'C')) {
        *source = TraySource{kTrayHottestCore, -1};
        return true;
    }
    TrayKind kind = kTrayReading;
    if (begin < end && (*begin == 'd' || *begin == 'D')) {
        kind = kTrayDuty;
        ++begin;
    }
    // At most two digits: a longer number names no row, and cannot overflow.
    if (begin == end || end - begin > 2)
        return false;
    int row = 0;
    for (const char* p = begin; p < end; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            return false;
        row = row * 10 + (*p - '0');
    }
    if (row >= kRowCount || (kind == kTrayDuty && !IsFanRow(row)))
        return false;
    *source = TraySource{kind, row};
    return true;
}

}  // namespace

int ParseTrayRows(const char* text, TraySource* sources, int max)
{
    int count = 0;
    const char* p = text;
    while (*p && count < max) {
        while (*p == ' ' || *p == '\t')
            ++p;
        const char* begin = p;
        while (*p && *p != ',')
            ++p;
        const char* end = p;
        while (end > begin && (end[-1] == ' ' || end[-1] == '\t'))
            --end;
        if (ParseEntry(begin, end, &sources[count]))
            ++count;
        if (*p == ',')
            ++p;
    }
    return count;
}
