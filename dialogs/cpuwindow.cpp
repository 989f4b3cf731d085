#include "dialogs/cpuwindow.h"

#include <cstdarg>
#include <cstdio>
#include <iterator>

#include "app/appstate.h"
#include "foundation/fixedline.h"
#include "foundation/gdiwrap.h"
#include "foundation/mbcs.h"
#include "resources/resource.h"
#include "sensors/cix86.h"

const char* const kEdxFlagNames[32] = {
    "FPU",  "VME",  "DE",   "PSE",  "TSC",   "MSR",  "PAE",  "MCE",
    "CX8",  "APIC", "R10",  "SEP",  "MTRR",  "PGE",  "MCA",  "CMOV",
    "PAT",  "PSE36", "PSN", "CLFL", "R20",   "DTES", "ACPI", "MMX",
    "FXSR", "SSE",  "SSE2", "SS",   "HTT",   "TM1",  "IA64", "PBE",
};
const char* const kEcxFlagNames[32] = {
    "SSE3",  "PCLMUL", "DTES64", "MON",   "DSCPL",  "VMX",    "SMX",    "EST",
    "TM2",   "SSSE3",  "CID",    "R11",   "FMA",    "CX16",   "XTPR",   "PDCM",
    "R16",   "R17",    "DCA",    "SSE41", "SSE42",  "X2APIC", "MOVBE",  "POPCNT",
    "R24",   "AES",    "XSAVE",  "OSXSAVE", "AVX",  "R29",    "R30",    "HYPERV",
};
static_assert(std::size(kEdxFlagNames) == 32 && std::size(kEcxFlagNames) == 32,
              "one name per feature bit");

namespace {

const char kCaption[] = "プロセッサ情報";
const int kFieldSize = 32;
const double kThousand = 1000.0;

ProcessorWindowRecord& State()
{
    return App().processorWindow;
}

// Back to the closed state (the window itself is not touched).
void ForgetProcessorWindow()
{
    ProcessorWindowRecord& state = State();
    state.module = nullptr;
    state.owner = nullptr;
    state.dialog = nullptr;
    state.smallIcon.Reset();
    state.largeIcon.Reset();
}

void SetField(HWND dialog, int id, const char* format, ...) __attribute__((format(printf, 3, 4)));

void SetField(HWND dialog, int id, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const FixedLine<kFieldSize> text(format, args);
    va_end(args);
    SetDlgItemTextA(dialog, id, text.Text());
}

void FillFlags(HWND dialog, int baseId, const char* const* names, uint32_t bits)
{
    for (int i = 0; i < 32; ++i) {
        SetDlgItemTextA(dialog, baseId + i, names[i]);
        EnableWindow(GetDlgItem(dialog, baseId + i), (bits >> i) & 1);
    }
}

INT_PTR OnInitDialog(HWND dialog)
{
    ProcessorWindowRecord& state = State();
    state.dialog = dialog;
    SetWindowTextA(dialog, kCaption);
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state.smallIcon.Get()));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state.largeIcon.Get()));
    const ProcessorState& cpu = App().cpu;
    // The brand is no formatted number: it is shown whole, all its 48 bytes
    // when no zero ends it.
    char brand[kBrandSize + 1];
    CopyWholeCharacters(brand, cpu.brand, kBrandSize);
    SetDlgItemTextA(dialog, IDC_CPU_BRAND, brand);
    SetField(dialog, IDC_CPU_FAMILY, "%X", cpu.info.family);
    SetField(dialog, IDC_CPU_MODEL, "%X", cpu.info.model);
    SetField(dialog, IDC_CPU_STEPPING, "%X", cpu.info.stepping);
    const double ghz = static_cast<double>(CIX86::MeasureClock()) / kThousand / kThousand / kThousand;
    SetField(dialog, IDC_CPU_CLOCK, "%.2fGHz", ghz);
    SetField(dialog, IDC_CPU_RATIO, "x%.1f", cpu.info.ratio);
    SetField(dialog, IDC_CPU_VOLTAGE, "%.2fV - %.2fV", cpu.info.vidMin, cpu.info.vidMax);
    FillFlags(dialog, IDC_CPU_EDX_BASE, kEdxFlagNames, cpu.info.edxFeatures);
    FillFlags(dialog, IDC_CPU_ECX_BASE, kEcxFlagNames, cpu.info.ecxFeatures);
    return TRUE;
}

INT_PTR CALLBACK ProcessorWindowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return OnInitDialog(dialog);
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL)  // the close box
            return FALSE;
        DestroyWindow(dialog);
        return TRUE;
    case WM_KEYDOWN:
        // The display window's modal loop does no dialog navigation for this
        // modeless window, so Escape arrives as a plain key.
        if (wParam != VK_ESCAPE)
            return FALSE;
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY: ForgetProcessorWindow(); return FALSE;
    default: return FALSE;
    }
}

}  // namespace

void OpenProcessorWindow(HWND owner, HINSTANCE module)
{
    ProcessorWindowRecord& state = State();
    if (state.dialog)
        return;
    state.smallIcon.Reset(LoadSizedIcon(module, IDI_CPU_SMALL, SM_CXSMICON, SM_CYSMICON));
    state.largeIcon.Reset(LoadSizedIcon(module, IDI_CPU_LARGE, SM_CXICON, SM_CYICON));
    HWND dialog = CreateDialogParamA(module, MAKEINTRESOURCEA(IDD_PROCESSOR), owner,
                                     ProcessorWindowProc, 0);
    if (!dialog) {
        ForgetProcessorWindow();
        return;
    }
    state.module = module;
    state.owner = owner;
    ShowWindow(dialog, SW_SHOW);
}

HWND ProcessorWindow()
{
    ProcessorWindowRecord& state = State();
    return state.dialog;
}
