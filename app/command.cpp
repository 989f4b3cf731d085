#include "app/command.h"

#include <cstring>
#include <vector>

#include "app/appstate.h"
#include "app/seams.h"
#include "foundation/userio.h"

namespace {

const char kCommandError[] = "アラームコマンド実行エラーが発生しました。";
const char kConfirmCaption[] = "確認";
const char kConfirmText[] = "アラームで次のコマンドを実行しますか？";
const char kCommandsKey[] = "Software\\Veskora\\Commands";
const UINT kConfirmStyle = MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | MB_TOPMOST;

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

}  // namespace

bool StartHidden(char* commandLine)
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

// One argument in double quotes: quotes inside are dropped and backslashes
// before the closing quote doubled.
static std::string QuoteArgument(const char* text)
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

std::string ExpandCommand(const char* command, const char* label, const char* value)
{
    std::string line;
    for (const char* c = command; *c; ++c) {
        if (c[0] == '%' && (c[1] == 'L' || c[1] == 'V')) {
            line += QuoteArgument(c[1] == 'L' ? label : value);
            ++c;
        } else {
            line += *c;
        }
    }
    return line;
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

void RunAlarmCommand(HWND window, const char* command, const char* label, const char* value)
{
    WatchState& w = App().watch;
    if (!MayRun(window, command))
        return;
    const std::string line = ExpandCommand(command, label, value);
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    if (!CallsOf<WatchCalls>().startProcess(buffer.data()) && !w.commandErrorShown) {
        w.commandErrorShown = 1;
        ShowError(window, kCommandError);
    }
}
