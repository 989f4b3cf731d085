#pragma once
// The settings dialog's pages. Every page follows one protocol: it is a child
// dialog of the frame, created with parameter 0; on WM_INITDIALOG it fills
// its controls from the live settings; on WM_COMMAND 1 (the frame's OK and
// Apply) it stores them back and stays open; it is never told of Cancel; it
// releases its own objects when it is destroyed.

#include <windows.h>

struct SettingsPage {
    const char* text;  // the tab's text; null ends the table
    int templateId;
    DLGPROC procedure;
};
extern const SettingsPage kSettingsPages[];

// The command the frame sends every page to store its values.
const WORD kStorePage = 1;

INT_PTR CALLBACK BasicPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ChipPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK LabelsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ColorPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK SkinPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK WatchPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK ExportPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK VersionPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Helpers the pages share.
void CheckBox(HWND page, int id, int on);
int Checked(HWND page, int id);
