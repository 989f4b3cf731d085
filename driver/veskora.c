/* veskora.sys: the development stand-in for the hardware driver behind
   \\.\veskora. It answers the program's eight requests with exactly their
   buffer sizes. What it answers is a scenario kept in the registry under the
   service's Parameters key, read again on every request so a test can change
   a value and see the next request follow it; without a scenario it
   simulates an F71882FG on a desktop board and a Core 2 Quad Q9650.

   Under Wine the driver runs in user mode inside winedevice.exe: CPUID works,
   port I/O and model-specific registers do not, so everything below the
   request layer is simulated. */

#include <ntifs.h>

#include "driver/protocol.h"

NTSYSAPI NTSTATUS NTAPI ZwQueryInformationThread(HANDLE thread, THREADINFOCLASS infoClass,
                                                 PVOID info, ULONG size, PULONG returned);
NTSYSAPI NTSTATUS NTAPI ZwQuerySystemInformation(ULONG infoClass, PVOID info, ULONG size,
                                                 PULONG returned);

typedef struct VkThreadBasicInformation {
    NTSTATUS exitStatus;
    PVOID teb;
    CLIENT_ID clientId;
    KAFFINITY affinityMask;
    KPRIORITY priority;
    KPRIORITY basePriority;
} VkThreadBasicInformation;

#define VK_BLOCK_SIZE 40
#define VK_BLOCK_WORDS (VK_BLOCK_SIZE / 2)
#define VK_BRAND_SIZE 48
#define VK_REG_BUFFER 256 /* largest registry value read: the brand, cut to 48 characters */

/* ------------------------------------------------------------------ */
/* The scenario in the registry                                        */

static WCHAR parametersName[512];
static UNICODE_STRING parametersPath;

static void RememberParametersPath(const UNICODE_STRING* servicePath)
{
    static const WCHAR suffix[] = L"\\Parameters";
    USHORT chars = servicePath->Length / sizeof(WCHAR);
    USHORT room = (USHORT)(sizeof(parametersName) / sizeof(WCHAR) - sizeof(suffix) / sizeof(WCHAR));
    USHORT i;

    if (chars > room)
        chars = room;
    for (i = 0; i < chars; i++)
        parametersName[i] = servicePath->Buffer[i];
    for (i = 0; i < sizeof(suffix) / sizeof(WCHAR); i++)
        parametersName[chars + i] = suffix[i];
    RtlInitUnicodeString(&parametersPath, parametersName);
}

/* Null when the key is absent: every value then takes its default. */
static HANDLE OpenScenario(void)
{
    OBJECT_ATTRIBUTES attributes;
    HANDLE key = NULL;

    InitializeObjectAttributes(&attributes, &parametersPath, OBJ_CASE_INSENSITIVE | OBJ_KERNEL_HANDLE,
                               NULL, NULL);
    if (!NT_SUCCESS(ZwOpenKey(&key, KEY_QUERY_VALUE, &attributes)))
        return NULL;
    return key;
}

/* Copies at most size bytes of a value of the given type; the number of
   bytes the value holds, or 0 when it is absent or of another type. */
static ULONG QueryValue(HANDLE key, const WCHAR* name, ULONG type, void* data, ULONG size)
{
    UCHAR buffer[sizeof(KEY_VALUE_PARTIAL_INFORMATION) + VK_REG_BUFFER];
    KEY_VALUE_PARTIAL_INFORMATION* value = (KEY_VALUE_PARTIAL_INFORMATION*)buffer;
    UNICODE_STRING valueName;
    ULONG returned = 0;
    ULONG length;

    if (!key)
        return 0;
    RtlInitUnicodeString(&valueName, name);
    if (!NT_SUCCESS(ZwQueryValueKey(key, &valueName, KeyValuePartialInformation, value, sizeof(buffer),
                                    &returned)) ||
        value->Type != type)
        return 0;
    length = value->DataLength < VK_REG_BUFFER ? value->DataLength : VK_REG_BUFFER;
    RtlCopyMemory(data, value->Data, length < size ? length : size);
    return length;
}

static ULONG DwordValue(HANDLE key, const WCHAR* name, ULONG fallback)
{
    ULONG value = 0;
    return QueryValue(key, name, REG_DWORD, &value, sizeof(value)) == sizeof(value) ? value : fallback;
}

/* ------------------------------------------------------------------ */
/* The live simulation: slow sine waves of time, so readings drift and  */
/* never jump.                                                          */

/* The DDK's clock calls read the kernel's shared page, which does not exist
   in user mode under Wine; the time-of-day information does. */
typedef struct VkTimeOfDay {
    LARGE_INTEGER bootTime;
    LARGE_INTEGER currentTime;
    LARGE_INTEGER timeZoneBias;
    ULONG timeZoneId;
    ULONG reserved;
} VkTimeOfDay;
#define VK_SYSTEM_TIME_OF_DAY 3

static ULONGLONG Milliseconds(void)
{
    VkTimeOfDay time;
    RtlZeroMemory(&time, sizeof(time));
    ZwQuerySystemInformation(VK_SYSTEM_TIME_OF_DAY, &time, sizeof(time), NULL);
    return (ULONGLONG)time.currentTime.QuadPart / 10000;
}

/* Quarter of a sine in 16 steps, scaled to 1000. */
static const SHORT kQuarterSine[17] = {0,   98,  195, 290, 383, 471, 556, 634, 707,
                                       773, 831, 882, 924, 957, 981, 995, 1000};

static LONG QuarterSine(ULONG x) /* x in 0..256 */
{
    ULONG step = x / 16, fraction = x % 16;
    if (step >= 16)
        return 1000;
    return kQuarterSine[step] + (kQuarterSine[step + 1] - kQuarterSine[step]) * (LONG)fraction / 16;
}

/* -1000..1000 over one period. */
static LONG Wave(ULONGLONG ms, ULONG periodMs, ULONG phaseMs)
{
    ULONG position = (ULONG)(((ms + phaseMs) % periodMs) * 1024 / periodMs);
    ULONG within = position % 256;

    switch (position / 256) {
    case 0: return QuarterSine(within);
    case 1: return QuarterSine(256 - within);
    case 2: return -QuarterSine(within);
    default: return -QuarterSine(256 - within);
    }
}

typedef struct Drift {
    USHORT base;
    USHORT amplitude;
    ULONG periodMs;
    ULONG phaseMs;
} Drift;

static USHORT Drifted(const Drift* drift, ULONGLONG ms)
{
    return (USHORT)(drift->base + (LONG)drift->amplitude * Wave(ms, drift->periodMs, drift->phaseMs) / 1000);
}

/* Voltage counts of 8 mV through the default dividers: +3.3V, VCORE 1.20 V,
   VIN2, VIN3, +5V, +12V, VIN6, VSB3V, VBAT. */
static const Drift kVoltDrift[9] = {
    {206, 1, 17000, 0},    {150, 2, 7000, 1000},  {112, 1, 23000, 0},
    {127, 1, 29000, 5000}, {119, 1, 19000, 0},    {136, 1, 31000, 3000},
    {69, 1, 37000, 0},     {206, 1, 41000, 9000}, {194, 1, 600000, 0},
};
/* CPU, PWR and SYS, whole degrees, between 30 and 60. */
static const Drift kTempDrift[3] = {
    {44, 8, 300000, 0}, {40, 5, 420000, 60000}, {34, 3, 540000, 120000},
};
/* Fan speeds in rpm for CPU, PWR and SYS; the fourth fan is absent. */
static const Drift kFanDrift[3] = {
    {1900, 300, 90000, 0}, {1300, 150, 130000, 20000}, {1000, 80, 170000, 40000},
};
/* Duty values on the 255 scale, kept clear of the absence marker 0x80;
   the fourth is absent. */
static const Drift kPwmDrift[3] = {
    {180, 40, 90000, 0}, {100, 15, 130000, 20000}, {230, 20, 170000, 40000},
};

#define VK_FAN_CONSTANT 1500000
#define VK_NO_FAN 0x0FFF
#define VK_NO_PWM 0x80

static void SimulateBlock(USHORT block[VK_BLOCK_WORDS])
{
    ULONGLONG ms = Milliseconds();
    int i;

    for (i = 0; i < 9; i++)
        block[i] = Drifted(&kVoltDrift[i], ms);
    for (i = 0; i < 3; i++)
        block[9 + i] = Drifted(&kTempDrift[i], ms);
    for (i = 0; i < 3; i++)
        block[12 + i] = (USHORT)(VK_FAN_CONSTANT / Drifted(&kFanDrift[i], ms));
    block[15] = VK_NO_FAN;
    for (i = 0; i < 3; i++)
        block[16 + i] = Drifted(&kPwmDrift[i], ms);
    block[19] = VK_NO_PWM;
}

/* The caller binds itself to one processor before it asks. Under Wine the
   request is served on winedevice's own thread, so the processor it runs on
   says nothing about the caller; the caller's affinity does. The lowest
   processor the calling thread may run on stands for "where it runs". */
static ULONG CallerProcessor(void)
{
    OBJECT_ATTRIBUTES attributes;
    CLIENT_ID client;
    VkThreadBasicInformation info;
    HANDLE thread;
    NTSTATUS status;
    ULONG processor = 0;

    client.UniqueProcess = NULL;
    client.UniqueThread = PsGetCurrentThreadId();
    InitializeObjectAttributes(&attributes, NULL, OBJ_KERNEL_HANDLE, NULL, NULL);
    if (!NT_SUCCESS(ZwOpenThread(&thread, THREAD_QUERY_LIMITED_INFORMATION, &attributes, &client)))
        return 0;
    RtlZeroMemory(&info, sizeof(info));
    status = ZwQueryInformationThread(thread, ThreadBasicInformation, &info, sizeof(info), NULL);
    ZwClose(thread);
    if (!NT_SUCCESS(status) || !info.affinityMask)
        return 0;
    while (!(info.affinityMask & ((KAFFINITY)1 << processor)))
        processor++;
    return processor;
}

/* Degrees below TjMax: 35 to 65, drifting with time, neighbouring
   processors apart by a few degrees. */
static LONG SimulateDts(ULONG processor)
{
    return 44 + 8 * Wave(Milliseconds(), 240000, 0) / 1000 + (LONG)((processor * 7) % 13);
}

/* ------------------------------------------------------------------ */
/* The eight requests                                                   */

static const char kDefaultBrand[VK_BRAND_SIZE] = "Intel(R) Core(TM)2 Quad CPU    Q9650  @ 3.00GHz";

#define VK_DEFAULT_STATUS (VK_STATUS_CHIP | VK_STATUS_DTS)
#define VK_DEFAULT_CHIPID 0x05411934u   /* Fintek F71882FG */
#define VK_DEFAULT_SIGNATURE 0x0001067Au /* family 6, model 0x17, stepping 10 */
#define VK_DEFAULT_EBX 0x00040800u       /* four logical processors, 64-byte lines */
#define VK_DEFAULT_ECX 0x0408E3FDu
#define VK_DEFAULT_EDX 0xBFEBFBFFu
#define VK_DEFAULT_PERF_STATUS 0x00020922u /* VID 0.85 V to 1.25 V, ratio 9 */
#define VK_DEFAULT_TJMAX 100

typedef NTSTATUS (*Handler)(HANDLE scenario, void* buffer);

static NTSTATUS AnswerStatus(HANDLE scenario, void* buffer)
{
    *(ULONG*)buffer = DwordValue(scenario, L"Status", VK_DEFAULT_STATUS);
    return STATUS_SUCCESS;
}

static NTSTATUS AnswerVersion(HANDLE scenario, void* buffer)
{
    *(USHORT*)buffer = (USHORT)DwordValue(scenario, L"Version", VK_DRIVER_VERSION);
    return STATUS_SUCCESS;
}

static NTSTATUS AnswerChipId(HANDLE scenario, void* buffer)
{
    *(ULONG*)buffer = DwordValue(scenario, L"ChipId", VK_DEFAULT_CHIPID);
    return STATUS_SUCCESS;
}

/* A Block value of any other size than 40 bytes is not a block: the
   simulation answers instead. */
static NTSTATUS AnswerBlock(HANDLE scenario, void* buffer)
{
    UCHAR block[VK_BLOCK_SIZE];
    if (QueryValue(scenario, L"Block", REG_BINARY, block, sizeof(block)) == sizeof(block))
        RtlCopyMemory(buffer, block, sizeof(block));
    else
        SimulateBlock((USHORT*)buffer);
    return STATUS_SUCCESS;
}

static void ReadBrand(HANDLE scenario, char brand[VK_BRAND_SIZE])
{
    WCHAR text[VK_REG_BUFFER / sizeof(WCHAR)];
    ULONG bytes, i;

    RtlZeroMemory(text, sizeof(text));
    bytes = QueryValue(scenario, L"Brand", REG_SZ, text, sizeof(text));
    if (!bytes) {
        RtlCopyMemory(brand, kDefaultBrand, VK_BRAND_SIZE);
        return;
    }
    RtlZeroMemory(brand, VK_BRAND_SIZE);
    for (i = 0; i < VK_BRAND_SIZE && i < bytes / sizeof(WCHAR) && text[i]; i++)
        brand[i] = (char)text[i];
}

static NTSTATUS AnswerCpuid(HANDLE scenario, void* buffer)
{
    VkCpuidBuffer* cpuid = (VkCpuidBuffer*)buffer;
    uint32_t leaf = cpuid->leaf;

    if (leaf == 1) {
        cpuid->eax = DwordValue(scenario, L"Signature", VK_DEFAULT_SIGNATURE);
        cpuid->ebx = VK_DEFAULT_EBX;
        cpuid->ecx = DwordValue(scenario, L"FeaturesEcx", VK_DEFAULT_ECX);
        cpuid->edx = DwordValue(scenario, L"FeaturesEdx", VK_DEFAULT_EDX);
    } else if (leaf >= 0x80000002u && leaf <= 0x80000004u) {
        char brand[VK_BRAND_SIZE];
        ReadBrand(scenario, brand);
        RtlCopyMemory(&cpuid->eax, brand + 16 * (leaf - 0x80000002u), 16);
    } else {
        __asm__ __volatile__("cpuid"
                             : "=a"(cpuid->eax), "=b"(cpuid->ebx), "=c"(cpuid->ecx), "=d"(cpuid->edx)
                             : "a"(leaf), "c"(0));
    }
    return STATUS_SUCCESS;
}

static NTSTATUS AnswerRegister(HANDLE scenario, void* buffer)
{
    VkRegBuffer* reg = (VkRegBuffer*)buffer;
    if (reg->reg != VK_READREG_PERF_STATUS)
        return STATUS_INVALID_PARAMETER; /* no other register is simulated */
    reg->low = 0;
    reg->value = DwordValue(scenario, L"PerfStatus", VK_DEFAULT_PERF_STATUS);
    return STATUS_SUCCESS;
}

static NTSTATUS AnswerDts(HANDLE scenario, void* buffer)
{
    LONG readout;
    if (QueryValue(scenario, L"Dts", REG_DWORD, &readout, sizeof(readout)) != sizeof(readout))
        readout = SimulateDts(CallerProcessor());
    *(LONG*)buffer = readout;
    return STATUS_SUCCESS;
}

static NTSTATUS AnswerTjMax(HANDLE scenario, void* buffer)
{
    *(LONG*)buffer = (LONG)DwordValue(scenario, L"TjMax", VK_DEFAULT_TJMAX);
    return STATUS_SUCCESS;
}

typedef struct Request {
    ULONG code;
    ULONG inSize;
    ULONG outSize;
    Handler answer;
} Request;

/* In the order of the FailMask bits. */
static const Request kRequests[] = {
    {CTL_STATUS, 0, 4, AnswerStatus},
    {CTL_VERSION, 0, 2, AnswerVersion},
    {CTL_CHIPID, 0, 4, AnswerChipId},
    {CTL_READBLOCK, 0, VK_BLOCK_SIZE, AnswerBlock},
    {CTL_CPUID, sizeof(VkCpuidBuffer), sizeof(VkCpuidBuffer), AnswerCpuid},
    {CTL_READREG, sizeof(VkRegBuffer), sizeof(VkRegBuffer), AnswerRegister},
    {CTL_DTS, 0, 4, AnswerDts},
    {CTL_TJMAX, 0, 4, AnswerTjMax},
};
#define VK_REQUEST_COUNT (sizeof(kRequests) / sizeof(kRequests[0]))
_Static_assert(VK_REQUEST_COUNT == 8, "the eight requests");

/* Answers one request; sizes are checked before the buffer is touched. */
static NTSTATUS Answer(ULONG code, ULONG inSize, ULONG outSize, void* buffer, ULONG_PTR* written)
{
    HANDLE scenario;
    NTSTATUS status;
    ULONG index;

    for (index = 0; index < VK_REQUEST_COUNT && kRequests[index].code != code; index++) {
    }
    if (index == VK_REQUEST_COUNT)
        return STATUS_INVALID_DEVICE_REQUEST;
    if (inSize != kRequests[index].inSize || outSize != kRequests[index].outSize || !buffer)
        return STATUS_INVALID_PARAMETER;

    scenario = OpenScenario();
    if (DwordValue(scenario, L"FailMask", 0) & (1u << index))
        status = STATUS_UNSUCCESSFUL;
    else
        status = kRequests[index].answer(scenario, buffer);
    if (scenario)
        ZwClose(scenario);
    if (NT_SUCCESS(status))
        *written = outSize;
    return status;
}

static NTSTATUS NTAPI DispatchControl(PDEVICE_OBJECT device, PIRP irp)
{
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG_PTR written = 0;
    NTSTATUS status;

    (void)device;
    status = Answer(stack->Parameters.DeviceIoControl.IoControlCode,
                    stack->Parameters.DeviceIoControl.InputBufferLength,
                    stack->Parameters.DeviceIoControl.OutputBufferLength,
                    irp->AssociatedIrp.SystemBuffer, &written);
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = written;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

static NTSTATUS NTAPI DispatchOpenClose(PDEVICE_OBJECT device, PIRP irp)
{
    (void)device;
    irp->IoStatus.Status = STATUS_SUCCESS;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

/* ------------------------------------------------------------------ */
/* Load and unload                                                      */

static const WCHAR kDeviceName[] = L"\\Device\\veskora";
/* The \DosDevices\ spelling does not resolve under Wine; \??\ does. */
static const WCHAR kLinkName[] = L"\\??\\veskora";

static VOID NTAPI DriverUnload(PDRIVER_OBJECT driver)
{
    UNICODE_STRING link;
    RtlInitUnicodeString(&link, kLinkName);
    IoDeleteSymbolicLink(&link);
    if (driver->DeviceObject)
        IoDeleteDevice(driver->DeviceObject);
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath)
{
    UNICODE_STRING name, link;
    PDEVICE_OBJECT device = NULL;
    NTSTATUS status;

    RememberParametersPath(registryPath);
    RtlInitUnicodeString(&name, kDeviceName);
    status = IoCreateDevice(driver, 0, &name, VK_DEVICE_TYPE, 0, FALSE, &device);
    if (!NT_SUCCESS(status))
        return status;
    RtlInitUnicodeString(&link, kLinkName);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(device);
        return status;
    }
    driver->MajorFunction[IRP_MJ_CREATE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = DispatchOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = DispatchControl;
    driver->DriverUnload = DriverUnload;
    return STATUS_SUCCESS;
}
