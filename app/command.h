#pragma once
// The alarm command: the program a user names to run when an alarm starts,
// with the row's label and value in its arguments.

#include <windows.h>

#include <string>

// What the command line becomes: %L the label and %V the value, each in
// quotes of its own so that neither can add arguments.
std::string ExpandCommand(const char* command, const char* label, const char* value);

// The user confirmed running this command (the dialog's OK or Apply with it
// entered, or Yes when asked): recorded for this user on this machine.
void ConfirmCommand(const char* command);
// Runs the command for an alarm that started, asking first when the user
// has not confirmed it; a start that fails is reported once per run.
void RunAlarmCommand(HWND window, const char* command, const char* label, const char* value);
