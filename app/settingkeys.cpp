#include "app/settingkeys.h"

#include "app/alarms.h"
#include "app/readingslog.h"
#include "app/watch.h"
#include "sensors/cf718x.h"

namespace {

// Read limits: a text key takes at most limit - 1 characters from the file.
const unsigned int kLabelLimit = 8;
const unsigned int kGroupTitleLimit = 16;
const unsigned int kUnitLimit = 8;
const unsigned int kTitleLimit = kTextSize;
static_assert(kLabelLimit <= kTextSize && kGroupTitleLimit <= kTextSize && kUnitLimit <= kTextSize,
              "a read never exceeds the member it fills");

// The theme's temperature units as bytes: the Shift-JIS degree-Celsius sign
// for the window title, and the code-page 1252 degree sign plus C for the
// panel, whose fonts use the ANSI character set.
const char kTitleTempUnit[] = "\x81\x8E";
const char kPanelTempUnit[] = "\xB0" "C";

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

    Int("Tray", "Enable", 0, [](AppState& s) { return &s.tray.enable; }, kSavedWhenSet),
    Text("Tray", "Rows", kTrayRowsSize, "0", [](AppState& s) { return s.tray.rows; }, kSavedWhenSet),
    Int("Tray", "HideOnMinimize", 0, [](AppState& s) { return &s.tray.hideOnMinimize; }, kSavedWhenSet),
};
static_assert(sizeof kSettingsKeys / sizeof kSettingsKeys[0] ==
                  3 + 2 + kVoltCount + kRowCount + 5 + (1 + kTempCount + kFanCount + 2 * kVoltCount + 5) + 5 + 1 + 6 + 3,
              "settings file: config, dividers, show flags, core temperatures, alarms, log, history, export, tray");

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

}  // namespace

KeyTable SettingsFileKeys()
{
    return {kSettingsKeys, sizeof kSettingsKeys / sizeof kSettingsKeys[0]};
}

KeyTable ThemeFileKeys()
{
    return {kThemeKeys, sizeof kThemeKeys / sizeof kThemeKeys[0]};
}
