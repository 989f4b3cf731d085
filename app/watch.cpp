#include "app/watch.h"

#include <vector>

#include "app/appstate.h"
#include "app/command.h"
#include "app/exporter.h"
#include "app/readingslog.h"
#include "app/seams.h"
#include "foundation/userio.h"

namespace {

const char kLogError[] = "ログファイル書込エラーが発生しました。";

const ULONGLONG kMinute = 60000;

// The alarms that may beep and run the command now: a row whose value
// swings around its bound does so at most once per Repeat minutes.
std::vector<StartedAlarm> Due(const std::vector<StartedAlarm>& begun, int repeat)
{
    WatchState& w = App().watch;
    const ULONGLONG now = CallsOf<WatchCalls>().tickCount();
    std::vector<StartedAlarm> due;
    for (const StartedAlarm& alarm : begun) {
        ULONGLONG& last = w.lastAction[alarm.source];
        if (repeat > 0 && last && now - last < static_cast<ULONGLONG>(repeat) * kMinute)
            continue;
        last = now;
        due.push_back(alarm);
    }
    return due;
}

void ReportLogFailure(HWND window)
{
    AppState& a = App();
    a.updateLock.Enter();
    const bool report = !a.watch.restartLog;  // an apply meanwhile has the log go on
    a.watch.logPaused = report ? 1 : 0;
    a.updateLock.Leave();
    if (report)
        ShowError(window, kLogError);
}

}  // namespace

void ActOnReading(HWND window, bool read)
{
    AppState& a = App();
    WatchState& w = a.watch;
    a.updateLock.Enter();
    std::vector<StartedAlarm> begun(w.started, w.started + w.startedCount);
    w.startedCount = 0;
    char command[kPathSize];
    lstrcpynA(command, a.alarm.command, kPathSize);
    const bool beep = a.alarm.beep != 0;
    const int repeat = a.alarm.repeat;
    const LogLine log = ComposeLog(read);
    a.updateLock.Leave();

    const std::vector<StartedAlarm> due = Due(begun, repeat);
    if (!due.empty() && beep)
        CallsOf<WatchCalls>().playSound(MB_ICONEXCLAMATION);
    if (command[0])
        for (const StartedAlarm& alarm : due)
            RunAlarmCommand(window, command, alarm.label, alarm.value);
    if (log.restart) {
        w.logBase[0] = '\0';
        w.logFile[0] = '\0';
    }
    const bool written = log.wanted ? WriteLog(log) : !log.open || FlushPendingLog();
    if (!written)
        ReportLogFailure(window);
    WriteExportFile(window);
}

// Under UPDATE when the dialog applies; the file itself is chosen again on
// the window's thread, which alone touches it.
void ResumeLogging()
{
    WatchState& w = App().watch;
    w.logPaused = 0;
    w.readings = 0;
    w.restartLog = 1;
}

void SetWatchCalls(const WatchCalls& calls)
{
    CallsOf<WatchCalls>() = calls;
}
