#pragma once
// The core-temperature tooltip over the temperature group: one line per core
// with its current and highest temperature.

#include <windows.h>

#include "sensors/sensortypes.h"

int CreateCoreTooltip(HWND window);
// Brings the tooltip's style, title, colours and activation up to the
// settings. 1 when the balloon style was switched (the window must be
// re-created for it to take full effect), else 0.
int ApplyTooltipStyle();
void BuildCoreTooltipText(const CoreTable& cores);
