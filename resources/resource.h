#pragma once
// Resource ids of the executable; layout modules use the same control ids.
// Read by the resource compiler too: preprocessor lines only.

// Icons: the program (small, large), the settings dialog's pages, the
// settings dialog (small, large) and the processor window (small, large).
#define IDI_SMALL           100
#define IDI_LARGE           101
#define IDI_SETTINGS_PAGE   103
#define IDI_SETTINGS_SMALL  108
#define IDI_SETTINGS_LARGE  109
#define IDI_CPU_SMALL       110
#define IDI_CPU_LARGE       111

// The main window's built-in arrangement, and the one a layout module carries.
#define IDD_MAIN            200
#define IDD_LAYOUT          201

// Panel controls of the main window. Only their rectangles are used: each
// group has a frame and a title; item n of a group has its label at the
// group's base + 2n and its value at base + 2n + 1.
#define IDC_TEMP_FRAME      1001
#define IDC_FAN_FRAME       1002
#define IDC_VOLT_FRAME      1003
#define IDC_TEMP_TITLE      1010
#define IDC_FAN_TITLE       1011
#define IDC_VOLT_TITLE      1012
#define IDC_TEMP_BASE       1100
#define IDC_FAN_BASE        1200
#define IDC_VOLT_BASE       1300

// The message window shown while long work runs on another thread.
#define IDD_MESSAGE         217
#define IDC_MSG_ICON        3100
#define IDC_MSG_LINE1       3101   // lines 1-4: 3101-3104
#define IDC_MSG_LINES       4

// The processor information window.
#define IDD_PROCESSOR       218
#define IDC_CPU_BRAND       3300
#define IDC_CPU_FAMILY      3301
#define IDC_CPU_MODEL       3302
#define IDC_CPU_STEPPING    3303
#define IDC_CPU_CLOCK       3304
#define IDC_CPU_RATIO       3305
#define IDC_CPU_VOLTAGE     3306
#define IDC_CPU_EDX_BASE    3500   // feature flag i of EDX: 3500 + i
#define IDC_CPU_ECX_BASE    3600   // feature flag i of ECX: 3600 + i
