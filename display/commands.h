#pragma once
// Commands of the main window (WM_COMMAND ids). The popup menu uses
// 0x8010-0x80FF; workers and the settings dialog post the others.

#include <windows.h>

const WORD ID_UPDATE = 0x8001;         // new readings are ready
const WORD ID_RELOAD = 0x8002;         // end and re-create the main window
const WORD ID_RESTART_MONITOR = 0x8003;  // the settings apply: restart a running monitor timer
const WORD ID_MONITOR_STOP = 0x8010;
const WORD ID_MONITOR_START = 0x8011;
const WORD ID_RESET_MAX = 0x8012;
const WORD ID_MINIMIZE = 0x8013;
const WORD ID_LOCK_POSITION = 0x8014;
const WORD ID_SKIN = 0x8015;
const WORD ID_MASK_NONE = 0x8020;      // ID_MASK_NONE + mode for modes 0-4
const WORD ID_MASK_ROUND = 0x8021;
const WORD ID_MASK_AUTO = 0x8022;
const WORD ID_MASK_COLOR = 0x8023;
const WORD ID_MASK_BITMAP = 0x8024;
const WORD ID_LAYOUT_ENABLE = 0x8030;
const WORD ID_LAYOUT_SELECT = 0x8031;
const WORD ID_SETTINGS = 0x8040;
const WORD ID_CONFIG_LOAD = 0x8050;
const WORD ID_CONFIG_SAVE = 0x8051;
const WORD ID_THEME_LOAD = 0x8060;
const WORD ID_THEME_SAVE = 0x8061;
const WORD ID_PROCESSOR_INFO = 0x8070;
const WORD ID_HISTORY = 0x8080;
const WORD ID_REGION_READY = 0x80FE;   // lParam 1: mask region set, 0: failed
const WORD ID_EXIT = 0x80FF;

const UINT_PTR TIMER_MONITOR = 1;
const UINT_PTR TIMER_BLINK = 2;
const UINT kBlinkPeriod = 500;  // ms

// Posts a command to the window, as workers and menus deliver them.
inline void PostCommand(HWND window, WORD id, LPARAM lParam = 0)
{
    PostMessageA(window, WM_COMMAND, id, lParam);
}
