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
// Optional history graphs: item n of a group at its base + n, the duties
// beside the fans; one graph holds every core.
#define IDC_TEMP_GRAPH      1150
#define IDC_FAN_GRAPH       1250
#define IDC_DUTY_GRAPH      1260
#define IDC_VOLT_GRAPH      1350
#define IDC_CORE_GRAPH      1450

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

// The settings dialog: the frame and its pages, in tab order.
#define IDD_SETTINGS        210
#define IDD_PAGE_BASIC      211
#define IDD_PAGE_CHIP       212
#define IDD_PAGE_LABELS     213
#define IDD_PAGE_COLORS     214
#define IDD_PAGE_SKIN       215
#define IDD_PAGE_VERSION    216
#define IDD_PAGE_WATCH      219
#define IDC_APPLY           4      // the frame's third button, beside IDOK and IDCANCEL
#define IDC_SETTINGS_TABS   2000
#define IDC_SETTINGS_HEADER 2001

// Basic page.
#define IDC_BASIC_TIMER         2100
#define IDC_BASIC_TIMER_SPIN    2101
#define IDC_BASIC_UNITS         2102
#define IDC_BASIC_STABLE        2104
#define IDC_BASIC_THEME_BUTTON  2150
#define IDC_BASIC_THEME_NAME    2151
#define IDC_BASIC_CONFIG_BUTTON 2152
#define IDC_BASIC_CONFIG_NAME   2153

// Chip page.
#define IDC_CHIP_DIVID_ENABLE   2200
#define IDC_CHIP_DIVIDER        2210   // input k: 2210 + k (k = 0-8), the fan constant 2219
#define IDC_CHIP_FAN            2219
#define IDC_CHIP_DEFAULT        2230   // the default beside each: 2230 + k, the fan's 2239
#define IDC_CHIP_FAN_DEFAULT    2239
#define IDC_CHIP_CORE_ENABLE    2300
#define IDC_CHIP_BALLOON        2301
#define IDC_CHIP_TJMAX          2302
#define IDC_CHIP_TJMAX_SPIN     2303
#define IDC_CHIP_TJMAX_FOUND    2304
#define IDC_CHIP_TITLE          2305

// Labels page.
#define IDC_LABEL_TEMP_TITLE    2400
#define IDC_LABEL_TEMP          2401   // temperature i: 2401 + i
#define IDC_LABEL_TEMP_UNIT     2404
#define IDC_LABEL_FAN_TITLE     2405
#define IDC_LABEL_FAN           2406   // fan i: 2406 + i
#define IDC_LABEL_FAN_UNIT      2410
#define IDC_LABEL_PWM_UNIT      2411
#define IDC_LABEL_IN_TITLE      2412
#define IDC_LABEL_IN            2413   // voltage i: 2413 + i
#define IDC_LABEL_IN_UNIT       2422
#define IDC_LABEL_SHOWN         2500   // the sixteen switches: temperatures, fans, voltages
#define IDC_LABEL_LINE          2516

// Colours and fonts page.
#define IDC_COLOR_BUTTON        2700   // element e: button 2700 + 2e, swatch 2701 + 2e
#define IDC_SHADOW_LINE_ENABLE  2732
#define IDC_SHADOW_BUTTON       2750   // element e: button 2750 + 3e, swatch + 1, switch + 2
#define IDC_SHADOW_OFFSET       2765
#define IDC_FONT_BUTTON         2800   // font f: button 2800 + 2f, sample 2801 + 2f

// Skin and mask page.
#define IDC_SKIN_ENABLE         2900
#define IDC_SKIN_BUTTON         2901
#define IDC_SKIN_NAME           2902
#define IDC_MASK_MODE           2903
#define IDC_MASK_COLOR_BUTTON   2904
#define IDC_MASK_COLOR_SWATCH   2905
#define IDC_MASK_BUTTON         2906
#define IDC_MASK_NAME           2907
#define IDC_SKIN_PREVIEW        2908
#define IDC_SKIN_SIZE           2909

// Version page.
#define IDC_VERSION_DESCRIPTION 3000
#define IDC_VERSION_LINE        3001
#define IDC_VERSION_COPYRIGHT   3002
#define IDC_VERSION_LIBRARIES   3003
#define IDC_VERSION_CHIP        3010
#define IDC_VERSION_SPARE       3011   // 3011-3013 stay empty

// The alarms and log page (template 219).
#define IDC_ALARM_ENABLE        3800
#define IDC_ALARM_NAME          3801   // row i (0-15) and the cores (16): 3801 + i
#define IDC_ALARM_TEMP_MAX      3820   // temperature i: 3820 + i
#define IDC_ALARM_FAN_MIN       3830   // fan i: 3830 + i
#define IDC_ALARM_IN_MIN        3840   // voltage i: 3840 + i
#define IDC_ALARM_IN_MAX        3850   // voltage i: 3850 + i
#define IDC_ALARM_CORE_MAX      3860
#define IDC_ALARM_COUNT         3861
#define IDC_ALARM_COUNT_SPIN    3862
#define IDC_ALARM_BEEP          3863
#define IDC_ALARM_COMMAND       3864
#define IDC_ALARM_COMMAND_FILE  3865
#define IDC_ALARM_COLOR         3866
#define IDC_ALARM_COLOR_PICK    3867
#define IDC_LOG_ENABLE          3870
#define IDC_LOG_NAME            3871
#define IDC_LOG_NAME_FILE       3872
#define IDC_LOG_NAME_NOTE       3873
#define IDC_LOG_EVERY           3874
#define IDC_LOG_KEEP            3875
#define IDC_LOG_SEPARATOR       3876
#define IDC_ALARM_COMMAND_NOTE  3877
#define IDC_ALARM_GROUP         3880   // the title over group g's bounds (temperatures, fans, voltages): 3880 + g

// The export page (template 230): the HTTP endpoint and the Prometheus file.
#define IDD_PAGE_EXPORT         230
#define IDC_EXPORT_HTTP         4100
#define IDC_EXPORT_PORT         4101
#define IDC_EXPORT_BIND         4102
#define IDC_EXPORT_ALLOW        4103
#define IDC_EXPORT_TOKEN        4104
#define IDC_EXPORT_NOTE         4105
#define IDC_EXPORT_PROM         4106
#define IDC_EXPORT_PROM_FILE    4107
#define IDC_EXPORT_PROM_NOTE    4108

// The history window (a window class of its own, no template).
#define IDC_HISTORY_SPAN        4200
#define IDC_HISTORY_CLEAR       4201
#define IDC_HISTORY_OPEN        4202
#define IDC_HISTORY_LIVE        4203
