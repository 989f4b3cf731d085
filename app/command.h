#pragma once
// The alarm command: the program a user names to run when an alarm starts,
// with the row's label and value in its arguments and in its environment
// (VESKORA_LABEL, VESKORA_VALUE). It runs only as confirmed by the user of
// this machine for the settings file it came from, and only as the program
// that was confirmed: an absolute path, resolved when confirmed.

#include <windows.h>

#include <string>

#include "app/appstate.h"

// A command line's program (its first token, without quotes) and the rest
// of the line after it.
struct CommandParts {
    std::string program;
    std::string rest;
};
CommandParts SplitCommand(const char* command);
// %L and %V stand alone, as whole arguments outside the command's own
// quotes, and the command holds no \" or "" (with those, a label could
// close a quote and add arguments).
bool FieldsOutsideQuotes(const char* command);
// The command line for an alarm: %L the label and %V the value, each in
// quotes of its own so that neither can add arguments. False when a field
// stands inside the command's own quotes.
bool ExpandCommand(const char* command, const char* label, const char* value, std::string* line);
// The command with its program as an absolute path in quotes: a drive's
// path as it stands, a relative one with a folder beside the settings
// file, a bare name from the system folder, the Windows folder or the
// drive folders of PATH, never from the current folder; never a network or
// device path. Empty when no such program exists.
std::string ResolveCommand(const char* command, const char* settingsPath);

// The user confirmed running this command (the dialog's OK or Apply with it
// entered): its program is resolved, the command rewritten with the
// absolute path and recorded for this user, this machine and the settings
// file in use. False (nothing recorded or changed) when the program cannot
// be found or a field stands inside quotes.
bool ConfirmCommand(char command[kPathSize]);
// Runs the command for an alarm that started, asking first when the user
// has not confirmed it; a start that fails is reported once per run.
void RunAlarmCommand(HWND window, const char* command, const char* label, const char* value);
