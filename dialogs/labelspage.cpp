// The labels page (tab "ラベル"): group titles, row labels and their
// "shown" switches, the units and the frame-line switch. The edits are the
// working copy; they are read back only when the frame asks.

#include <iterator>

#include "app/appstate.h"
#include "dialogs/pages.h"
#include "foundation/mbcs.h"
#include "resources/resource.h"

namespace {

const size_t kTitleBytes = 15;  // kept of a group title on store
const size_t kLabelBytes = 7;   // kept of a label or a unit

struct LabelEdit {
    int id;
    size_t keep;
    char* (*text)(AppState& app);
};

// Every text of the page, one row per edit, in the order of the ids.
const LabelEdit kEdits[] = {
    {IDC_LABEL_TEMP_TITLE, kTitleBytes, [](AppState& a) { return a.labels.tempTitle; }},
    {IDC_LABEL_TEMP + 0, kLabelBytes, [](AppState& a) { return a.labels.temp[0]; }},
    {IDC_LABEL_TEMP + 1, kLabelBytes, [](AppState& a) { return a.labels.temp[1]; }},
    {IDC_LABEL_TEMP + 2, kLabelBytes, [](AppState& a) { return a.labels.temp[2]; }},
    {IDC_LABEL_TEMP_UNIT, kLabelBytes, [](AppState& a) { return a.units.temp; }},
    {IDC_LABEL_FAN_TITLE, kTitleBytes, [](AppState& a) { return a.labels.fanTitle; }},
    {IDC_LABEL_FAN + 0, kLabelBytes, [](AppState& a) { return a.labels.fan[0]; }},
    {IDC_LABEL_FAN + 1, kLabelBytes, [](AppState& a) { return a.labels.fan[1]; }},
    {IDC_LABEL_FAN + 2, kLabelBytes, [](AppState& a) { return a.labels.fan[2]; }},
    {IDC_LABEL_FAN + 3, kLabelBytes, [](AppState& a) { return a.labels.fan[3]; }},
    {IDC_LABEL_FAN_UNIT, kLabelBytes, [](AppState& a) { return a.units.fan; }},
    {IDC_LABEL_PWM_UNIT, kLabelBytes, [](AppState& a) { return a.units.pwm; }},
    {IDC_LABEL_IN_TITLE, kTitleBytes, [](AppState& a) { return a.labels.inTitle; }},
    {IDC_LABEL_IN + 0, kLabelBytes, [](AppState& a) { return a.labels.in[0]; }},
    {IDC_LABEL_IN + 1, kLabelBytes, [](AppState& a) { return a.labels.in[1]; }},
    {IDC_LABEL_IN + 2, kLabelBytes, [](AppState& a) { return a.labels.in[2]; }},
    {IDC_LABEL_IN + 3, kLabelBytes, [](AppState& a) { return a.labels.in[3]; }},
    {IDC_LABEL_IN + 4, kLabelBytes, [](AppState& a) { return a.labels.in[4]; }},
    {IDC_LABEL_IN + 5, kLabelBytes, [](AppState& a) { return a.labels.in[5]; }},
    {IDC_LABEL_IN + 6, kLabelBytes, [](AppState& a) { return a.labels.in[6]; }},
    {IDC_LABEL_IN + 7, kLabelBytes, [](AppState& a) { return a.labels.in[7]; }},
    {IDC_LABEL_IN + 8, kLabelBytes, [](AppState& a) { return a.labels.in[8]; }},
    {IDC_LABEL_IN_UNIT, kLabelBytes, [](AppState& a) { return a.units.in; }},
};
static_assert(std::size(kEdits) == 3 + kRowCount + 4, "three titles, sixteen labels, four units");

// The sixteen switches in the order of their check boxes.
int* Shown(AppState& app, int row)
{
    if (row < kTempCount)
        return &app.show.temp[row];
    if (row < kTempCount + kFanCount)
        return &app.show.fan[row - kTempCount];
    return &app.show.in[row - kTempCount - kFanCount];
}

INT_PTR OnInitDialog(HWND page)
{
    AppState& app = App();
    for (int row = 0; row < kRowCount; ++row)
        CheckBox(page, IDC_LABEL_SHOWN + row, *Shown(app, row));
    for (const LabelEdit& e : kEdits)
        SetDlgItemTextA(page, e.id, e.text(app));
    CheckBox(page, IDC_LABEL_LINE, app.labels.line);
    return TRUE;
}

void Store(HWND page)
{
    AppState& app = App();
    for (int row = 0; row < kRowCount; ++row)
        *Shown(app, row) = Checked(page, IDC_LABEL_SHOWN + row);
    for (const LabelEdit& e : kEdits) {
        char text[kTextSize];
        GetDlgItemTextA(page, e.id, text, sizeof text);
        CopyWholeCharacters(e.text(app), text, e.keep);
    }
    app.labels.line = Checked(page, IDC_LABEL_LINE);
}

}  // namespace

INT_PTR CALLBACK LabelsPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(page);
    case WM_COMMAND:
        if (LOWORD(wParam) == kStorePage)
            Store(page);
        return TRUE;
    default: return FALSE;
    }
}
