#pragma once
// The readings published for other programs: [Export] of the settings file,
// the HTTP endpoint (/metrics, /data.json) that lives as long as the main
// window, and the Prometheus file written after every reading. With the
// keys at their defaults none of it does anything.

#include <windows.h>

#include "app/export.h"
#include "foundation/httpserver.h"
#include "foundation/namedlock.h"
#include "sensors/sensortypes.h"

const int kDefaultExportPort = 9185;
const int kExportBindSize = 64;
const int kExportTokenSize = 128;
const int kExportPathSize = 1024;

// [Export]
struct ExportSettings {
    int http;                         // the endpoint listens
    int port;
    char bind[kExportBindSize];       // an IPv4 address of this machine, 0.0.0.0 for all
    char allowFrom[kExportPathSize];  // who besides loopback may connect
    char token[kExportTokenSize];     // empty: no authorization asked
    char promFile[kExportPathSize];   // empty: no file
};

// What the endpoint answers from: the window's thread puts a snapshot here
// after each reading; the server's thread copies it out. Neither holds the
// lock for longer than a copy.
struct Exporter {
    HttpServer server;
    SectionLock lock;
    ExportSnapshot snapshot{};  // under lock
    ExportSettings endpoint{};  // the keys the endpoint was last started with
    char version[kExportTextSize]{};
    // The endpoint whose failure to start was said, so that a window made
    // anew with the same settings does not say it again.
    char reported[kExportBindSize + 16]{};
    int fileFailed{};  // the file's failure was said; until the settings change
    char failedFile[kExportPathSize]{};
};

// When the window is made and ends: starts the endpoint (when asked for),
// saying once when it cannot; stops it.
void StartExport(HWND window);
void StopExport();
// After the settings dialog stored its pages, on the window's thread:
// starts, stops or moves the endpoint when its keys changed; unchanged keys
// leave it and its counters alone.
void ApplyExport(HWND window);
// Under UPDATE after a new reading: takes the snapshot.
void RecordExport(const SensorBlock& current, const CoreTable& cores, bool read);
// After a new reading, on the window's thread with no lock held: writes
// the Prometheus file, whole or not at all, saying once when it cannot.
void WriteExportFile(HWND window);
// The file name as the settings hold it is one the program writes: it
// ends in ".prom" and names a plain file on this machine.
bool PromFileAllowed(const char* name);
