#include "app/command.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/logname.h"
#include "app/seams.h"
#include "foundation/userio.h"

namespace {

const char kCommandError[] = "アラームコマンド実行エラーが発生しました。";
const char kConfirmCaption[] = "確認";
const char kConfirmText[] = "アラームで次のコマンドを実行しますか？";
const char kCommandsKey[] = "Software\\Veskora\\Commands";
// No is the default, and the box does not take the focus from what the
// user is typing into.
const UINT kConfirmStyle = MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2;
// Joins the settings file and the command in a record's name; no path
// holds it.
const char kRecordJoin = '*';
const char kLabelVariable[] = "VESKORA_LABEL=";
const char kValueVariable[] = "VESKORA_VALUE=";

bool IsLead(char c)
{
    return IsDBCSLeadByte(static_cast<BYTE>(c)) != 0;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

// A drive's path: X:\...; network and device paths are no program's.
bool IsAbsolute(const std::string& path)
{
    return path.size() > 2 && path[1] == ':' && IsSeparator(path[2]) && path.find_first_of("?*") == std::string::npos;
}

bool IsNetworkOrDevice(const std::string& path)
{
    return (path.size() > 1 && IsSeparator(path[0]) && IsSeparator(path[1])) ||
           path.find_first_of("?*") != std::string::npos;
}

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FolderOf(const std::string& path)
{
    return path.substr(0, FolderLength(path.c_str()));
}

std::string FullPath(const std::string& path)
{
    char full[kPathSize];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return length && length < sizeof full ? std::string(full) : std::string();
}

// The folders of PATH that name a drive's folder: an empty or relative
// entry would search the current folder.
std::string AbsolutePathFolders()
{
    const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (!size)
        return "";
    std::vector<char> variable(size);
    GetEnvironmentVariableA("PATH", variable.data(), size);
    std::string folders;
    const std::string all = variable.data();
    for (size_t at = 0; at <= all.size();) {
        const size_t end = std::min(all.find(';', at), all.size());
        const std::string entry = all.substr(at, end - at);
        if (IsAbsolute(entry))
            folders += entry + ";";
        at = end + 1;
    }
    return folders;
}

// A bare program name in the system folder, the Windows folder or PATH.
std::string SearchProgram(const std::string& name)
{
    char folder[MAX_PATH];
    std::string path;
    if (GetSystemDirectoryA(folder, sizeof folder))
        path += std::string(folder) + ";";
    if (GetWindowsDirectoryA(folder, sizeof folder))
        path += std::string(folder) + ";";
    path += AbsolutePathFolders();
    char found[kPathSize];
    const DWORD length = SearchPathA(path.c_str(), name.c_str(), ".exe", sizeof found, found, nullptr);
    return length && length < sizeof found ? std::string(found) : std::string();
}

// Nothing outside this machine's drives is touched before the user said Yes.
std::string ResolveProgram(const std::string& program, const char* settingsPath)
{
    if (program.empty() || IsNetworkOrDevice(program))
        return "";
    std::string path;
    if (IsAbsolute(program))
        path = FullPath(program);
    else if (program.find_first_of("\\/:") != std::string::npos)
        path = FullPath(FolderOf(settingsPath) + program);
    else
        path = SearchProgram(program);
    return IsAbsolute(path) && IsFile(path) ? path : "";
}

std::string RecordName(const char* command)
{
    return FullPath(App().settingsPath) + kRecordJoin + command;
}

bool Confirmed(const char* command)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kCommandsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    // Value names ignore case; the text itself, kept as the value, must match exactly.
    const std::string name = RecordName(command);
    std::vector<char> text(name.size() + 2, '\0');
    DWORD size = static_cast<DWORD>(text.size());
    DWORD type = 0;
    const bool found = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                                        &size) == ERROR_SUCCESS &&
                       type == REG_SZ && name == text.data();
    RegCloseKey(key);
    return found;
}

void Record(const char* command)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kCommandsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    const std::string name = RecordName(command);
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                   static_cast<DWORD>(name.size() + 1));
    RegCloseKey(key);
}

void ReportFailure(HWND window)
{
    WatchState& w = App().watch;
    if (w.commandErrorShown)
        return;
    w.commandErrorShown = 1;
    ShowError(window, kCommandError);
}

// The command as it is run: confirmed as it stands, or resolved, shown and
// confirmed now; empty when it is not to run (a command that can never
// run is reported, not asked about). Asked once per run for a command the
// user refused.
std::string MayRun(HWND window, const char* command)
{
    AppState& a = App();
    WatchState& w = a.watch;
    if (lstrcmpA(command, w.refusedCommand) == 0 || w.asking)
        return "";  // refused, or the question is up already (its box takes readings too)
    if (!FieldsOutsideQuotes(command)) {
        ReportFailure(window);
        return "";
    }
    if (IsAbsolute(SplitCommand(command).program) && Confirmed(command))
        return command;
    const std::string resolved = ResolveCommand(command, a.settingsPath);
    if (resolved.empty() || resolved.size() >= static_cast<size_t>(kPathSize)) {
        ReportFailure(window);
        return "";
    }
    if (Confirmed(resolved.c_str()))
        return resolved;  // this program was confirmed for this settings file
    const std::string question = std::string(kConfirmText) + "\n" + resolved;
    w.asking = 1;
    const int answer = ShowMessage(window, question.c_str(), kConfirmCaption, kConfirmStyle);
    w.asking = 0;
    if (answer != IDYES) {
        lstrcpynA(w.refusedCommand, command, kPathSize);
        return "";
    }
    Record(resolved.c_str());
    a.updateLock.Enter();
    if (lstrcmpA(a.alarm.command, command) == 0)
        lstrcpynA(a.alarm.command, resolved.c_str(), kPathSize);  // stored as confirmed
    a.updateLock.Leave();
    return resolved;
}

bool HasVariable(const char* entry, const char* variable)
{
    return _strnicmp(entry, variable, std::strlen(variable)) == 0;
}

// This process's environment with the alarm's label and value.
std::vector<char> AlarmEnvironment(const char* label, const char* value)
{
    std::vector<char> block;
    char* strings = GetEnvironmentStringsA();
    for (const char* entry = strings; entry && *entry; entry += std::strlen(entry) + 1)
        if (!HasVariable(entry, kLabelVariable) && !HasVariable(entry, kValueVariable))
            block.insert(block.end(), entry, entry + std::strlen(entry) + 1);
    if (strings)
        FreeEnvironmentStringsA(strings);
    for (const std::string& entry : {std::string(kLabelVariable) + label, std::string(kValueVariable) + value})
        block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    block.push_back('\0');
    return block;
}

}  // namespace

bool StartHidden(const char* program, char* commandLine, const char* label, const char* value)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    std::vector<char> environment = AlarmEnvironment(label, value);
    const std::string folder = FolderOf(program);  // the program's own, whatever is current here
    if (!CreateProcessA(program, commandLine, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, environment.data(),
                        folder.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);  // not waited for
    return true;
}

void RealSound(UINT type)
{
    MessageBeep(type);
}

CommandParts SplitCommand(const char* command)
{
    const char* c = command;
    while (IsBlank(*c))
        ++c;
    const char* start = c;
    const bool quoted = *c == '"';
    if (quoted)
        start = ++c;
    while (*c && (quoted ? *c != '"' : !IsBlank(*c)))
        c += IsLead(*c) && c[1] ? 2 : 1;
    CommandParts parts{std::string(start, c), ""};
    parts.rest = quoted && *c ? c + 1 : c;
    return parts;
}

bool FieldsOutsideQuotes(const char* command)
{
    bool quoted = false;
    for (const char* c = command; *c; ++c) {
        if (IsLead(*c) && c[1]) {
            ++c;
            continue;
        }
        // \" is a quote inside an argument, and "" ends a quoted part for
        // some programs and not for others: with them no one can tell
        // where a field's quotes would stand.
        if ((c[0] == '\\' || c[0] == '"') && c[1] == '"')
            return false;
        if (*c == '"') {
            quoted = !quoted;
        } else if (c[0] == '%' && (c[1] == 'L' || c[1] == 'V')) {
            const bool apart = (c == command || IsBlank(c[-1])) && (!c[2] || IsBlank(c[2]));
            if (quoted || !apart)
                return false;
            ++c;
        }
    }
    return true;
}

// In double quotes, walking characters: quotes inside are dropped, a lone
// lead byte at the end goes, and backslashes before the closing quote are
// doubled, so that the quote still closes the argument.
std::string QuoteArgument(const char* text)
{
    std::string inner;
    size_t trailing = 0;  // backslashes (whole characters) at the end
    for (const char* c = text; *c; ++c) {
        if (IsLead(*c)) {
            if (!c[1])
                break;
            inner.append(c, 2);
            ++c;
            trailing = 0;
        } else if (*c != '"') {
            inner += *c;
            trailing = *c == '\\' ? trailing + 1 : 0;
        }
    }
    return "\"" + inner + std::string(trailing, '\\') + "\"";
}

bool ExpandCommand(const char* command, const char* label, const char* value, std::string* line)
{
    line->clear();
    if (!FieldsOutsideQuotes(command))
        return false;
    for (const char* c = command; *c; ++c) {
        if (IsLead(*c) && c[1]) {
            line->append(c, 2);
            ++c;
        } else if (c[0] == '%' && (c[1] == 'L' || c[1] == 'V')) {
            *line += QuoteArgument(c[1] == 'L' ? label : value);
            ++c;
        } else {
            *line += *c;
        }
    }
    return true;
}

std::string ResolveCommand(const char* command, const char* settingsPath)
{
    const CommandParts parts = SplitCommand(command);
    const std::string program = ResolveProgram(parts.program, settingsPath);
    return program.empty() ? "" : "\"" + program + "\"" + parts.rest;
}

bool ConfirmCommand(char command[kPathSize])
{
    if (!command[0] || !FieldsOutsideQuotes(command))
        return false;
    const std::string resolved = ResolveCommand(command, App().settingsPath);
    if (resolved.empty() || resolved.size() >= static_cast<size_t>(kPathSize))
        return false;
    lstrcpynA(command, resolved.c_str(), kPathSize);
    Record(command);
    return true;
}

void RunAlarmCommand(HWND window, const char* command, const char* label, const char* value)
{
    const std::string confirmed = MayRun(window, command);
    if (confirmed.empty())
        return;
    std::string line;
    if (!ExpandCommand(confirmed.c_str(), label, value, &line)) {
        ReportFailure(window);
        return;
    }
    const std::string program = SplitCommand(confirmed.c_str()).program;
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    if (!CallsOf<WatchCalls>().startProcess(program.c_str(), buffer.data(), label, value))
        ReportFailure(window);
}
