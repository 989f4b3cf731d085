#include "app/readingslog.h"

#include <cstdio>
#include <cstring>

#include "app/rows.h"
#include "app/seams.h"

const char kTabSeparator[] = "TAB";

namespace {

const int kMaxVariants = 999;            // NAME_1 ... before a log name is given up
const ULONGLONG kDay = 864000000000ULL;  // in file-time units

char SeparatorOf(const LogSettings& log)
{
    return lstrcmpiA(log.separator, kTabSeparator) == 0 ? '\t' : ',';
}

// The shown rows of a group: their readings, or the fans' duties.
void AddRows(LogLine& log, char separator, RowGroup group, bool duties)
{
    AppState& a = App();
    const RowGroupInfo& g = kRowGroups[group];
    for (int row = g.first; row < g.first + g.count; ++row) {
        if (!*RowShown(a, row))
            continue;
        const Row r = RowAt(row);
        log.header += separator + std::string(RowLabel(a, row)) + " (" + (duties ? a.units.pwm : RowUnit(a, row)) +
                      ")";
        log.line += separator + std::string(a.current.text[duties ? r.dutySlot : r.slot]);
    }
}

void AddCores(LogLine& log, char separator, const CoreTable& cores)
{
    for (int i = 0; i < kCoreSlots; ++i) {
        if (static_cast<unsigned>(i) >= cores.count || !cores.core[i].valid)
            continue;
        char field[16];
        std::snprintf(field, sizeof field, "CORE %02d", i);
        log.header += separator + std::string(field);
        std::snprintf(field, sizeof field, "%d", cores.core[i].temp);
        log.line += separator + std::string(field);
    }
}

// Just past the last folder separator (or drive colon) of a path; null
// when it names no folder.
const char* FolderEnd(const char* path)
{
    const char* end = nullptr;
    for (const char* c = path; *c; ++c)
        if (*c == '\\' || *c == '/' || *c == ':')
            end = c + 1;
    return end;
}

bool IsRelative(const char* path)
{
    return !(path[0] == '\\' || path[0] == '/' || (path[0] && path[1] == ':'));
}

std::string FirstLine(const char* path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    char head[4096];
    DWORD got = 0;
    if (!ReadFile(file, head, sizeof head, &got, nullptr))
        got = 0;
    CloseHandle(file);
    std::string text(head, got);
    const size_t end = text.find("\r\n");
    return end == std::string::npos ? text : text.substr(0, end + 2);
}

bool Exists(const char* path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// NAME_n.EXT for n > 0.
std::string Variant(const std::string& name, int n)
{
    if (n == 0)
        return name;
    const size_t dot = name.rfind('.');
    return name.substr(0, dot) + "_" + std::to_string(n) + name.substr(dot);
}

bool Append(const char* path, const std::string& text)
{
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    return CloseHandle(file) && ok;
}

char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Digits of a date field in a file name, or -1.
int Digits(const char* text, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// A new file was started: older files of the pattern in its folder go, but
// only those whose first line is a header of this program's own.
void DeleteOldFiles(const char* pattern, const std::string& current, int keep)
{
    if (keep <= 0)
        return;
    const char* end = FolderEnd(pattern);
    const std::string namePattern = end ? end : pattern;
    const size_t cut = current.rfind('\\');
    const std::string folder = cut == std::string::npos ? "" : current.substr(0, cut + 1);
    SYSTEMTIME today;
    CallsOf<WatchCalls>().readClock(&today);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        SYSTEMTIME date;
        const std::string path = folder + found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || path == current ||
            !MatchesPattern(namePattern.c_str(), found.cFileName, &date) || !OldEnough(date, today, keep))
            continue;
        const std::string head = FirstLine(path.c_str());
        if (head.compare(0, 5, "Time,") == 0 || head.compare(0, 5, "Time\t") == 0)
            DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

// The file for today's name: the one already written with today's header,
// or the first name with a free _n; false when none can be found.
bool PickFile(const LogLine& log, const std::string& base, std::string* file, bool* fresh)
{
    for (int n = 0; n <= kMaxVariants; ++n) {
        const std::string candidate = Variant(base, n);
        if (!Exists(candidate.c_str())) {
            *file = candidate;
            *fresh = true;
            return true;
        }
        if (FirstLine(candidate.c_str()) == log.header) {
            *file = candidate;
            *fresh = false;
            return true;
        }
    }
    return false;
}

}  // namespace

bool LogNameAllowed(const char* name)
{
    const size_t length = std::strlen(name);
    return length > 4 && (lstrcmpiA(name + length - 4, ".CSV") == 0 || lstrcmpiA(name + length - 4, ".TSV") == 0);
}

bool ExpandLogName(const char* pattern, const char* settingsPath, const SYSTEMTIME& date, char name[kPathSize])
{
    std::string expanded;
    if (IsRelative(pattern)) {
        const char* end = FolderEnd(settingsPath);
        if (end)
            expanded.assign(settingsPath, end);
    }
    for (const char* c = pattern; *c; ++c) {
        char field[8] = "";
        if (c[0] == '%' && (c[1] == 'Y' || c[1] == 'm' || c[1] == 'd')) {
            std::snprintf(field, sizeof field, c[1] == 'Y' ? "%04u" : "%02u",
                          c[1] == 'Y' ? date.wYear : c[1] == 'm' ? date.wMonth : date.wDay);
            expanded += field;
            ++c;
        } else {
            expanded += *c;
        }
    }
    if (expanded.size() >= static_cast<size_t>(kPathSize))
        return false;
    lstrcpynA(name, expanded.c_str(), kPathSize);
    return true;
}

bool MatchesPattern(const char* pattern, const char* name, SYSTEMTIME* date)
{
    *date = SYSTEMTIME{};
    const char* p = pattern;
    const char* n = name;
    while (*p) {
        if (p[0] == '%' && (p[1] == 'Y' || p[1] == 'm' || p[1] == 'd')) {
            const int width = p[1] == 'Y' ? 4 : 2;
            const int value = Digits(n, width);
            if (value < 0)
                return false;
            WORD& field = p[1] == 'Y' ? date->wYear : p[1] == 'm' ? date->wMonth : date->wDay;
            field = static_cast<WORD>(value);
            p += 2;
            n += width;
            continue;
        }
        if (*p == '.' && n[0] == '_') {  // NAME_n.EXT
            const char* after = n + 1;
            while (*after >= '0' && *after <= '9')
                ++after;
            if (after > n + 1 && *after == '.')
                n = after;
        }
        if (Upper(*p) != Upper(*n))
            return false;
        ++p;
        ++n;
    }
    return *n == '\0';
}

bool OldEnough(const SYSTEMTIME& date, const SYSTEMTIME& today, int days)
{
    SYSTEMTIME midnight = today;
    midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
    FILETIME a, b;
    if (!SystemTimeToFileTime(&date, &a) || !SystemTimeToFileTime(&midnight, &b))
        return false;  // no real date: never judged old
    const ULONGLONG then = (static_cast<ULONGLONG>(a.dwHighDateTime) << 32) | a.dwLowDateTime;
    const ULONGLONG now = (static_cast<ULONGLONG>(b.dwHighDateTime) << 32) | b.dwLowDateTime;
    return then + static_cast<ULONGLONG>(days) * kDay <= now && then < now;
}

LogLine ComposeLog()
{
    AppState& a = App();
    LogLine log = {};
    log.restart = a.watch.restartLog != 0;
    a.watch.restartLog = 0;
    if (!a.log.enable || a.watch.logPaused || !LogNameAllowed(a.log.fileName))
        return log;
    if (a.watch.readings++ % static_cast<unsigned>(a.log.every) != 0)
        return log;
    log.wanted = true;
    const char separator = SeparatorOf(a.log);
    lstrcpynA(log.pattern, a.log.fileName, kPathSize);
    SYSTEMTIME& now = log.date;
    CallsOf<WatchCalls>().readClock(&now);
    char time[32];
    std::snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    log.header = "Time";
    log.line = time;
    AddRows(log, separator, kTempRows, false);
    AddRows(log, separator, kFanRows, false);
    AddRows(log, separator, kFanRows, true);
    AddRows(log, separator, kVoltRows, false);
    if (a.coreTemp.enable)
        AddCores(log, separator, a.watch.cores);
    log.header += "\r\n";
    log.line += "\r\n";
    return log;
}

bool WriteLog(const LogLine& log)
{
    WatchState& w = App().watch;
    char base[kPathSize];
    if (!ExpandLogName(log.pattern, App().settingsPath, log.date, base))
        return false;
    std::string file = w.logFile;
    bool fresh = false;
    // A file deleted meanwhile is chosen again too, and starts with its header.
    if (std::strcmp(w.logBase, base) != 0 || w.logHeader != log.header || file.empty() || !Exists(file.c_str())) {
        if (!PickFile(log, base, &file, &fresh))
            return false;
        lstrcpynA(w.logBase, base, kPathSize);
        w.logHeader = log.header;
        lstrcpynA(w.logFile, file.c_str(), kPathSize);
    }
    if (!Append(file.c_str(), fresh ? log.header + log.line : log.line))
        return false;
    if (fresh)
        DeleteOldFiles(log.pattern, file, App().log.keep);
    return true;
}
