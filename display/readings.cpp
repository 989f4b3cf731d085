#include "display/readings.h"

#include <cstdio>
#include <cstring>

#include "app/appstate.h"
#include "app/alarms.h"
#include "app/exporter.h"
#include "app/history.h"
#include "app/watch.h"
#include "display/coretip.h"
#include "display/panels.h"
#include "display/tray.h"
#include "sensors/csensor.h"

namespace {

const int kTitleSize = 64;  // the minimised window title

// Returns whether the reading read the chip.
bool Refresh(HWND window, bool newReading)
{
    AppState& app = App();
    const bool read = newReading && CSENSOR::LastCycleRead();
    app.updateLock.Enter();
    SensorBlock current, maximum;
    CSENSOR::CopyBlocks(&current, &maximum);
    CSENSOR::chip.Format(current, &app.current);
    CSENSOR::chip.Format(maximum, &app.maximum);
    CoreTable cores;
    CSENSOR::CopyCores(&cores);
    if (app.debug) {
        CSENSOR::DumpReadings(current);
        CSENSOR::DumpCores(cores);
    }
    if (read)
        EvaluateAlarms(cores);
    if (newReading)
        RecordHistory(current, cores, read);
    if (newReading)
        RecordExport(current, cores, read);
    if (newReading)
        TakeTrayReadings(window, cores);
    if (IsIconic(window))
        BuildMinimizedTitle(window);
    else
        DrawPanels(window);
    if (app.coreTemp.enable)
        BuildCoreTooltipText(cores);
    app.updateLock.Leave();
    return read;
}

}  // namespace

void UpdateDisplay(HWND window)
{
    Refresh(window, false);
}

void TakeReading(HWND window)
{
    const bool read = Refresh(window, true);
    UpdateTray(window);
    ActOnReading(window, read);
}

void BuildMinimizedTitle(HWND window)
{
    AppState& app = App();
    char title[kTitleSize] = "";
    if (AnyAlarm())
        std::strcpy(title, "!");
    for (int i = 0; i < kTempCount; ++i) {
        if (app.tempShown[i] != 1)
            continue;
        size_t used = std::strlen(title);
        std::snprintf(title + used, sizeof title - used, "%s%s%s", app.current.text[kTempSlot + i],
                      app.units.title, i < kTempCount - 1 ? "/" : "");
    }
    SetWindowTextA(window, title);
}
