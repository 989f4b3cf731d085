#include "app/exporter.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "app/alarms.h"
#include "app/appstate.h"
#include "app/logname.h"
#include "app/rows.h"
#include "foundation/httpparse.h"
#include "foundation/userio.h"
#include "foundation/win32ver.h"
#include "sensors/csensor.h"
#include "sensors/cf718x.h"

static_assert(kExportTextSize == kTextSize && kExportPathSize == kPathSize && kExportRows == kRowCount,
              "the snapshot holds what the settings hold");

namespace {

const char kEndpointError[] = "HTTPエンドポイント開始エラーが発生しました。";
const char kFileError[] = "Promファイル書込エラーが発生しました。";
const char kPromExtension[] = ".prom";
const char kTemporaryPrefix[] = "vkp";  // GetTempFileName's name ends in .tmp, which the textfile collector skips

#ifdef _WIN64
const char kArchitecture[] = "x64";
#else
const char kArchitecture[] = "x86";  // the release build
#endif

enum Document { kMetrics, kJson, kDocumentCount };
const HttpDocument kDocuments[kDocumentCount] = {
    {"/metrics", "text/plain; version=0.0.4; charset=utf-8"},
    {"/data.json", "application/json; charset=utf-8"},
};

ExportSnapshot Snapshot(Exporter& e)
{
    e.lock.Enter();
    const ExportSnapshot copy = e.snapshot;
    e.lock.Leave();
    return copy;
}

// On the server's thread.
bool Body(void* context, int document, std::string* body)
{
    const ExportSnapshot s = Snapshot(*static_cast<Exporter*>(context));
    const ULONGLONG now = GetTickCount64();
    *body = document == kMetrics ? FormatMetrics(s, now) : FormatJson(s, now);
    return true;
}

void LoadVersion(char* version)
{
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    WIN32VER resource;
    lstrcpynA(version, resource.Load(path) ? resource.QueryString("FileVersion") : "", kExportTextSize);
}

ExportValue Value(AppState& a, int row, int kind, double value)
{
    ExportValue v = {};
    v.kind = kind;
    v.item = RowAt(row).item;
    lstrcpynA(v.label, RowLabel(a, row), kExportTextSize);
    v.value = value;
    v.alarm = RowAlarm(row) ? 1 : 0;
    return v;
}

// The shown rows' values, none for a row without one.
void TakeValues(AppState& a, const SensorBlock& b, ExportSnapshot& s)
{
    for (int row = 0; row < kRowCount; ++row) {
        if (!*RowShown(a, row))
            continue;
        const Row r = RowAt(row);
        const int i = r.item;
        const int kind = r.group == kTempRows ? kExportTemp : r.group == kFanRows ? kExportFan : kExportVolt;
        s.alarms[s.alarmCount++] = Value(a, row, kind, 0);
        if (r.group == kTempRows && b.temp[i] != kNoTemp)
            s.values[s.valueCount++] = Value(a, row, kExportTemp, b.temp[i]);
        if (r.group == kFanRows && CF718X::FanTurning(b.fan[i]))
            s.values[s.valueCount++] = Value(a, row, kExportFan, CSENSOR::chip.FanSpeed(b.fan[i]));
        if (r.group == kFanRows && b.pwm[i] != kNoPwm)
            s.values[s.valueCount++] = Value(a, row, kExportDuty, b.pwm[i] / 255.0);
        if (r.group == kVoltRows && b.volt[i] != kNoVolt)
            s.values[s.valueCount++] = Value(a, row, kExportVolt, CSENSOR::chip.Volts(i, b.volt[i]));
    }
}

void TakeCores(AppState& a, const CoreTable& cores, ExportSnapshot& s)
{
    if (!a.coreTemp.enable || !a.cpu.present)
        return;
    const int count = cores.count < static_cast<uint32_t>(kCoreSlots) ? static_cast<int>(cores.count) : kCoreSlots;
    for (int i = 0; i < count; ++i)
        if (cores.core[i].valid)
            s.cores[s.coreCount++] = ExportCore{i, static_cast<double>(cores.core[i].temp), CoreAlarm(i) ? 1 : 0};
}

bool Wanted(const AppState& a)
{
    return a.exporter.server.Running() || a.exports.promFile[0];
}

// The file's whole text beside it, then in its place: a reader sees the
// old file or the new one, never a part. The temporary name is one made
// anew, so that a file already there, whoever's it is, is never written
// over or deleted.
bool ReplaceFile(const char* path, const std::string& text)
{
    std::string folder(path, FolderLength(path));
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(folder.empty() ? "." : folder.c_str(), kTemporaryPrefix, 0, temporary))
        return false;
    FileOwner file(
        CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const bool whole = file.Valid() &&
                       WriteFile(file.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                       written == text.size();
    file.Reset();
    if (whole && MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING))
        return true;
    DeleteFileA(temporary);
    return false;
}

bool WritePromFile(const AppState& a, const char* name, const std::string& text)
{
    if (!PromFileAllowed(name))
        return false;
    SYSTEMTIME today;
    GetLocalTime(&today);
    char path[kPathSize];
    return ExpandLogName(name, a.settingsPath, today, path) && LogPathSafe(path) && ReplaceFile(path, text);
}

// The keys as they stand: the settings dialog's thread stores them under
// UPDATE while this thread reads on.
ExportSettings CurrentSettings()
{
    AppState& a = App();
    a.updateLock.Enter();
    const ExportSettings s = a.exports;
    a.updateLock.Leave();
    return s;
}

bool SameEndpoint(const ExportSettings& x, const ExportSettings& y)
{
    return x.http == y.http && x.port == y.port && std::strcmp(x.bind, y.bind) == 0 &&
           std::strcmp(x.allowFrom, y.allowFrom) == 0 && std::strcmp(x.token, y.token) == 0;
}

// A list that fills its whole buffer may have been cut inside its last
// entry (by the settings file's reader or the dialog), and a cut range can
// be a wider one: 192.168.1.0/24 read as 192.168.1.0/2. That entry counts
// for nothing.
std::string WholeEntries(const char* list)
{
    const std::string text = list;
    if (text.size() + 1 < static_cast<size_t>(kExportPathSize))
        return text;
    const size_t last = text.find_last_of(",; \t");
    return last == std::string::npos ? std::string() : text.substr(0, last);
}

}  // namespace

bool PromFileAllowed(const char* name)
{
    const size_t length = std::strlen(name);
    const size_t extension = sizeof kPromExtension - 1;
    return length > extension && lstrcmpiA(name + length - extension, kPromExtension) == 0 && LogPathSafe(name);
}

void StartExport(HWND window)
{
    Exporter& e = App().exporter;
    e.server.Stop();
    e.lock.Enter();
    e.snapshot = ExportSnapshot();
    e.lock.Leave();
    const ExportSettings s = CurrentSettings();
    e.endpoint = s;
    if (!s.http && !s.promFile[0])
        return;
    LoadVersion(e.version);
    if (!s.http) {
        e.reported[0] = '\0';
        return;
    }
    char where[sizeof e.reported];
    std::snprintf(where, sizeof where, "%s:%d", s.bind, s.port);
    uint32_t address = 0;
    int error = 1;
    if (ParseIpv4(s.bind, &address) && s.port > 0 && s.port <= 0xFFFF) {
        const HttpEndpoint endpoint = {address, static_cast<uint16_t>(s.port), WholeEntries(s.allowFrom), s.token};
        error = e.server.Start(endpoint, kDocuments, kDocumentCount, Body, &e);
    }
    if (!error || std::strcmp(e.reported, where) == 0) {
        if (!error)
            e.reported[0] = '\0';
        return;
    }
    lstrcpynA(e.reported, where, sizeof e.reported);
    ShowError(window, kEndpointError);
}

void StopExport()
{
    App().exporter.server.Stop();
}

void ApplyExport(HWND window)
{
    Exporter& e = App().exporter;
    const ExportSettings s = CurrentSettings();
    if (!SameEndpoint(s, e.endpoint))
        StartExport(window);
    else if (s.promFile[0] && !e.version[0])
        LoadVersion(e.version);  // a file asked for since the window was made
}

void RecordExport(const SensorBlock& current, const CoreTable& cores, bool read)
{
    AppState& a = App();
    if (!Wanted(a))
        return;
    Exporter& e = a.exporter;
    ExportSnapshot s = {};
    TakeValues(a, current, s);
    TakeCores(a, cores, s);
    // Only this thread writes the snapshot: its counters are read unlocked.
    s.readings = e.snapshot.readings + 1;
    s.failed = e.snapshot.failed + (read ? 0 : 1);
    s.lastRead = read ? GetTickCount64() : e.snapshot.lastRead;
    lstrcpynA(s.version, e.version, kExportTextSize);
    s.architecture = kArchitecture;
    lstrcpynA(s.chip, a.chip.chipName ? a.chip.chipName : "", kExportTextSize);
    e.lock.Enter();
    e.snapshot = s;
    e.lock.Leave();
}

void WriteExportFile(HWND window)
{
    AppState& a = App();
    Exporter& e = a.exporter;
    const ExportSettings s = CurrentSettings();
    if (!s.promFile[0])
        return;
    if (std::strcmp(e.failedFile, s.promFile) != 0)
        e.fileFailed = 0;  // another name: its failure is news
    if (WritePromFile(a, s.promFile, FormatMetrics(Snapshot(e), GetTickCount64())) || e.fileFailed)
        return;
    e.fileFailed = 1;
    lstrcpynA(e.failedFile, s.promFile, kPathSize);
    ShowError(window, kFileError);
}
