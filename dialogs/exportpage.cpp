// The export page (tab "外部出力"): the HTTP endpoint (switch, port, the
// address it listens on, who else may connect, the token, which the edit
// never shows) and the Prometheus file. Stored only when the frame asks;
// the window's thread then moves the endpoint as told.

#include <windows.h>

#include "app/appstate.h"
#include "app/exporter.h"
#include "dialogs/pages.h"
#include "dialogs/pickers.h"
#include "foundation/httpparse.h"
#include "resources/resource.h"

namespace {

const char kAddressNote[] = "アドレスは 192.168.1.0/24 や 10.0.0.5 の形で: 保存されません";
const char kFileNote[] = "名前は .prom で終わること: ファイルは書かれません";
const char kFileTitle[] = "Prometheusファイル";
const char kFileFilter[] = "Prometheusファイル (*.prom)\0*.prom\0";
const int kMaxPort = 0xFFFF;
// What the token's edit holds while a token is set: the token itself never
// enters a control, where another program could read it. Spaces are never
// part of a bearer token, so this text cannot be one typed in.
const char kTokenKept[] = "        ";

bool AddressesValid(HWND page)
{
    char bind[kExportBindSize] = "";
    char allow[kPathSize] = "";
    uint32_t address = 0;
    GetDlgItemTextA(page, IDC_EXPORT_BIND, bind, sizeof bind);
    GetDlgItemTextA(page, IDC_EXPORT_ALLOW, allow, sizeof allow);
    return ParseIpv4(bind, &address) && AllowListValid(allow);
}

void ShowNotes(HWND page)
{
    char name[kPathSize] = "";
    GetDlgItemTextA(page, IDC_EXPORT_PROM, name, sizeof name);
    SetDlgItemTextA(page, IDC_EXPORT_NOTE, AddressesValid(page) ? "" : kAddressNote);
    SetDlgItemTextA(page, IDC_EXPORT_PROM_NOTE, !name[0] || PromFileAllowed(name) ? "" : kFileNote);
}

INT_PTR InitExportPage(HWND page)
{
    const ExportSettings& e = App().exports;
    CheckBox(page, IDC_EXPORT_HTTP, e.http);
    SetDlgItemInt(page, IDC_EXPORT_PORT, static_cast<UINT>(e.port), FALSE);
    SetDlgItemTextA(page, IDC_EXPORT_BIND, e.bind);
    SetDlgItemTextA(page, IDC_EXPORT_ALLOW, e.allowFrom);
    SendDlgItemMessageA(page, IDC_EXPORT_TOKEN, EM_LIMITTEXT, sizeof e.token - 1, 0);
    SetDlgItemTextA(page, IDC_EXPORT_TOKEN, e.token[0] ? kTokenKept : "");
    SetDlgItemTextA(page, IDC_EXPORT_PROM, e.promFile);
    ShowNotes(page);
    return TRUE;
}

// Addresses that are not addresses keep the stored ones.
void Store(HWND page)
{
    ExportSettings& e = App().exports;
    e.http = Checked(page, IDC_EXPORT_HTTP);
    BOOL ok = FALSE;
    const UINT port = GetDlgItemInt(page, IDC_EXPORT_PORT, &ok, FALSE);
    if (ok && port > 0 && port <= static_cast<UINT>(kMaxPort))
        e.port = static_cast<int>(port);
    if (AddressesValid(page)) {
        GetDlgItemTextA(page, IDC_EXPORT_BIND, e.bind, sizeof e.bind);
        GetDlgItemTextA(page, IDC_EXPORT_ALLOW, e.allowFrom, sizeof e.allowFrom);
    }
    char token[sizeof e.token] = "";
    GetDlgItemTextA(page, IDC_EXPORT_TOKEN, token, sizeof token);
    if (lstrcmpA(token, kTokenKept) != 0)
        lstrcpynA(e.token, token, sizeof e.token);
    GetDlgItemTextA(page, IDC_EXPORT_PROM, e.promFile, sizeof e.promFile);
}

INT_PTR OnCommand(HWND page, WORD id, WORD code)
{
    char path[kPathSize] = "";
    switch (id) {
    case kStorePage: Store(page); break;
    case IDC_EXPORT_PROM_FILE:
        GetDlgItemTextA(page, IDC_EXPORT_PROM, path, sizeof path);
        if (ChooseFileName(page, kFileTitle, kFileFilter, path, false))
            SetDlgItemTextA(page, IDC_EXPORT_PROM, path);
        break;
    case IDC_EXPORT_BIND:
    case IDC_EXPORT_ALLOW:
    case IDC_EXPORT_PROM:
        if (code == EN_CHANGE)
            ShowNotes(page);
        break;
    default: break;
    }
    return TRUE;
}

}  // namespace

INT_PTR CALLBACK ExportPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: return InitExportPage(page);
    case WM_COMMAND: return OnCommand(page, LOWORD(wParam), HIWORD(wParam));
    default: return FALSE;
    }
}
