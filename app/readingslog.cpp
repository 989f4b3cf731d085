#include "app/readingslog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/logname.h"
#include "app/rows.h"
#include "app/seams.h"

const char kTabSeparator[] = "TAB";

namespace {

const int kMaxVariants = 999;  // NAME_1 ... before a log name is given up
const size_t kMaxPendingLines = 7200;  // two hours at one reading a second
const char kLogsKey[] = "Software\\Veskora\\Logs";
const size_t kRecordSize = 16384;  // a settings path and a header
const char kDefaultTempUnit[] = "\xB0" "C";
// A spreadsheet reads the file as Shift-JIS, where the degree sign of the
// default unit is a half-width katakana mark.
const char kLoggedTempUnit[] = "C";
const char kFormulaStarts[] = "=+-@";

char SeparatorOf(const LogSettings& log)
{
    return lstrcmpiA(log.separator, kTabSeparator) == 0 ? '\t' : ',';
}

const char* LoggedUnit(const char* unit)
{
    return std::strcmp(unit, kDefaultTempUnit) == 0 ? kLoggedTempUnit : unit;
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
        const char* unit = LoggedUnit(duties ? a.units.pwm : RowUnit(a, row));
        log.header += separator + LogField(std::string(RowLabel(a, row)) + " (" + unit + ")", separator);
        log.line += separator + LogField(a.current.text[duties ? r.dutySlot : r.slot], separator);
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

std::string FullPath(const std::string& path)
{
    char full[kPathSize];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length && length < sizeof full ? std::string(full) : path;
}

// NAME_n.EXT for n > 0.
std::string Variant(const std::string& name, int n)
{
    if (n == 0)
        return name;
    const size_t dot = name.rfind('.');
    return name.substr(0, dot) + "_" + std::to_string(n) + name.substr(dot);
}

enum class Write { kDone, kLocked, kFailed };

bool Locked(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Appends to a file that exists, or makes one that must not exist yet.
Write WriteTo(const std::string& path, const std::string& text, bool create)
{
    HANDLE file = CreateFileA(path.c_str(), create ? GENERIC_WRITE : FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                              create ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Locked(GetLastError()) ? Write::kLocked : Write::kFailed;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (!CloseHandle(file) || (!ok && !(Locked(error) && written == 0)))
        return Write::kFailed;
    return ok ? Write::kDone : Write::kLocked;
}

// The files this program made are recorded for this user, where no
// settings file can add to them, each with the settings file it was made
// for and the header it was begun with: only those are ever deleted, and
// only for that settings file.
std::string RecordText(const std::string& header)
{
    return FullPath(App().settingsPath) + '*' + header;
}

void RecordMade(const std::string& path, const std::string& header)
{
    const std::string text = RecordText(header);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kLogsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, FullPath(path).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

// What was recorded of a file when this program made it; empty when it
// did not.
std::string Recorded(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kLogsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "";
    std::string text(kRecordSize, '\0');
    DWORD size = static_cast<DWORD>(text.size() - 1);
    DWORD type = 0;
    const bool found = RegQueryValueExA(key, FullPath(path).c_str(), nullptr, &type,
                                        reinterpret_cast<BYTE*>(&text[0]), &size) == ERROR_SUCCESS &&
                       type == REG_SZ;
    RegCloseKey(key);
    return found ? std::string(text.c_str()) : "";
}

void ForgetMade(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kLogsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, FullPath(path).c_str());
    RegCloseKey(key);
}

// A file goes only when this program made it for this settings file and
// its first line is still the header it was begun with.
void DeleteIfOurs(const std::string& path)
{
    const std::string recorded = Recorded(path);
    if (recorded.empty() || recorded != RecordText(FirstLine(path.c_str())))
        return;
    if (DeleteFileA(path.c_str()))
        ForgetMade(path);
}

// A new file was started: older files of the pattern in its folder go, if
// they are this program's own.
void DeleteOldFiles(const char* pattern, const std::string& current, int keep)
{
    if (keep <= 0)
        return;
    const std::string namePattern = pattern + FolderLength(pattern);
    const std::string folder = current.substr(0, FolderLength(current.c_str()));
    SYSTEMTIME today;
    CallsOf<WatchCalls>().readClock(&today);
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        SYSTEMTIME date;
        const std::string path = folder + found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && path != current &&
            MatchesPattern(namePattern.c_str(), found.cFileName, &date) && OldEnough(date, today, keep))
            DeleteIfOurs(path);
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
        // A file of ours another program holds without letting us read it
        // is known by its record.
        const std::string head = FirstLine(candidate.c_str());
        if (head == log.header || (head.empty() && Recorded(candidate) == RecordText(log.header))) {
            *file = candidate;
            *fresh = false;
            return true;
        }
    }
    return false;
}

bool IsNumber(const std::string& text)
{
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return !text.empty() && end == text.c_str() + text.size();
}

}  // namespace

std::string LogField(const std::string& text, char separator)
{
    std::string field = text;
    if (!field.empty() && std::strchr(kFormulaStarts, field[0]) && !IsNumber(field))
        field.insert(0, "'");
    if (field.find_first_of(std::string("\"\r\n") + separator) == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

LogLine ComposeLog(bool read)
{
    AppState& a = App();
    LogLine log = {};
    log.restart = a.watch.restartLog != 0;
    a.watch.restartLog = 0;
    log.open = a.log.enable && !a.watch.logPaused;
    if (!read || !a.log.enable || a.watch.logPaused || !LogNameAllowed(a.log.fileName))
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

// Each file takes its lines in order; a locked one keeps its own waiting
// without holding up the others.
bool FlushPendingLog()
{
    auto& pending = App().watch.pendingLog;
    std::vector<std::string> locked;
    bool failed = false;
    for (auto line = pending.begin(); line != pending.end();) {
        if (std::find(locked.begin(), locked.end(), line->first) != locked.end()) {
            ++line;
            continue;
        }
        const Write result = WriteTo(line->first, line->second, false);
        if (result == Write::kLocked) {
            locked.push_back(line->first);  // tried again at the next reading
            ++line;
            continue;
        }
        failed = failed || result == Write::kFailed;
        line = pending.erase(line);  // written, or never to be
    }
    return !failed;
}

bool WriteLog(const LogLine& log)
{
    WatchState& w = App().watch;
    char base[kPathSize];
    if (!ExpandLogName(log.pattern, App().settingsPath, log.date, base) || !LogPathSafe(base))
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
    if (fresh) {
        if (WriteTo(file, log.header + log.line, true) != Write::kDone)
            return false;
        RecordMade(file, log.header);
        DeleteOldFiles(log.pattern, file, App().log.keep);
        return FlushPendingLog();
    }
    if (w.pendingLog.size() >= kMaxPendingLines)
        w.pendingLog.pop_front();  // the oldest line goes first
    w.pendingLog.emplace_back(file, log.line);
    return FlushPendingLog();
}
