#include "display/coretip.h"

#include <cstdio>
#include <cstring>

#include "app/appstate.h"
#include "app/alarms.h"
#include "display/geometry.h"
#include "resources/resource.h"

namespace {

const int kTempOutlineId = 1001;   // the temperature group: the tip's hot area
const int kTipIconSize = 16;
const LPARAM kMaxTipWidth = 512;   // wide enough that only the line feeds break lines
const LPARAM kInitialDelay = 200;  // ms
const LPARAM kAutoPopDelay = 30000;

}  // namespace

int CreateCoreTooltip(HWND window)
{
    AppState& app = App();
    CTOOLTIP& tip = app.coreTip;
    if (tip.Window())
        return 0;
    RECT area = {};  // no temperature group: an empty hot area, so no tip shows
    GetControlRect(window, kTempOutlineId, &area);
    DWORD style = WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX;
    if (app.coreTemp.balloon)
        style |= TTS_BALLOON;
    if (!tip.CreateTip(style, area, app.instance, window, TTF_SUBCLASS))
        return 0;
    tip.AdoptTitleIcon(static_cast<HICON>(LoadImageA(app.instance, MAKEINTRESOURCEA(IDI_SMALL),
                                                     IMAGE_ICON, kTipIconSize, kTipIconSize,
                                                     LR_DEFAULTCOLOR)));
    HWND w = tip.Window();
    SendMessageA(w, TTM_SETMAXTIPWIDTH, 0, kMaxTipWidth);
    SendMessageA(w, TTM_SETDELAYTIME, TTDT_INITIAL, kInitialDelay);
    SendMessageA(w, TTM_SETDELAYTIME, TTDT_AUTOPOP, kAutoPopDelay);
    ApplyTooltipStyle();
    return 1;
}

int ApplyTooltipStyle()
{
    AppState& app = App();
    CTOOLTIP& tip = app.coreTip;
    HWND w = tip.Window();
    LONG_PTR style = w ? GetWindowLongPtrA(w, GWL_STYLE) : 0;
    int switched = 0;
    if (app.coreTemp.balloon && !(style & TTS_BALLOON)) {
        style = (style & ~static_cast<LONG_PTR>(WS_BORDER)) | TTS_BALLOON;
        switched = 1;
    } else if (!app.coreTemp.balloon && (style & TTS_BALLOON)) {
        style = (style & ~static_cast<LONG_PTR>(TTS_BALLOON)) | WS_BORDER;
        switched = 1;
    }
    if (!w)
        return switched;
    if (switched)
        SetWindowLongPtrA(w, GWL_STYLE, style);
    // The settings apply sends them from another thread each time.
    tip.SetTitle(app.coreTemp.title, app.coreTemp.icon);
    tip.SetColours(app.colors.slot[kColorValue].colour, app.colors.slot[kColorBack].colour);
    if (app.coreTemp.enable != tip.active) {
        SendMessageA(w, TTM_ACTIVATE, app.coreTemp.enable, 0);
        tip.active = app.coreTemp.enable;
    }
    return switched;
}

void BuildCoreTooltipText(const CoreTable& cores)
{
    AppState& app = App();
    char* text = app.tipText;
    text[0] = '\0';
    size_t used = 0;
    unsigned int count = cores.count < kCoreSlots ? cores.count : kCoreSlots;
    for (unsigned int i = 0; i < count; ++i) {
        const CoreEntry& e = cores.core[i];
        if (!e.valid)
            continue;
        char line[kTextSize + 1];
        std::snprintf(line, kTextSize, "%u: %d%s (%d%s)", i, e.temp, app.units.title, e.peak,
                      app.units.title);
        if (CoreAlarm(static_cast<int>(i)) && std::strlen(line) + 1 < kTextSize)
            std::strcat(line, "!");
        if (i + 1 < count)
            std::strcat(line, "\n");
        size_t n = std::strlen(line);
        if (used + n > kTipTextSize - 1)
            break;  // this and every later core no longer fit
        std::memcpy(text + used, line, n + 1);
        used += n;
    }
}
