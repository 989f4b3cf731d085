#include "app/watch.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "foundation/userio.h"

const char kTabSeparator[] = "TAB";

namespace {

const char kCommandError[] = "アラームコマンド実行エラーが発生しました。";
const char kLogError[] = "ログファイル書込エラーが発生しました。";
const char kConfirmCaption[] = "確認";
const char kConfirmText[] = "アラームで次のコマンドを実行しますか？";
const char kCommandsKey[] = "Software\\Veskora\\Commands";
const UINT kConfirmStyle = MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | MB_TOPMOST;
const int kLineSize = 96;
const double kLargestBound = 1e6;
const int kMaxRun = 1 << 20;       // readings out of range are counted up to here
const int kMaxVariants = 999;      // NAME_1 ... before a log name is given up
const ULONGLONG kDay = 864000000000ULL;  // in file-time units

bool RealStart(char* commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);  // not waited for
    return true;
}

void RealSound(UINT type)
{
    MessageBeep(type);
}

ProcessStarter startProcess = RealStart;
SoundPlayer playSound = RealSound;
ClockReader readClock = GetLocalTime;

// --- alarms --------------------------------------------------------------------

// One panel row as the alarms see it.
struct RowSource {
    const char* text;
    const char* label;
    const char* unit;
    int shown;
    bool fan;
    const AlarmBound* min;
    const AlarmBound* max;
};

RowSource Describe(int row)
{
    AppState& a = App();
    if (row < kTempCount)
        return {a.current.text[kTempSlot + row], a.labels.temp[row], a.units.temp, a.show.temp[row], false,
                nullptr, &a.alarm.tempMax[row]};
    row -= kTempCount;
    if (row < kFanCount)
        return {a.current.text[kFanSlot + row], a.labels.fan[row], a.units.fan, a.show.fan[row], true,
                &a.alarm.fanMin[row], nullptr};
    row -= kFanCount;
    return {a.current.text[kVoltSlot + row], a.labels.in[row], a.units.in, a.show.in[row], false,
            &a.alarm.inMin[row], &a.alarm.inMax[row]};
}

bool IsSet(const AlarmBound* bound)
{
    return bound && bound->set;
}

// A value passes its bound; a fan with a lower bound that shows no value
// (stopped) is out of range, any other row without a value is not.
bool OutOfRange(const RowSource& r)
{
    if (!IsSet(r.min) && !IsSet(r.max))
        return false;
    if (!r.text[0])
        return r.fan && IsSet(r.min);
    const double value = std::strtod(r.text, nullptr);
    return (IsSet(r.max) && value > r.max->value) || (IsSet(r.min) && value < r.min->value);
}

// +1 when the alarm starts with this reading, -1 when it ends, 0 otherwise.
int Step(AlarmRow& row, bool out)
{
    if (!out) {
        const bool held = row.holding != 0;
        row = AlarmRow{};
        return held ? -1 : 0;
    }
    if (row.run < kMaxRun)
        ++row.run;
    if (row.holding || row.run < App().alarm.count)
        return 0;
    row.holding = 1;
    return 1;
}

// Alarms started since the last reading was acted on.
struct Started {
    char label[kTextSize];
    char value[kReadingTextSize];
};
Started started[kRowCount + kCoreSlots];
int startedCount = 0;
CoreTable lastCores = {};

void Note(int change, const char* label, const char* value, const char* unit)
{
    if (App().debug) {
        char line[kLineSize];
        std::snprintf(line, sizeof line, "%s: %-8s %s%s", change > 0 ? "ALARM ON " : "ALARM OFF", label, value,
                      unit);
        DebugLine(line);
    }
    if (change > 0 && startedCount < static_cast<int>(sizeof started / sizeof started[0])) {
        lstrcpynA(started[startedCount].label, label, kTextSize);
        lstrcpynA(started[startedCount].value, value, kReadingTextSize);
        ++startedCount;
    }
}

bool CoreValid(const CoreTable& cores, int i)
{
    return static_cast<unsigned>(i) < cores.count && cores.core[i].valid;
}

// --- commands --------------------------------------------------------------------

// In double quotes, with any quote inside removed and backslashes before the
// closing quote doubled, so that the quote still closes the argument.
std::string Quoted(const char* text)
{
    std::string inner;
    for (const char* c = text; *c; ++c)
        if (*c != '"')
            inner += *c;
    size_t trailing = 0;
    while (trailing < inner.size() && inner[inner.size() - 1 - trailing] == '\\')
        ++trailing;
    return "\"" + inner + std::string(trailing, '\\') + "\"";
}

// %L becomes the label and %V the value, each quoted, so neither can add
// arguments.
std::string Expand(const char* command, const Started& alarm)
{
    std::string line;
    for (const char* c = command; *c; ++c) {
        if (c[0] == '%' && (c[1] == 'L' || c[1] == 'V')) {
            line += Quoted(c[1] == 'L' ? alarm.label : alarm.value);
            ++c;
        } else {
            line += *c;
        }
    }
    return line;
}

bool Confirmed(const char* command)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCommandsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    // Value names ignore case; the text itself, kept as the value, must match exactly.
    std::vector<char> text(std::strlen(command) + 2, '\0');
    DWORD size = static_cast<DWORD>(text.size());
    DWORD type = 0;
    const bool found = RegQueryValueExA(key, command, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                                        &size) == ERROR_SUCCESS &&
                       type == REG_SZ && std::strcmp(text.data(), command) == 0;
    RegCloseKey(key);
    return found;
}

// Asked once per command the user has not confirmed on this machine.
bool MayRun(HWND window, const char* command)
{
    WatchState& w = App().watch;
    if (lstrcmpA(command, w.refusedCommand) == 0 || w.asking)
        return false;  // refused, or the question is up already (its box takes readings too)
    if (Confirmed(command))
        return true;
    const std::string question = std::string(kConfirmText) + "\n" + command;
    w.asking = 1;
    const int answer = ShowMessage(window, question.c_str(), kConfirmCaption, kConfirmStyle);
    w.asking = 0;
    if (answer != IDYES) {
        lstrcpynA(w.refusedCommand, command, kPathSize);
        return false;
    }
    ConfirmCommand(command);
    return true;
}

void RunCommand(HWND window, const char* command, const Started& alarm)
{
    WatchState& w = App().watch;
    if (!MayRun(window, command))
        return;
    std::string line = Expand(command, alarm);
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    if (!startProcess(buffer.data()) && !w.commandErrorShown) {
        w.commandErrorShown = 1;
        ShowError(window, kCommandError);
    }
}

// --- the log ---------------------------------------------------------------------

// One line to write, composed under UPDATE.
struct LogLine {
    bool wanted;
    bool restart;  // settings were loaded or applied: the file is chosen again
    char separator;
    std::string header;
    std::string line;
    char pattern[kPathSize];
    SYSTEMTIME date;  // of the line, and so of the file it goes to
};

char SeparatorOf(const LogSettings& log)
{
    return lstrcmpiA(log.separator, kTabSeparator) == 0 ? '\t' : ',';
}

using LogTake = std::function<void(const char* label, const char* unit, const char* value)>;

// The shown rows of one group, whose readings start at slot.
template <int N>
void LogGroup(const int (&show)[N], const char (&labels)[N][kTextSize], const char* unit, int slot,
              const LogTake& take)
{
    for (int i = 0; i < N; ++i)
        if (show[i])
            take(labels[i], unit, App().current.text[slot + i]);
}

// Every shown row in display order: temperatures, fans, fan duties, voltages.
void ForEachLogged(const LogTake& take)
{
    AppState& a = App();
    LogGroup(a.show.temp, a.labels.temp, a.units.temp, kTempSlot, take);
    LogGroup(a.show.fan, a.labels.fan, a.units.fan, kFanSlot, take);
    LogGroup(a.show.fan, a.labels.fan, a.units.pwm, kPwmSlot, take);
    LogGroup(a.show.in, a.labels.in, a.units.in, kVoltSlot, take);
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
    log.separator = SeparatorOf(a.log);
    lstrcpynA(log.pattern, a.log.fileName, kPathSize);
    SYSTEMTIME& now = log.date;
    readClock(&now);
    char time[32];
    std::snprintf(time, sizeof time, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    log.header = "Time";
    log.line = time;
    ForEachLogged([&](const char* label, const char* unit, const char* value) {
        log.header += log.separator + std::string(label) + " (" + unit + ")";
        log.line += log.separator + std::string(value);
    });
    if (a.coreTemp.enable) {
        for (int i = 0; i < kCoreSlots; ++i) {
            if (!CoreValid(lastCores, i))
                continue;
            char field[16];
            std::snprintf(field, sizeof field, "CORE %02d", i);
            log.header += log.separator + std::string(field);
            std::snprintf(field, sizeof field, "%d", lastCores.core[i].temp);
            log.line += log.separator + std::string(field);
        }
    }
    log.header += "\r\n";
    log.line += "\r\n";
    return log;
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

// The pattern with today's date, beside the settings file when relative;
// false when it does not fit.
bool ExpandLogName(const char* pattern, const SYSTEMTIME& now, char name[kPathSize])
{
    std::string expanded;
    if (IsRelative(pattern)) {
        const char* settings = App().settingsPath;
        const char* end = FolderEnd(settings);
        if (end)
            expanded.assign(settings, end);
    }
    for (const char* c = pattern; *c; ++c) {
        char field[8] = "";
        if (c[0] == '%' && (c[1] == 'Y' || c[1] == 'm' || c[1] == 'd')) {
            std::snprintf(field, sizeof field, c[1] == 'Y' ? "%04u" : "%02u",
                          c[1] == 'Y' ? now.wYear : c[1] == 'm' ? now.wMonth : now.wDay);
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

// Whether a file name is one the pattern makes (the date fields as digits,
// perhaps with _n before the extension), and its date; false otherwise.
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

bool OlderThan(const SYSTEMTIME& date, int days)
{
    SYSTEMTIME today;
    readClock(&today);
    today.wHour = today.wMinute = today.wSecond = today.wMilliseconds = 0;
    SYSTEMTIME day = date;
    FILETIME a, b;
    if (!SystemTimeToFileTime(&day, &a) || !SystemTimeToFileTime(&today, &b))
        return false;  // no real date: never judged old
    const ULONGLONG then = (static_cast<ULONGLONG>(a.dwHighDateTime) << 32) | a.dwLowDateTime;
    const ULONGLONG now = (static_cast<ULONGLONG>(b.dwHighDateTime) << 32) | b.dwLowDateTime;
    return then + static_cast<ULONGLONG>(days) * kDay <= now && then < now;
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
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        SYSTEMTIME date;
        const std::string path = folder + found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || path == current ||
            !MatchesPattern(namePattern.c_str(), found.cFileName, &date) || !OlderThan(date, keep))
            continue;
        const std::string head = FirstLine(path.c_str());
        if (head.compare(0, 5, "Time,") == 0 || head.compare(0, 5, "Time\t") == 0)
            DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

std::string currentBase;    // the day's name the log writes under now
std::string currentHeader;  // and the header of its file

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

// One append per line; the file is chosen again only for a new day, a new
// name or another header (rows switched, cores found).
bool WriteLog(const LogLine& log)
{
    WatchState& w = App().watch;
    char base[kPathSize];
    if (!ExpandLogName(log.pattern, log.date, base))
        return false;
    std::string file = w.logFile;
    bool fresh = false;
    // A file deleted meanwhile is chosen again too, and starts with its header.
    if (currentBase != base || currentHeader != log.header || file.empty() || !Exists(file.c_str())) {
        if (!PickFile(log, base, &file, &fresh))
            return false;
        currentBase = base;
        currentHeader = log.header;
        lstrcpynA(w.logFile, file.c_str(), kPathSize);
    }
    if (!Append(file.c_str(), fresh ? log.header + log.line : log.line))
        return false;
    if (fresh)
        DeleteOldFiles(log.pattern, file, App().log.keep);
    return true;
}

}  // namespace

AlarmBound ParseBound(const char* text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || !(value >= -kLargestBound && value <= kLargestBound))  // NaN fails too
        return AlarmBound{0, 0.0};
    return AlarmBound{1, value};
}

void FormatBound(const AlarmBound& bound, bool volts, char* text, size_t size)
{
    if (!bound.set)
        std::snprintf(text, size, "%s", "");
    else if (volts)
        std::snprintf(text, size, "%lf", bound.value);
    else
        std::snprintf(text, size, "%.0f", bound.value);
}

void EvaluateAlarms(const CoreTable& cores)
{
    AppState& a = App();
    WatchState& w = a.watch;
    lastCores = cores;
    for (int row = 0; row < kRowCount; ++row) {
        const RowSource source = Describe(row);
        const bool out = a.alarm.enable && source.shown && OutOfRange(source);
        const int change = Step(w.row[row], out);
        if (change)
            Note(change, source.label, source.text, source.unit);
    }
    for (int i = 0; i < kCoreSlots; ++i) {
        const bool out = a.alarm.enable && a.coreTemp.enable && a.alarm.coreMax.set && CoreValid(cores, i) &&
                         cores.core[i].temp > a.alarm.coreMax.value;
        const int change = Step(w.core[i], out);
        if (!change)
            continue;
        char label[16], value[16];
        std::snprintf(label, sizeof label, "CORE %02d", i);
        std::snprintf(value, sizeof value, "%d", cores.core[i].temp);
        Note(change, label, value, a.units.temp);
    }
}

bool RowAlarm(int row)
{
    return row >= 0 && row < kRowCount && App().watch.row[row].holding;
}

bool CoreAlarm(int core)
{
    return core >= 0 && core < kCoreSlots && App().watch.core[core].holding;
}

bool AnyAlarm()
{
    for (int row = 0; row < kRowCount; ++row)
        if (RowAlarm(row))
            return true;
    for (int core = 0; core < kCoreSlots; ++core)
        if (CoreAlarm(core))
            return true;
    return false;
}

void ActOnReading(HWND window)
{
    AppState& a = App();
    a.updateLock.Enter();
    std::vector<Started> begun(started, started + startedCount);
    startedCount = 0;
    char command[kPathSize];
    lstrcpynA(command, a.alarm.command, kPathSize);
    const bool beep = a.alarm.beep != 0;
    const LogLine log = ComposeLog();
    a.updateLock.Leave();

    if (!begun.empty() && beep)
        playSound(MB_ICONEXCLAMATION);
    if (command[0])
        for (const Started& alarm : begun)
            RunCommand(window, command, alarm);
    if (log.restart) {
        currentBase.clear();
        a.watch.logFile[0] = '\0';
    }
    if (log.wanted && !WriteLog(log)) {
        a.updateLock.Enter();
        const bool report = !a.watch.restartLog;  // an apply meanwhile has the log go on
        a.watch.logPaused = report ? 1 : 0;
        a.updateLock.Leave();
        if (report)
            ShowError(window, kLogError);
    }
}

// Under UPDATE when the dialog applies; the file itself is chosen again on
// the window's thread, which alone touches it.
void ResumeLogging()
{
    WatchState& w = App().watch;
    w.logPaused = 0;
    w.readings = 0;
    w.restartLog = 1;
}

void ConfirmCommand(const char* command)
{
    if (!command || !command[0])
        return;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kCommandsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, command, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                   static_cast<DWORD>(std::strlen(command) + 1));
    RegCloseKey(key);
}

bool LogNameAllowed(const char* name)
{
    const size_t length = std::strlen(name);
    return length > 4 && (lstrcmpiA(name + length - 4, ".CSV") == 0 || lstrcmpiA(name + length - 4, ".TSV") == 0);
}

void SetWatchCalls(ProcessStarter starter, SoundPlayer sound)
{
    startProcess = starter ? starter : RealStart;
    playSound = sound ? sound : RealSound;
}

void SetWatchClock(ClockReader clock)
{
    readClock = clock ? clock : GetLocalTime;
}
