#include "sensors/csensor.h"

#include <sddl.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "driver/protocol.h"
#include "foundation/fixedline.h"
#include "foundation/userio.h"
#include "sensors/seams.h"

namespace {

const uint16_t kDummyVendor = 0x1934;  // Fintek
const uint16_t kDummyChip = 0x0541;    // F71882FG
const uint16_t kResetFan = 0xFFFF;
const int kLineSize = 64;

// Dummy readings: 1..227 counts, 1..40 degrees, 1..1023 counts, 1..100.
const int kDummyVoltSpan = 227;
const int kDummyTempSpan = 40;
const int kDummyFanSpan = 1023;
const int kDummyPwmSpan = 100;


DWORD WINAPI CycleThread(LPVOID parameter)
{
    CSENSOR::Cycle(static_cast<ReadRequest*>(parameter));
    return 0;
}

// Seeded with the time in seconds, so cycles within one second agree.
void Fabricate(SensorBlock* block)
{
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (int i = 0; i < kVoltCount; i++)
        block->volt[i] = static_cast<uint16_t>(std::rand() % kDummyVoltSpan + 1);
    for (int i = 0; i < kTempCount; i++)
        block->temp[i] = static_cast<uint16_t>(std::rand() % kDummyTempSpan + 1);
    for (int i = 0; i < kFanCount; i++) {
        block->fan[i] = static_cast<uint16_t>(std::rand() % kDummyFanSpan + 1);
        block->pwm[i] = static_cast<uint16_t>(std::rand() % kDummyPwmSpan + 1);
    }
}

// Absence markers fold as plain numbers; the smallest fan count is the
// highest speed.
void Fold(const SensorBlock& now, SensorBlock* most)
{
    for (int i = 0; i < kReadingCount; i++) {
        const bool fan = i >= kFanSlot && i < kPwmSlot;
        if (fan ? now.word[i] < most->word[i] : now.word[i] > most->word[i])
            most->word[i] = now.word[i];
    }
}

void Line(const char* format, ...) __attribute__((format(printf, 1, 2)));

void Line(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const FixedLine<kLineSize> line(format, args);
    va_end(args);
    DebugLine(line.Text());
}

}  // namespace

// A block in which no input has a value.
static SensorBlock NoValueBlock()
{
    SensorBlock block = {};
    for (uint16_t& t : block.temp)
        t = kNoTemp;
    for (uint16_t& fan : block.fan)
        fan = kNoFan;
    for (uint16_t& pwm : block.pwm)
        pwm = kNoPwm;
    return block;
}

SensorBlock ResetBlock()
{
    SensorBlock block = {};
    for (uint16_t& fan : block.fan)
        fan = kResetFan;
    return block;
}

// Definition order is construction order: the lock before the channels,
// the sensor set last so that it closes first at exit.
NamedLock CSENSOR::readLock;
CF718X CSENSOR::chip;
CIX86 CSENSOR::cpu;
ChipIdent CSENSOR::identity = {};
SensorBlock CSENSOR::current = ResetBlock();
SensorBlock CSENSOR::maximum = ResetBlock();
CoreTable CSENSOR::cores = {};
HandleOwner CSENSOR::worker;
int CSENSOR::failedReads = 0;
int CSENSOR::unreadCycles = 0;
bool CSENSOR::everRead = false;
bool CSENSOR::lastRead = false;
HandleOwner CSENSOR::busMutex;
HandleOwner CSENSOR::handshake;

const char kBusMutexName[] = "Global\\Access_ISABUS.HTP.Method";

namespace {
// Monitors of other users and sessions may wait for the mutex and release
// it; the system and administrators hold every right (its maker has its
// own handle with every right anyway).
const char kBusMutexAccess[] = "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)";

HANDLE OpenBusMutex()
{
    SECURITY_ATTRIBUTES shared = {sizeof shared, nullptr, FALSE};
    ConvertStringSecurityDescriptorToSecurityDescriptorA(kBusMutexAccess, SDDL_REVISION_1,
                                                         &shared.lpSecurityDescriptor, nullptr);
    HANDLE mutex = CreateMutexA(shared.lpSecurityDescriptor ? &shared : nullptr, FALSE, kBusMutexName);
    const DWORD error = GetLastError();
    LocalFree(shared.lpSecurityDescriptor);
    SetLastError(error);
    if (!mutex && GetLastError() == ERROR_ACCESS_DENIED)  // made by another user
        mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kBusMutexName);
    return mutex;
}

CSENSOR sensorSet;
}

CSENSOR::~CSENSOR()
{
    Close();
}

uint32_t CSENSOR::Open(int dummy)
{
    uint32_t status = 0;
    if (!chip.HasHandle() && !chip.Borrowing() && chip.OpenDevice() && !cpu.HasHandle() &&
        !cpu.Borrowing()) {
        cpu.Borrow(chip);
        if (!chip.Request(CTL_STATUS, nullptr, 0, &status, sizeof(status)))
            status = 0;
        if (!busMutex.Valid())
            busMutex.Reset(OpenBusMutex());
        if (status & VK_STATUS_CHIP) {
            ChipIdent reply = {};
            if (chip.Request(CTL_CHIPID, nullptr, 0, &reply, sizeof(reply)))
                identity = reply;
            // Also when the identity could not be read: cycles will run, and
            // they must not overlap.
            readLock.Create("READ");
        }
    }
    if (!(status & VK_STATUS_CHIP) && dummy) {
        readLock.Create("READ");
        identity.vendor = kDummyVendor;
        identity.chip = kDummyChip;
        status |= VK_STATUS_CHIP;
    }
    return status;
}

bool CSENSOR::CheckVersion()
{
    uint16_t version = 0;
    return chip.Request(CTL_VERSION, nullptr, 0, &version, sizeof(version)) &&
           version == VK_DRIVER_VERSION;
}

bool CSENSOR::Start(ReadRequest* request)
{
    if (request->sync) {
        Cycle(request);
        return true;
    }
    // One handshake event for every tick, made at the first. It resets
    // itself when the wait below sees the worker's signal, so it is clear
    // again for the next tick without another call.
    if (!handshake.Valid())
        handshake.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!handshake.Valid())
        return false;
    request->event = handshake.Get();
    HANDLE thread = CallsOf<SensorCalls>().startCycleThread(CycleThread, request);
    if (!thread) {
        request->event = nullptr;  // nobody will ever signal it
        return false;
    }
    worker.Reset(thread);
    WaitForSingleObject(handshake.Get(), INFINITE);
    request->event = nullptr;
    return true;
}

// Called under READ. The wait itself happens without READ, so the window
// thread never waits for another monitor, only for this cycle's request;
// and the bus is not kept while READ is waited for.
bool CSENSOR::TakeBus()
{
    if (!busMutex.Valid())
        return true;  // no mutex to share (no rights to it): read without
    const DWORD waited = WaitForSingleObject(busMutex.Get(), 0);
    if (waited != WAIT_TIMEOUT)
        return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    readLock.Leave();
    const DWORD later = WaitForSingleObject(busMutex.Get(), kBusWaitMs);
    const bool taken = later == WAIT_OBJECT_0 || later == WAIT_ABANDONED;
    // The bus is free now, but not kept while READ is entered again: once
    // READ is back, the bus is asked once more, without waiting.
    if (taken)
        ReleaseMutex(busMutex.Get());
    readLock.Enter();
    const DWORD again = taken ? WaitForSingleObject(busMutex.Get(), 0) : WAIT_TIMEOUT;
    return again == WAIT_OBJECT_0 || again == WAIT_ABANDONED;
}

void CSENSOR::Cycle(ReadRequest* request)
{
    readLock.Enter();
    const ReadRequest own = *request;  // the caller's frame is gone after the signal
    if (!own.sync)
        SetEvent(own.event);

    bool fresh = true;
    if (own.dummy) {
        Fabricate(&current);
    } else if (!TakeBus()) {
        // Another monitor is at the chip: this cycle invents nothing and
        // folds nothing; the next one tries again.
        fresh = false;
    } else {
        SensorBlock reply;
        fresh = chip.Request(CTL_READBLOCK, nullptr, 0, &reply, sizeof(reply)) != 0;
        if (busMutex.Valid())
            ReleaseMutex(busMutex.Get());
        if (fresh) {
            current = reply;
            failedReads = 0;
        } else {
            ++failedReads;
        }
    }
    NoteCycle(fresh);
    if (own.cores)
        cpu.ReadCores(&cores, own.sync != 0);  // a worker ends right after: its mask goes with it
    else
        cores = CoreTable{};
    if (fresh)  // the maxima keep what was read before an outage
        Fold(current, &maximum);
    readLock.Leave();

    if (own.window)
        PostMessageA(own.window, WM_COMMAND, own.wParam, own.lParam);
}

// A cycle that read nothing keeps the last values shown, but only for a
// while: one failed request, or a few cycles with the bus busy. After
// that, and before anything was read at all (never the cleared block),
// the window shows no values rather than old ones as if they were current.
void CSENSOR::NoteCycle(bool fresh)
{
    lastRead = fresh;
    if (fresh) {
        if (!everRead)
            maximum = ResetBlock();  // what the first reading folds into
        unreadCycles = 0;
        everRead = true;
        return;
    }
    ++unreadCycles;
    if (!everRead)
        maximum = NoValueBlock();
    if (!everRead || failedReads > 1 || unreadCycles >= kUnreadCyclesShown)
        current = NoValueBlock();
}

bool CSENSOR::LastCycleRead()
{
    readLock.Enter();
    const bool read = lastRead;
    readLock.Leave();
    return read;
}

void CSENSOR::ResetMaximum()
{
    readLock.Enter();
    maximum = current;
    for (uint32_t i = 0; i < cores.count && i < static_cast<uint32_t>(kCoreSlots); i++) {
        if (cores.core[i].valid)
            cores.core[i].peak = cores.core[i].temp;
    }
    readLock.Leave();
}

void CSENSOR::SetTjMax(int value)
{
    readLock.Enter();
    for (CoreEntry& entry : cores.core)
        entry.tjmax = value;
    readLock.Leave();
}

void CSENSOR::Close()
{
    // A worker started by the last tick may still be inside its cycle; the
    // device and the lock must outlive it.
    if (worker.Valid()) {
        WaitForSingleObject(worker.Get(), INFINITE);
        worker.Reset();
    }
    readLock.Enter();
    chip.CloseChannel();
    cpu.CloseChannel();
    current = ResetBlock();
    maximum = ResetBlock();
    cores = CoreTable{};
    identity = ChipIdent{};
    failedReads = 0;
    unreadCycles = 0;
    everRead = false;
    lastRead = false;
    busMutex.Reset();
    handshake.Reset();
    readLock.Leave();
    readLock.Delete();
}

void CSENSOR::DumpReadings(const SensorBlock& block)
{
    for (int i = 0; i < kVoltCount; i++) {
        if (block.volt[i] != kNoVolt)
            Line("%-8s : %2.2f V", kVoltNames[i], chip.Volts(i, block.volt[i]));
    }
    for (int i = 0; i < kTempCount; i++) {
        if (block.temp[i] != kNoTemp)
            Line("%s TEMP : %d C", kTempNames[i], block.temp[i]);
    }
    for (int i = 0; i < kFanCount; i++) {
        if (CF718X::FanTurning(block.fan[i]))
            Line("%s FAN  : %d rpm", kFanNames[i], static_cast<int>(chip.FanSpeed(block.fan[i])));
    }
    for (int i = 0; i < kFanCount; i++) {
        if (block.pwm[i] != kNoPwm)
            Line("%s PWM  : %d %%", kFanNames[i], CF718X::DutyPercent(block.pwm[i]));
    }
}

void CSENSOR::DumpCores(const CoreTable& table)
{
    for (uint32_t i = 0; i < table.count && i < static_cast<uint32_t>(kCoreSlots); i++) {
        const CoreEntry& entry = table.core[i];
        if (entry.valid)
            Line("CORE %02d  : %d C (%d C)", static_cast<int>(i), entry.temp, entry.peak);
    }
}

void CSENSOR::CopyBlocks(SensorBlock* currentCopy, SensorBlock* maximumCopy)
{
    readLock.Enter();
    if (currentCopy)
        *currentCopy = current;
    if (maximumCopy)
        *maximumCopy = maximum;
    readLock.Leave();
}

void CSENSOR::CopyCores(CoreTable* table)
{
    readLock.Enter();
    *table = cores;
    readLock.Leave();
}

ChipIdent CSENSOR::Identity()
{
    return identity;
}

void SetSensorCalls(const SensorCalls& calls)
{
    CallsOf<SensorCalls>() = calls;
    CSENSOR::cpu.ForgetSystemMask();
}
