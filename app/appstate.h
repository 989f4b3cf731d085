#pragma once
// AppState: the one process-wide record of the program — file paths, timers,
// every settings value, the display's colours, fonts and drawing objects,
// hover flags, chip identity and processor state. It has no lock of its own:
// the main thread, the settings dialog's thread (under UPDATE) and the
// acquisition worker (readings only, under READ) touch it.

#include <windows.h>

#include <deque>
#include <string>
#include <utility>

#include "app/exporter.h"
#include "app/history.h"
#include "app/tray.h"
#include "foundation/gdiwrap.h"
#include "foundation/namedlock.h"
#include "sensors/sensortypes.h"

const int kPathSize = 1024;   // paths: at most 1023 characters
const int kTextSize = 32;     // labels, units, titles: at most 31 characters
const int kTipTextSize = 256;
// The panel's rows: temperatures 0-2, fans 3-6, voltages 7-15 (app/rows.h).
const int kRowCount = kTempCount + kFanCount + kVoltCount;  // 16

// [Divid]: the voltage multipliers and the fan constant.
struct DividerSettings {
    int enable;
    unsigned int fan;
    double in[kVoltCount];
};

// [Enable]: which rows are shown.
struct ShowSettings {
    int temp[kTempCount];
    int fan[kFanCount];
    int in[kVoltCount];
};

// [CoreTemp]: processor core temperatures and their tooltip.
struct CoreTempSettings {
    int enable;
    int tjmax;
    int balloon;
    char title[kTextSize];
    int icon;
};

// [Labels]: group titles, row labels and the frame-line switch.
struct LabelSettings {
    int line;
    char tempTitle[kTextSize];
    char temp[kTempCount][kTextSize];
    char fanTitle[kTextSize];
    char fan[kFanCount][kTextSize];
    char inTitle[kTextSize];
    char in[kVoltCount][kTextSize];
};

// [Units]
struct UnitSettings {
    int enable;
    char title[kTextSize];  // the temperature unit of the window title and tooltip
    char temp[kTextSize];
    char fan[kTextSize];
    char pwm[kTextSize];
    char in[kTextSize];
};

// [Skin]
struct SkinSettings {
    int enable;
    char fileName[kPathSize];
};

// Window shapes of [Mask] Mode.
enum MaskMode { MASK_NONE = 0, MASK_ROUND = 1, MASK_AUTO = 2, MASK_COLOR = 3, MASK_BITMAP = 4 };

// [Mask]
struct MaskSettings {
    unsigned int mode;
    int width;
    int height;
    COLORREF color;
    char fileName[kPathSize];
};

// A bound of an alarm: off until set; 0 is a real bound.
struct AlarmBound {
    int set;
    double value;
};

// [Alarm] of the settings file, and the alarm colour of the theme file.
struct AlarmSettings {
    int enable;
    AlarmBound tempMax[kTempCount];
    AlarmBound fanMin[kFanCount];
    AlarmBound inMin[kVoltCount];
    AlarmBound inMax[kVoltCount];
    AlarmBound coreMax;
    int count;  // readings out of range in a row before an alarm starts
    int repeat;  // minutes before a row beeps or runs the command again; 0: at every start
    int beep;
    char command[kPathSize];
    COLORREF colour;  // [Colors] Alarm
};

// [Log] of the settings file.
struct LogSettings {
    int enable;
    char fileName[kPathSize];
    int every;  // one line every so many readings
    int keep;   // days of files kept; 0 keeps all
    char separator[kTextSize];
};

// What the alarms and the log know between readings.
struct AlarmRow {
    int run;      // readings out of range in a row
    int holding;  // the alarm holds
};
// An alarm that started since the last reading was acted on.
struct StartedAlarm {
    int source;  // its row, or kRowCount + its core
    char label[kTextSize];
    char value[kReadingTextSize];
};
struct WatchState {
    AlarmRow row[kRowCount];
    AlarmRow core[kCoreSlots];
    StartedAlarm started[kRowCount + kCoreSlots];
    ULONGLONG lastAction[kRowCount + kCoreSlots];  // tick of the last beep or command; 0: none yet
    int startedCount;
    CoreTable cores;                 // of the last reading the alarms saw
    char refusedCommand[kPathSize];  // the user said no to it, for this run
    int commandErrorShown;           // once per run of the program
    int asking;                      // the confirmation question is up
    char logFile[kPathSize];         // the file lines go to now; empty before the first
    unsigned int readings;           // since logging began
    int logPaused;                   // after a failed write, until the next apply or load
    int restartLog;                  // settings loaded or applied since the last line
    char logBase[kPathSize];         // the day's name the log writes under now
    std::string logHeader;           // and the header of its file
    // Lines a file locked by another program (a spreadsheet) did not take
    // yet, oldest first, each with its file.
    std::deque<std::pair<std::string, std::string>> pendingLog;
};

// The processor as found at start-up.
struct ProcessorState {
    int present;        // processor temperatures readable
    int detectedTjMax;  // whatever the detection's result code
    char brand[kBrandSize];
    CpuInfo info;
};

// The chip as identified at start-up.
struct ChipState {
    WORD vendor;
    WORD chip;
    const char* vendorName;  // "Fintek" or none
    const char* chipName;    // model name or none
};

// The skin, the back buffer and the client area they were built for.
struct SkinState {
    int loaded{};   // the skin file loads (cleared when it no longer does); shown, it is on the surface
    RECT client{};  // client rectangle taken by the last build
    int x{}, y{};   // client origin and size derived from it
    int width{}, height{};
    WINMEMDC backBuffer;
    WINIMGFILE file;  // the skin file's bytes as the last build read them
    WINIMG image;
    WINMEMDC surface;
    WINMEMDC layer;    // what every redraw starts from; none: full redraws
    int generation{};  // counts builds: handles of a new build may repeat old values
};

// The windows of which the process has one at most, opened by the display
// window's thread; their records live here so that one reset puts them
// back.
// The settings dialog, run on a thread of its own.
struct SettingsDialogRecord {
    volatile LONG open{};  // from the request until the dialog's thread ends
    HINSTANCE module{};
    HWND display{};
    HWND frame{};  // once its pages exist
    Owner<IconTraits> smallIcon;
    Owner<IconTraits> largeIcon;
    INT_PTR result{};  // 1 once an apply asked for the window to be re-created
    // Between the display thread asking for a re-creation and the dialog's
    // thread ending: exactly one of them posts the request.
    bool recreate{};
    SectionLock closeLock;
};
// The processor information window.
struct ProcessorWindowRecord {
    HINSTANCE module{};
    HWND owner{};
    HWND dialog{};
    Owner<IconTraits> smallIcon;
    Owner<IconTraits> largeIcon;
};
// The history window, and its place as the theme file keeps it (width 0:
// never placed).
struct HistoryWindowRecord {
    HWND window{};
    int left{}, top{}, width{}, height{};
};
// The message window. The display window's thread ends it while another
// thread may be opening it, so every access holds messageWindowLock.
struct MessageWindowRecord {
    HINSTANCE module;
    HWND owner;
    HWND dialog;
    HICON icon;         // null: the system's exclamation icon
    const char* title;  // null: the default title
    const char* const* lines;
    bool open;        // from the request until the window is gone
    bool expected;    // work that will end the next window is running
    bool endPending;  // that work ended before the window could be told
    INT_PTR pendingResult;
};

struct AppState {
    // Process
    HINSTANCE instance{};
    HICON smallIcon{};
    HICON largeIcon{};

    // File paths
    char settingsPath[kPathSize]{};
    char themePath[kPathSize]{};
    char layoutPath[kPathSize]{};

    // Monitoring timers
    UINT_PTR monitorTimer{};
    UINT_PTR blinkTimer{};
    int blinkPhase{};

    // Settings file
    int debug{};
    int dummy{};
    DividerSettings divid{};
    ShowSettings show{};
    CoreTempSettings coreTemp{};

    // Theme file
    unsigned int timer{};  // seconds, 1..60
    int x{}, y{};          // window position; both -1: centred
    int stable{};          // position lock
    int layoutEnable{};
    LabelSettings labels{};
    UnitSettings units{};
    DisplayColorSet colors;
    DisplayFontSet fonts;
    SkinSettings skin{};
    MaskSettings mask{};

    // Runtime display state
    int hover[kRowCount]{};  // temperatures 0-2, fans 0-3, voltages 0-8
    int tempShown[kTempCount]{};
    SensorText current{};
    SensorText maximum{};
    SkinState skinState;
    CTOOLTIP coreTip;
    char tipText[kTipTextSize]{};

    ProcessorState cpu{};
    ChipState chip{};

    NamedLock updateLock;
    NamedLock drawLock;

    int resumeReload{};  // a re-creation after sleep is asked for and not yet done
    int resumeMinimized{};  // and the window to come back minimised, without the focus
    int resumeStopped{};    // and monitoring to stay stopped

    AlarmSettings alarm{};
    LogSettings log{};
    WatchState watch{};

    int historyMinutes{};  // [History] Minutes
    History history;       // of this window; under UPDATE

    // [Export], and the endpoint and file that publish the readings
    ExportSettings exports{};
    Exporter exporter;

    TraySettings tray{};   // [Tray]
    TrayState trayIcons;   // of this window

    SettingsDialogRecord settingsDialog;
    ProcessorWindowRecord processorWindow;
    HistoryWindowRecord historyWindow;
    MessageWindowRecord messageWindow{};
    SectionLock messageWindowLock;
};

AppState& App();

// Puts the record back to its start state, releasing whatever it holds.
// For tests; the program itself constructs it once.
void ResetAppState();
