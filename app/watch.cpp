#include "app/watch.h"

#include <vector>

#include "app/appstate.h"
#include "app/command.h"
#include "app/readingslog.h"
#include "app/seams.h"
#include "foundation/userio.h"

namespace {

const char kLogError[] = "ログファイル書込エラーが発生しました。";

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

void ActOnReading(HWND window)
{
    AppState& a = App();
    WatchState& w = a.watch;
    a.updateLock.Enter();
    std::vector<StartedAlarm> begun(w.started, w.started + w.startedCount);
    w.startedCount = 0;
    char command[kPathSize];
    lstrcpynA(command, a.alarm.command, kPathSize);
    const bool beep = a.alarm.beep != 0;
    const LogLine log = ComposeLog();
    a.updateLock.Leave();

    if (!begun.empty() && beep)
        CallsOf<WatchCalls>().playSound(MB_ICONEXCLAMATION);
    if (command[0])
        for (const StartedAlarm& alarm : begun)
            RunAlarmCommand(window, command, alarm.label, alarm.value);
    if (log.restart) {
        w.logBase[0] = '\0';
        w.logFile[0] = '\0';
    }
    const bool written = log.wanted ? WriteLog(log) : !log.open || FlushPendingLog();
    if (!written)
        ReportLogFailure(window);
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
