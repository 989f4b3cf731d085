#include "app/settings.h"

#include <cstring>
#include <string>

#include "app/appstate.h"
#include "app/alarms.h"
#include "app/readingslog.h"
#include "app/watch.h"
#include "foundation/inifile.h"
#include "foundation/mbcs.h"
#include "foundation/userio.h"
#include "sensors/cf718x.h"

namespace {

// Read limits: a text key takes at most limit - 1 characters from the file.
const unsigned int kLabelLimit = 8;
const unsigned int kGroupTitleLimit = 16;
const unsigned int kUnitLimit = 8;
const unsigned int kTitleLimit = kTextSize;
const unsigned int kPathLimit = kPathSize;
static_assert(kLabelLimit <= kTextSize && kGroupTitleLimit <= kTextSize && kUnitLimit <= kTextSize,
              "a read never exceeds the member it fills");

const char kSettingsSaveError[] = "設定ファイル保存エラーが発生しました。";
const char kThemeSaveError[] = "テーマファイル保存エラーが発生しました。";

const unsigned int kDefaultTimer = 5;
const unsigned int kMaxTimer = 60;
const int kBoundTextSize = 64;

// The theme's temperature units as bytes: the Shift-JIS degree-Celsius sign
// for the window title, and the code-page 1252 degree sign plus C for the
// panel, whose fonts use the ANSI character set.
const char kTitleTempUnit[] = "\x81\x8E";
const char kPanelTempUnit[] = "\xB0" "C";

enum class KeyKind { Int, Unsigned, Double, Text, Colour, Font, Bound };

// Where a key's value lives in the application state.
union MemberRef {
    MemberRef(int* (*f)(AppState&)) : asInt(f) {}
    MemberRef(unsigned int* (*f)(AppState&)) : asUnsigned(f) {}
    MemberRef(double* (*f)(AppState&)) : asDouble(f) {}
    MemberRef(char* (*f)(AppState&)) : asText(f) {}
    MemberRef(COLORREF* (*f)(AppState&)) : asColour(f) {}
    MemberRef(LOGFONTA* (*f)(AppState&)) : asFont(f) {}
    MemberRef(AlarmBound* (*f)(AppState&)) : asBound(f) {}

    int* (*asInt)(AppState&);
    unsigned int* (*asUnsigned)(AppState&);
    double* (*asDouble)(AppState&);
    char* (*asText)(AppState&);
    COLORREF* (*asColour)(AppState&);
    LOGFONTA* (*asFont)(AppState&);
    AlarmBound* (*asBound)(AppState&);
};

// Whether a save writes a key. Keys of later additions are written only
// when they differ from their defaults (and taken out of the file when they
// are back at them), so that a file saved with them at their defaults is the
// file the program saved before it had them.
enum Saving { kSaved, kNotSaved, kSavedWhenSet };

struct SettingKey {
    const char* section;
    const char* key;
    KeyKind kind;
    Saving saving;  // kNotSaved: only ever set by editing the file
    int intDefault;
    double doubleDefault;
    const char* textDefault;
    unsigned int textLimit;
    MemberRef member;
};

SettingKey Int(const char* section, const char* key, int def, int* (*member)(AppState&),
               Saving saving = kSaved)
{
    return {section, key, KeyKind::Int, saving, def, 0.0, nullptr, 0, MemberRef(member)};
}

SettingKey Unsigned(const char* section, const char* key, unsigned int def,
                              unsigned int* (*member)(AppState&))
{
    return {section, key, KeyKind::Unsigned, kSaved, static_cast<int>(def), 0.0, nullptr, 0, MemberRef(member)};
}

SettingKey Double(const char* section, const char* key, double def, double* (*member)(AppState&))
{
    return {section, key, KeyKind::Double, kSaved, 0, def, nullptr, 0, MemberRef(member)};
}

SettingKey Text(const char* section, const char* key, unsigned int limit, const char* def,
                char* (*member)(AppState&), Saving saving = kSaved)
{
    return {section, key, KeyKind::Text, saving, 0, 0.0, def, limit, MemberRef(member)};
}

// Colour and font keys have no default: an absent key keeps the current value.
SettingKey Colour(const char* section, const char* key, COLORREF* (*member)(AppState&))
{
    return {section, key, KeyKind::Colour, kSaved, 0, 0.0, nullptr, 0, MemberRef(member)};
}

SettingKey Font(const char* section, const char* key, LOGFONTA* (*member)(AppState&))
{
    return {section, key, KeyKind::Font, kSaved, 0, 0.0, nullptr, 0, MemberRef(member)};
}

// An alarm bound: empty or absent is off. intDefault 1: volts, written as
// "%lf"; 0: a whole number.
SettingKey Bound(const char* section, const char* key, bool volts, AlarmBound* (*member)(AppState&))
{
    return {section, key, KeyKind::Bound, kSaved, volts ? 1 : 0, 0.0, nullptr, 0, MemberRef(member)};
}

// The settings file, in reading and writing order.
const SettingKey kSettingsKeys[] = {
    Text("Config", "FileName", kPathLimit, "VESKORA.VKT", [](AppState& s) { return s.themePath; }),
    Int("Config", "Debug", 0, [](AppState& s) { return &s.debug; }, kNotSaved),
    Int("Config", "Dummy", 0, [](AppState& s) { return &s.dummy; }, kNotSaved),

    Int("Divid", "Enable", 0, [](AppState& s) { return &s.divid.enable; }),
    Unsigned("Divid", "Fan", kDefaultDividers.fanConstant, [](AppState& s) { return &s.divid.fan; }),
    Double("Divid", "In0", kDefaultDividers.inScale[0], [](AppState& s) { return &s.divid.in[0]; }),
    Double("Divid", "In1", kDefaultDividers.inScale[1], [](AppState& s) { return &s.divid.in[1]; }),
    Double("Divid", "In2", kDefaultDividers.inScale[2], [](AppState& s) { return &s.divid.in[2]; }),
    Double("Divid", "In3", kDefaultDividers.inScale[3], [](AppState& s) { return &s.divid.in[3]; }),
    Double("Divid", "In4", kDefaultDividers.inScale[4], [](AppState& s) { return &s.divid.in[4]; }),
    Double("Divid", "In5", kDefaultDividers.inScale[5], [](AppState& s) { return &s.divid.in[5]; }),
    Double("Divid", "In6", kDefaultDividers.inScale[6], [](AppState& s) { return &s.divid.in[6]; }),
    Double("Divid", "In7", kDefaultDividers.inScale[7], [](AppState& s) { return &s.divid.in[7]; }),
    Double("Divid", "In8", kDefaultDividers.inScale[8], [](AppState& s) { return &s.divid.in[8]; }),

    Int("Enable", "Temp0", 1, [](AppState& s) { return &s.show.temp[0]; }),
    Int("Enable", "Temp1", 1, [](AppState& s) { return &s.show.temp[1]; }),
    Int("Enable", "Temp2", 1, [](AppState& s) { return &s.show.temp[2]; }),
    Int("Enable", "Fan0", 1, [](AppState& s) { return &s.show.fan[0]; }),
    Int("Enable", "Fan1", 1, [](AppState& s) { return &s.show.fan[1]; }),
    Int("Enable", "Fan2", 1, [](AppState& s) { return &s.show.fan[2]; }),
    Int("Enable", "Fan3", 1, [](AppState& s) { return &s.show.fan[3]; }),
    Int("Enable", "In0", 1, [](AppState& s) { return &s.show.in[0]; }),
    Int("Enable", "In1", 1, [](AppState& s) { return &s.show.in[1]; }),
    Int("Enable", "In2", 1, [](AppState& s) { return &s.show.in[2]; }),
    Int("Enable", "In3", 1, [](AppState& s) { return &s.show.in[3]; }),
    Int("Enable", "In4", 1, [](AppState& s) { return &s.show.in[4]; }),
    Int("Enable", "In5", 1, [](AppState& s) { return &s.show.in[5]; }),
    Int("Enable", "In6", 1, [](AppState& s) { return &s.show.in[6]; }),
    Int("Enable", "In7", 1, [](AppState& s) { return &s.show.in[7]; }),
    Int("Enable", "In8", 1, [](AppState& s) { return &s.show.in[8]; }),

    Int("CoreTemp", "Enable", 1, [](AppState& s) { return &s.coreTemp.enable; }),
    Int("CoreTemp", "TjMax", 0, [](AppState& s) { return &s.coreTemp.tjmax; }),
    Int("CoreTemp", "Balloon", 1, [](AppState& s) { return &s.coreTemp.balloon; }),
    Text("CoreTemp", "Title", kTitleLimit, "Digital Thermal Sensors", [](AppState& s) { return s.coreTemp.title; }),
    Int("CoreTemp", "Icon", -1, [](AppState& s) { return &s.coreTemp.icon; }),

    Int("Alarm", "Enable", 0, [](AppState& s) { return &s.alarm.enable; }),
    Bound("Alarm", "Temp0Max", false, [](AppState& s) { return &s.alarm.tempMax[0]; }),
    Bound("Alarm", "Temp1Max", false, [](AppState& s) { return &s.alarm.tempMax[1]; }),
    Bound("Alarm", "Temp2Max", false, [](AppState& s) { return &s.alarm.tempMax[2]; }),
    Bound("Alarm", "Fan0Min", false, [](AppState& s) { return &s.alarm.fanMin[0]; }),
    Bound("Alarm", "Fan1Min", false, [](AppState& s) { return &s.alarm.fanMin[1]; }),
    Bound("Alarm", "Fan2Min", false, [](AppState& s) { return &s.alarm.fanMin[2]; }),
    Bound("Alarm", "Fan3Min", false, [](AppState& s) { return &s.alarm.fanMin[3]; }),
    Bound("Alarm", "In0Min", true, [](AppState& s) { return &s.alarm.inMin[0]; }),
    Bound("Alarm", "In0Max", true, [](AppState& s) { return &s.alarm.inMax[0]; }),
    Bound("Alarm", "In1Min", true, [](AppState& s) { return &s.alarm.inMin[1]; }),
    Bound("Alarm", "In1Max", true, [](AppState& s) { return &s.alarm.inMax[1]; }),
    Bound("Alarm", "In2Min", true, [](AppState& s) { return &s.alarm.inMin[2]; }),
    Bound("Alarm", "In2Max", true, [](AppState& s) { return &s.alarm.inMax[2]; }),
    Bound("Alarm", "In3Min", true, [](AppState& s) { return &s.alarm.inMin[3]; }),
    Bound("Alarm", "In3Max", true, [](AppState& s) { return &s.alarm.inMax[3]; }),
    Bound("Alarm", "In4Min", true, [](AppState& s) { return &s.alarm.inMin[4]; }),
    Bound("Alarm", "In4Max", true, [](AppState& s) { return &s.alarm.inMax[4]; }),
    Bound("Alarm", "In5Min", true, [](AppState& s) { return &s.alarm.inMin[5]; }),
    Bound("Alarm", "In5Max", true, [](AppState& s) { return &s.alarm.inMax[5]; }),
    Bound("Alarm", "In6Min", true, [](AppState& s) { return &s.alarm.inMin[6]; }),
    Bound("Alarm", "In6Max", true, [](AppState& s) { return &s.alarm.inMax[6]; }),
    Bound("Alarm", "In7Min", true, [](AppState& s) { return &s.alarm.inMin[7]; }),
    Bound("Alarm", "In7Max", true, [](AppState& s) { return &s.alarm.inMax[7]; }),
    Bound("Alarm", "In8Min", true, [](AppState& s) { return &s.alarm.inMin[8]; }),
    Bound("Alarm", "In8Max", true, [](AppState& s) { return &s.alarm.inMax[8]; }),
    Bound("Alarm", "CoreMax", false, [](AppState& s) { return &s.alarm.coreMax; }),
    Int("Alarm", "Count", kDefaultAlarmCount, [](AppState& s) { return &s.alarm.count; }),
    Int("Alarm", "Beep", 0, [](AppState& s) { return &s.alarm.beep; }),
    Text("Alarm", "Command", kPathLimit, "", [](AppState& s) { return s.alarm.command; }),
    Int("Alarm", "Repeat", kDefaultAlarmRepeat, [](AppState& s) { return &s.alarm.repeat; }),

    Int("Log", "Enable", 0, [](AppState& s) { return &s.log.enable; }),
    Text("Log", "FileName", kPathLimit, "VESKORA_%Y%m%d.CSV", [](AppState& s) { return s.log.fileName; }),
    Int("Log", "Every", 1, [](AppState& s) { return &s.log.every; }),
    Int("Log", "Keep", kDefaultKeepDays, [](AppState& s) { return &s.log.keep; }),
    Text("Log", "Separator", kUnitLimit, ",", [](AppState& s) { return s.log.separator; }),

    Int("History", "Minutes", kDefaultHistoryMinutes, [](AppState& s) { return &s.historyMinutes; }, kSavedWhenSet),

    Int("Export", "Http", 0, [](AppState& s) { return &s.exports.http; }, kSavedWhenSet),
    Int("Export", "Port", kDefaultExportPort, [](AppState& s) { return &s.exports.port; }, kSavedWhenSet),
    Text("Export", "Bind", kExportBindSize, "127.0.0.1", [](AppState& s) { return s.exports.bind; }, kSavedWhenSet),
    Text("Export", "AllowFrom", kPathLimit, "", [](AppState& s) { return s.exports.allowFrom; }, kSavedWhenSet),
    Text("Export", "Token", kExportTokenSize, "", [](AppState& s) { return s.exports.token; }, kSavedWhenSet),
    Text("Export", "PromFile", kPathLimit, "", [](AppState& s) { return s.exports.promFile; }, kSavedWhenSet),
};
static_assert(sizeof kSettingsKeys / sizeof kSettingsKeys[0] ==
                  3 + 2 + kVoltCount + kRowCount + 5 + (1 + kTempCount + kFanCount + 2 * kVoltCount + 5) + 5 + 1 + 6,
              "settings file: config, dividers, show flags, core temperatures, alarms, log, history, export");

// The theme file, in reading and writing order.
const SettingKey kThemeKeys[] = {
    Unsigned("Global", "Timer", kDefaultTimer, [](AppState& s) { return &s.timer; }),
    Int("Global", "X", -1, [](AppState& s) { return &s.x; }),
    Int("Global", "Y", -1, [](AppState& s) { return &s.y; }),
    Int("Global", "Stable", 0, [](AppState& s) { return &s.stable; }),

    Int("Layout", "Enable", 0, [](AppState& s) { return &s.layoutEnable; }),
    Text("Layout", "FileName", kPathLimit, "VKL_WIDE.VKL", [](AppState& s) { return s.layoutPath; }),

    Int("Labels", "Line", 1, [](AppState& s) { return &s.labels.line; }),
    Text("Labels", "Temp", kGroupTitleLimit, "Temperature", [](AppState& s) { return s.labels.tempTitle; }),
    Text("Labels", "Temp0", kLabelLimit, kTempNames[0], [](AppState& s) { return s.labels.temp[0]; }),
    Text("Labels", "Temp1", kLabelLimit, kTempNames[1], [](AppState& s) { return s.labels.temp[1]; }),
    Text("Labels", "Temp2", kLabelLimit, kTempNames[2], [](AppState& s) { return s.labels.temp[2]; }),
    Text("Labels", "Fan", kGroupTitleLimit, "Fan", [](AppState& s) { return s.labels.fanTitle; }),
    Text("Labels", "Fan0", kLabelLimit, kFanNames[0], [](AppState& s) { return s.labels.fan[0]; }),
    Text("Labels", "Fan1", kLabelLimit, kFanNames[1], [](AppState& s) { return s.labels.fan[1]; }),
    Text("Labels", "Fan2", kLabelLimit, kFanNames[2], [](AppState& s) { return s.labels.fan[2]; }),
    Text("Labels", "Fan3", kLabelLimit, kFanNames[3], [](AppState& s) { return s.labels.fan[3]; }),
    Text("Labels", "In", kGroupTitleLimit, "Voltage", [](AppState& s) { return s.labels.inTitle; }),
    Text("Labels", "In0", kLabelLimit, kVoltNames[0], [](AppState& s) { return s.labels.in[0]; }),
    Text("Labels", "In1", kLabelLimit, kVoltNames[1], [](AppState& s) { return s.labels.in[1]; }),
    Text("Labels", "In2", kLabelLimit, kVoltNames[2], [](AppState& s) { return s.labels.in[2]; }),
    Text("Labels", "In3", kLabelLimit, kVoltNames[3], [](AppState& s) { return s.labels.in[3]; }),
    Text("Labels", "In4", kLabelLimit, kVoltNames[4], [](AppState& s) { return s.labels.in[4]; }),
    Text("Labels", "In5", kLabelLimit, kVoltNames[5], [](AppState& s) { return s.labels.in[5]; }),
    Text("Labels", "In6", kLabelLimit, kVoltNames[6], [](AppState& s) { return s.labels.in[6]; }),
    Text("Labels", "In7", kLabelLimit, kVoltNames[7], [](AppState& s) { return s.labels.in[7]; }),
    Text("Labels", "In8", kLabelLimit, kVoltNames[8], [](AppState& s) { return s.labels.in[8]; }),

    Int("Units", "Enable", 1, [](AppState& s) { return &s.units.enable; }),
    Text("Units", "Title", kUnitLimit, kTitleTempUnit, [](AppState& s) { return s.units.title; }),
    Text("Units", "Temp", kUnitLimit, kPanelTempUnit, [](AppState& s) { return s.units.temp; }),
    Text("Units", "Fan", kUnitLimit, "rpm", [](AppState& s) { return s.units.fan; }),
    Text("Units", "PWM", kUnitLimit, "%", [](AppState& s) { return s.units.pwm; }),
    Text("Units", "In", kUnitLimit, "V", [](AppState& s) { return s.units.in; }),

    Colour("Colors", "Line", [](AppState& s) { return &s.colors.slot[kColorLine].colour; }),
    Colour("Colors", "Frame", [](AppState& s) { return &s.colors.slot[kColorFrame].colour; }),
    Colour("Colors", "Label", [](AppState& s) { return &s.colors.slot[kColorLabel].colour; }),
    Colour("Colors", "Value", [](AppState& s) { return &s.colors.slot[kColorValue].colour; }),
    Colour("Colors", "Back", [](AppState& s) { return &s.colors.slot[kColorBack].colour; }),
    Colour("Colors", "Alarm", [](AppState& s) { return &s.alarm.colour; }),

    Int("Shadows", "Offset", 2, [](AppState& s) { return &s.colors.shadowOffset; }),
    Int("Shadows", "EnableLine", 1, [](AppState& s) { return &s.colors.slot[kColorLine].shadow; }),
    Int("Shadows", "EnableFrame", 1, [](AppState& s) { return &s.colors.slot[kColorFrame].shadow; }),
    Int("Shadows", "EnableLabel", 1, [](AppState& s) { return &s.colors.slot[kColorLabel].shadow; }),
    Int("Shadows", "EnableValue", 1, [](AppState& s) { return &s.colors.slot[kColorValue].shadow; }),
    Int("Shadows", "EnableBack", 1, [](AppState& s) { return &s.colors.slot[kColorBack].shadow; }),
    Colour("Shadows", "Line", [](AppState& s) { return &s.colors.slot[kColorLine].shadowColour; }),
    Colour("Shadows", "Frame", [](AppState& s) { return &s.colors.slot[kColorFrame].shadowColour; }),
    Colour("Shadows", "Label", [](AppState& s) { return &s.colors.slot[kColorLabel].shadowColour; }),
    Colour("Shadows", "Value", [](AppState& s) { return &s.colors.slot[kColorValue].shadowColour; }),
    Colour("Shadows", "Back", [](AppState& s) { return &s.colors.slot[kColorBack].shadowColour; }),

    Font("Fonts", "Frame", [](AppState& s) { return &s.fonts.slot[kFontFrame].configured; }),
    Font("Fonts", "Label", [](AppState& s) { return &s.fonts.slot[kFontLabel].configured; }),
    Font("Fonts", "Value", [](AppState& s) { return &s.fonts.slot[kFontValue].configured; }),

    Int("Skin", "Enable", 0, [](AppState& s) { return &s.skin.enable; }),
    Text("Skin", "FileName", kPathLimit, "VKS_DEF.BMP", [](AppState& s) { return s.skin.fileName; }),

    Unsigned("Mask", "Mode", MASK_NONE, [](AppState& s) { return &s.mask.mode; }),
    Int("Mask", "Width", 6, [](AppState& s) { return &s.mask.width; }),
    Int("Mask", "Height", 6, [](AppState& s) { return &s.mask.height; }),
    Colour("Mask", "Color", [](AppState& s) { return &s.mask.color; }),
    Text("Mask", "FileName", kPathLimit, "VKM_DEF.BMP", [](AppState& s) { return s.mask.fileName; }),

    Int("History", "Left", 0, [](AppState& s) { return &s.historyWindow.left; }, kSavedWhenSet),
    Int("History", "Top", 0, [](AppState& s) { return &s.historyWindow.top; }, kSavedWhenSet),
    Int("History", "Width", 0, [](AppState& s) { return &s.historyWindow.width; }, kSavedWhenSet),
    Int("History", "Height", 0, [](AppState& s) { return &s.historyWindow.height; }, kSavedWhenSet),
};
static_assert(sizeof kThemeKeys / sizeof kThemeKeys[0] ==
                  4 + 2 + (1 + 3 + kRowCount) + 6 + kColorElements + 1 +
                      (1 + 2 * kColorElements) + kFontElements + 2 + 5 + 4,
              "theme file: global, layout, labels, units, colours, shadows, fonts, skin, mask, history window");

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

template <size_t N>
void ReadKeys(INIFILE& file, const SettingKey (&keys)[N], AppState& state)
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

template <size_t N>
void WriteKeys(INIFILE& file, const char* path, const SettingKey (&keys)[N], AppState& state)
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
template <size_t N>
bool SaveFile(INIFILE& file, const char* path, const SettingKey (&keys)[N], AppState& state)
{
    if (!file.Open(path))
        return true;  // no file named: nothing to save
    if (!ProfilePathUsable(path) || !Writable(path, keys[0], state))
        return false;
    WriteKeys(file, path, keys, state);
    return Writable(path, keys[0], state);
}

}  // namespace

void LoadSettings(int withConfig)
{
    AppState& state = App();
    INIFILE file;
    if (withConfig && Bind(file, state.settingsPath))
        ReadKeys(file, kSettingsKeys, state);
    // The settings file just named the theme; otherwise the current one is used.
    if (Bind(file, state.themePath))
        ReadKeys(file, kThemeKeys, state);
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
    if (withConfig && !SaveFile(file, state.settingsPath, kSettingsKeys, state))
        failures |= kSettingsFileNotSaved;
    if (!SaveFile(file, state.themePath, kThemeKeys, state))
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
