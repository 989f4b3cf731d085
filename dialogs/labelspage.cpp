// The labels page (tab "ラベル"): group titles, row labels and their
// "shown" switches, the units and the frame-line switch. The edits are the
// working copy; they are read back only when the frame asks.

#include "app/appstate.h"
#include "app/rows.h"
#include "dialogs/pages.h"
#include "foundation/mbcs.h"
#include "resources/resource.h"

namespace {

const size_t kTitleBytes = 15;  // kept of a group title on store
const size_t kLabelBytes = 7;   // kept of a label or a unit

// The edits of a group: its title, item i's label at label + i, its unit.
struct GroupEdits {
    int title;
    int label;
    int unit;
};
const GroupEdits kGroupEdits[kRowGroupCount] = {
    {IDC_LABEL_TEMP_TITLE, IDC_LABEL_TEMP, IDC_LABEL_TEMP_UNIT},
    {IDC_LABEL_FAN_TITLE, IDC_LABEL_FAN, IDC_LABEL_FAN_UNIT},
    {IDC_LABEL_IN_TITLE, IDC_LABEL_IN, IDC_LABEL_IN_UNIT},
};

// Every text of the page with the edit that holds it and the bytes kept of
// it on store: the titles, the sixteen labels and the four units.
template <typename Visit>
void ForEachText(AppState& app, Visit visit)
{
    for (int g = 0; g < kRowGroupCount; ++g) {
        const RowGroup group = static_cast<RowGroup>(g);
        visit(kGroupEdits[g].title, kTitleBytes, GroupTitle(app, group));
        visit(kGroupEdits[g].unit, kLabelBytes, RowUnit(app, kRowGroups[g].first));
    }
    for (int row = 0; row < kRowCount; ++row)
        visit(kGroupEdits[RowAt(row).group].label + RowAt(row).item, kLabelBytes, RowLabel(app, row));
    visit(IDC_LABEL_PWM_UNIT, kLabelBytes, app.units.pwm);
}

INT_PTR OnInitDialog(HWND page)
{
    AppState& app = App();
    for (int row = 0; row < kRowCount; ++row)
        CheckBox(page, IDC_LABEL_SHOWN + row, *RowShown(app, row));
    ForEachText(app, [page](int id, size_t, char* text) { SetDlgItemTextA(page, id, text); });
    CheckBox(page, IDC_LABEL_LINE, app.labels.line);
    return TRUE;
}

void Store(HWND page)
{
    AppState& app = App();
    for (int row = 0; row < kRowCount; ++row)
        *RowShown(app, row) = Checked(page, IDC_LABEL_SHOWN + row);
    ForEachText(app, [page](int id, size_t keep, char* kept) {
        char text[kTextSize];
        GetDlgItemTextA(page, id, text, sizeof text);
        CopyWholeCharacters(kept, text, keep);
    });
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
