#include "app/settings.h"

#include <cstring>
#include <string>

#include "app/appstate.h"
#include "app/settingkeys.h"
#include "app/alarms.h"
#include "app/readingslog.h"
#include "app/watch.h"
#include "foundation/inifile.h"
#include "foundation/mbcs.h"
#include "foundation/userio.h"

namespace {

const char kSettingsSaveError[] = "設定ファイル保存エラーが発生しました。";
const char kThemeSaveError[] = "テーマファイル保存エラーが発生しました。";

void ReadKey(INIFILE& file, const SettingKey& k, AppState& state)
{
    switch (k.kind) {
    case KeyKind::Int:
        file.Read(k.section, k.key, k.intDefault, k.member.asInt(state));
        break;
    case KeyKind::Unsigned:
        file.Read(k.section, k.key, static_cast<unsigned int>(k.intDefault), k.member.asUnsigned(state));
        break;
    case KeyKind::Double:
        file.Read(k.section, k.key, k.doubleDefault, k.member.asDouble(state));
        break;
    case KeyKind::Text: {
        // One byte more than the key keeps, so that a cut can be made
        // between whole characters rather than inside one.
        char text[kPathLimit + 1] = "";
        file.Read(k.section, k.key, k.textDefault, text, k.textLimit + 1);
        CopyWholeCharacters(k.member.asText(state), text, k.textLimit - 1);
        break;
    }
    case KeyKind::Colour:
        file.Read(k.section, k.key, k.member.asColour(state));
        break;
    case KeyKind::Font:
        file.Read(k.section, k.key, k.member.asFont(state));
        break;
    case KeyKind::Bound: {
        char text[kBoundTextSize] = "";
        file.Read(k.section, k.key, "", text, sizeof text);
        *k.member.asBound(state) = ParseBound(text);
        break;
    }
    }
}

// The profile calls strip one pair of quotes (double or single) that
// enclose a whole value (a program path chosen with blanks in it, say):
// such a value is written inside one more pair, so that it reads back as
// it was.
std::string KeptQuotes(const char* text)
{
    const size_t length = std::strlen(text);
    const bool enclosed = length >= 2 && (text[0] == '"' || text[0] == '\'') && text[length - 1] == text[0];
    return enclosed ? "\"" + std::string(text) + "\"" : std::string(text);
}

void WriteKey(INIFILE& file, const SettingKey& k, AppState& state)
{
    switch (k.kind) {
    case KeyKind::Int:
        file.Write(k.section, k.key, *k.member.asInt(state));
        break;
    case KeyKind::Unsigned:
        file.Write(k.section, k.key, *k.member.asUnsigned(state));
        break;
    case KeyKind::Double:
        file.Write(k.section, k.key, *k.member.asDouble(state));
        break;
    case KeyKind::Text:
        file.Write(k.section, k.key, KeptQuotes(k.member.asText(state)).c_str());
        break;
    case KeyKind::Colour:
        file.Write(k.section, k.key, static_cast<const COLORREF*>(k.member.asColour(state)));
        break;
    case KeyKind::Font:
        file.Write(k.section, k.key, static_cast<const LOGFONTA*>(k.member.asFont(state)));
        break;
    case KeyKind::Bound: {
        char text[kBoundTextSize];
        FormatBound(*k.member.asBound(state), k.intDefault != 0, text, sizeof text);
        file.Write(k.section, k.key, static_cast<const char*>(text));
        break;
    }
    }
}

void ReadKeys(INIFILE& file, const KeyTable& keys, AppState& state)
{
    for (const SettingKey& k : keys)
        ReadKey(file, k, state);
}

// Int and Text keys only: the kinds later additions use.
bool AtDefault(const SettingKey& k, AppState& state)
{
    if (k.kind == KeyKind::Int)
        return *k.member.asInt(state) == k.intDefault;
    return k.kind == KeyKind::Text && std::strcmp(k.member.asText(state), k.textDefault) == 0;
}

// Takes a key out of the file where it stands; a file without it stays as it is.
void RemoveKey(const char* path, const SettingKey& k)
{
    char probe[2];
    if (GetPrivateProfileStringA(k.section, k.key, "\n", probe, sizeof probe, path) == 1 && probe[0] == '\n')
        return;
    WritePrivateProfileStringA(k.section, k.key, nullptr, path);
}

void WriteKeys(INIFILE& file, const char* path, const KeyTable& keys, AppState& state)
{
    for (const SettingKey& k : keys) {
        if (k.saving == kSaved || (k.saving == kSavedWhenSet && !AtDefault(k, state)))
            WriteKey(file, k, state);
        else if (k.saving == kSavedWhenSet)
            RemoveKey(path, k);
    }
}

// The periods checked on load: a zero or huge interval would stop the
// monitor or flood it, and a history's length sizes its memory. Negative
// numbers in the file wrap to huge ones.
void CheckTimer(AppState& state)
{
    if (state.timer == 0 || state.timer > kMaxTimer)
        state.timer = kDefaultTimer;
    if (state.historyMinutes < kMinHistoryMinutes || state.historyMinutes > kMaxHistoryMinutes)
        state.historyMinutes = kDefaultHistoryMinutes;
}

// A history window's size the file cannot mean (none, or larger than any
// screen) leaves it to open where the system puts a new window; a place
// off every screen is mended when it opens.
void CheckHistoryPlace(AppState& state)
{
    const int kLargest = 16384;
    HistoryWindowRecord& place = state.historyWindow;
    if (place.width <= 0 || place.height <= 0 || place.width > kLargest || place.height > kLargest)
        place.width = place.height = 0;
}

int Clamped(int value, int lowest, int highest)
{
    return value < lowest ? lowest : value > highest ? highest : value;
}

// The alarm's and the log's numbers in their ranges, the separator one of
// the two there are.
void CheckWatchSettings(AppState& state)
{
    state.alarm.count = Clamped(state.alarm.count, kMinAlarmCount, kMaxAlarmCount);
    if (state.alarm.repeat < 0 || state.alarm.repeat > kMaxAlarmRepeat)
        state.alarm.repeat = kDefaultAlarmRepeat;
    state.log.every = Clamped(state.log.every, 1, kMaxLogEvery);
    if (state.log.keep < 0 || state.log.keep > kMaxKeepDays)
        state.log.keep = kDefaultKeepDays;
    if (lstrcmpiA(state.log.separator, kTabSeparator) != 0)
        lstrcpynA(state.log.separator, ",", kTextSize);
}

// The profile calls report a refused write only to their caller, and the
// profile-file class answers success for every write: so the first key of
// a file is written directly first, with the text the class would write.
bool Writable(const char* path, const SettingKey& first, AppState& state)
{
    char text[kPathLimit];
    if (first.kind == KeyKind::Text)
        lstrcpynA(text, KeptQuotes(first.member.asText(state)).c_str(), sizeof text);
    else
        wsprintfA(text, "%u", *first.member.asUnsigned(state));
    return WritePrivateProfileStringA(first.section, first.key, text, path) != 0;
}

// The profile calls take file names of less than MAX_PATH characters, and
// put the Windows folder in front of a bare name; a longer name is refused
// here rather than handed to them (one of them overruns its own buffer).
bool ProfilePathUsable(const char* path)
{
    size_t room = MAX_PATH;
    if (!std::strpbrk(path, "\\/:")) {
        char windows[MAX_PATH];
        room -= GetWindowsDirectoryA(windows, MAX_PATH) + 1;
    }
    return std::strlen(path) < room;
}

// Binds the path when the profile calls can use it.
bool Bind(INIFILE& file, const char* path)
{
    return ProfilePathUsable(path) && file.Open(path);
}

// Writes every key; false when the file cannot take its first key, before
// the others (read-only, no folder) or after them, when it is whole (a
// disk that filled while it grew).
bool SaveFile(INIFILE& file, const char* path, const KeyTable& keys, AppState& state)
{
    if (!file.Open(path))
        return true;  // no file named: nothing to save
    if (!ProfilePathUsable(path) || !Writable(path, keys.keys[0], state))
        return false;
    WriteKeys(file, path, keys, state);
    return Writable(path, keys.keys[0], state);
}

}  // namespace

void LoadSettings(int withConfig)
{
    AppState& state = App();
    INIFILE file;
    if (withConfig && Bind(file, state.settingsPath))
        ReadKeys(file, SettingsFileKeys(), state);
    // The settings file just named the theme; otherwise the current one is used.
    if (Bind(file, state.themePath))
        ReadKeys(file, ThemeFileKeys(), state);
    CheckTimer(state);
    CheckHistoryPlace(state);
    CheckWatchSettings(state);
    ResumeLogging();
}

int SaveSettings(int withConfig)
{
    AppState& state = App();
    INIFILE file;
    int failures = 0;
    if (withConfig && !SaveFile(file, state.settingsPath, SettingsFileKeys(), state))
        failures |= kSettingsFileNotSaved;
    if (!SaveFile(file, state.themePath, ThemeFileKeys(), state))
        failures |= kThemeFileNotSaved;
    return failures;
}

void ReportSaveFailures(HWND owner, int failures)
{
    if (failures & kSettingsFileNotSaved)
        ShowError(owner, kSettingsSaveError);
    if (failures & kThemeFileNotSaved)
        ShowError(owner, kThemeSaveError);
}
