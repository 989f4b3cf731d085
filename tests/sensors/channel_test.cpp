// The driver channel end to end: the substitute driver's request sizes,
// the shared handle, the version and status checks of opening, a missing
// device, and every request failing in turn.

#include <cstring>

#include "sensortest.h"

namespace {

struct RequestShape {
    uint32_t code;
    uint32_t inSize;
    uint32_t outSize;
};

// In the order of the FailMask bits.
const RequestShape kShapes[] = {
    {CTL_STATUS, 0, 4},      {CTL_VERSION, 0, 2},  {CTL_CHIPID, 0, 4},
    {CTL_READBLOCK, 0, 40},  {CTL_CPUID, 20, 20},  {CTL_READREG, 12, 12},
    {CTL_DTS, 0, 4},         {CTL_TJMAX, 0, 4},
};

const unsigned char kGuard = 0xA5;

class RawDevice {
public:
    RawDevice()
        : handle(CreateFileA(VK_DEVICE_PATH, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr))
    {
    }
    ~RawDevice() { CloseHandle(handle); }

    // Sends the request with a buffer of 64 guard bytes; false when it failed.
    bool Send(const RequestShape& shape, uint32_t inSize, uint32_t outSize, unsigned char* buffer) const
    {
        std::memset(buffer, kGuard, 64);
        if (shape.code == CTL_CPUID)
            *reinterpret_cast<uint32_t*>(buffer) = 1;
        if (shape.code == CTL_READREG)
            *reinterpret_cast<uint32_t*>(buffer) = VK_READREG_PERF_STATUS;
        DWORD returned = 0;
        return DeviceIoControl(handle, shape.code, inSize ? buffer : nullptr, inSize, outSize ? buffer : nullptr,
                               outSize, &returned, nullptr) != 0;
    }

    HANDLE handle;
};

bool GuardsIntact(const unsigned char* buffer, uint32_t from)
{
    for (uint32_t i = from; i < 64; i++) {
        if (buffer[i] != kGuard)
            return false;
    }
    return true;
}

using DriverRequests = SensorTest;

TEST_F(DriverRequests, ExactSizesSucceedAndNothingBeyondTheBufferIsWritten)
{
    RawDevice device;
    ASSERT_NE(INVALID_HANDLE_VALUE, device.handle);
    unsigned char buffer[64];
    for (const RequestShape& shape : kShapes) {
        SCOPED_TRACE(testing::Message() << std::hex << shape.code);
        EXPECT_TRUE(device.Send(shape, shape.inSize, shape.outSize, buffer));
        EXPECT_TRUE(GuardsIntact(buffer, shape.outSize > shape.inSize ? shape.outSize : shape.inSize));
    }
}

TEST_F(DriverRequests, WrongSizesAndUnknownCodesFailUntouched)
{
    RawDevice device;
    unsigned char buffer[64];
    for (const RequestShape& shape : kShapes) {
        SCOPED_TRACE(testing::Message() << std::hex << shape.code);
        const uint32_t in = shape.inSize, out = shape.outSize;
        EXPECT_FALSE(device.Send(shape, in + 1, out, buffer));
        EXPECT_FALSE(device.Send(shape, in, out + 1, buffer));
        EXPECT_TRUE(GuardsIntact(buffer, in ? 4 : 0));
        EXPECT_FALSE(device.Send(shape, in, out - 1, buffer));
        EXPECT_TRUE(GuardsIntact(buffer, in ? 4 : 0));
        if (in) {
            EXPECT_FALSE(device.Send(shape, in - 1, out, buffer));
        }
    }
    const RequestShape unknown[] = {{VK_CTL(0x813), 0, 4}, {VK_CTL(0x901), 20, 20}, {0x00222000, 0, 4}};
    for (const RequestShape& shape : unknown) {
        EXPECT_FALSE(device.Send(shape, shape.inSize, shape.outSize, buffer));
        EXPECT_TRUE(GuardsIntact(buffer, shape.inSize ? 4 : 0));
    }
}

TEST_F(DriverRequests, EachFailMaskBitFailsOnlyItsRequest)
{
    RawDevice device;
    unsigned char buffer[64];
    for (int bit = REQ_STATUS; bit <= REQ_TJMAX; bit++) {
        scenario.Set("FailMask", 1u << bit);
        for (int other = REQ_STATUS; other <= REQ_TJMAX; other++) {
            const RequestShape& shape = kShapes[other];
            SCOPED_TRACE(testing::Message() << "bit " << bit << " request " << other);
            EXPECT_EQ(other != bit, device.Send(shape, shape.inSize, shape.outSize, buffer));
            if (other == bit) {
                EXPECT_TRUE(GuardsIntact(buffer, shape.inSize ? 4 : 0));
            }
        }
    }
}

// --- the shared handle -------------------------------------------------

using SharedHandle = SensorTest;

TEST_F(SharedHandle, ClosingTheBorrowerFirstLeavesTheHandleOpenUntilTheOwnerCloses)
{
    CSENSOR::Open(0);
    const HANDLE device = CSENSOR::chip.Handle();
    ASSERT_NE(INVALID_HANDLE_VALUE, device);
    EXPECT_TRUE(CSENSOR::cpu.Borrowing());
    EXPECT_EQ(device, CSENSOR::cpu.Handle());
    EXPECT_EQ(0u, CSENSOR::Open(0));  // a second open changes nothing
    EXPECT_EQ(device, CSENSOR::chip.Handle());
    DWORD flags = 0;
    CSENSOR::cpu.CloseChannel();
    EXPECT_FALSE(CSENSOR::cpu.HasHandle());
    EXPECT_FALSE(CSENSOR::cpu.Borrowing());
    EXPECT_TRUE(GetHandleInformation(device, &flags));
    EXPECT_TRUE(CSENSOR::CheckVersion());
    CSENSOR::chip.CloseChannel();
    EXPECT_FALSE(GetHandleInformation(device, &flags));
    CSENSOR::chip.CloseChannel();  // twice is harmless
    EXPECT_FALSE(CSENSOR::CheckVersion());
}

TEST_F(SharedHandle, ClosingTheOwnerFirstClosesTheHandleOnce)
{
    CSENSOR::Open(0);
    const HANDLE device = CSENSOR::chip.Handle();
    CSENSOR::chip.CloseChannel();
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(device, &flags));
    // The freed handle value is likely handed out again; the borrower must
    // not close whatever holds it now.
    HandleOwner other(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    CSENSOR::cpu.CloseChannel();
    EXPECT_TRUE(GetHandleInformation(other.Get(), &flags));
    EXPECT_FALSE(CSENSOR::cpu.HasHandle());
}

// --- opening: version, status, identity, no device ----------------------

using Opening = SensorTest;

TEST_F(Opening, OnlyVersion0105Passes)
{
    CSENSOR::Open(0);
    EXPECT_TRUE(CSENSOR::CheckVersion());
    for (DWORD version : {0x0104u, 0x0106u, 0x0000u, 0x0501u}) {
        scenario.Set("Version", version);
        EXPECT_FALSE(CSENSOR::CheckVersion()) << std::hex << version;
    }
    scenario.Set("Version", 0x0105);
    EXPECT_TRUE(CSENSOR::CheckVersion());
}

TEST_F(Opening, TheDefaultDriverReportsChipAndProcessor)
{
    EXPECT_EQ(VK_STATUS_CHIP | VK_STATUS_DTS, CSENSOR::Open(0));
    const ChipIdent id = CSENSOR::Identity();
    EXPECT_EQ(0x1934, id.vendor);
    EXPECT_EQ(0x0541, id.chip);
    EXPECT_TRUE(CSENSOR::readLock.Exists());
    EXPECT_STREQ("READ", CSENSOR::readLock.Name());
}

TEST_F(Opening, ChipIdentitiesAndNames)
{
    struct Case {
        DWORD reply;
        const char* vendor;
        const char* chip;
    };
    const Case cases[] = {
        {0x05071934, "Fintek", "F71858FG"}, {0x06011934, "Fintek", "F71862FG"},
        {0x05411934, "Fintek", "F71882FG"}, {0x07231934, "Fintek", "F71889FG"},
        {0x12341934, "Fintek", nullptr},    {0x05411050, nullptr, "F71882FG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.reply);
        scenario.Set("ChipId", c.reply);
        CSENSOR::Close();
        CSENSOR::Open(0);
        const ChipIdent id = CSENSOR::Identity();
        EXPECT_EQ(c.reply & 0xFFFF, id.vendor);
        EXPECT_EQ(c.reply >> 16, id.chip);
        const char* vendor = CF718X::VendorName(id.vendor);
        const char* chip = CF718X::ChipName(id.chip);
        EXPECT_STREQ(c.vendor, vendor);
        EXPECT_STREQ(c.chip, chip);
    }
    EXPECT_EQ(nullptr, CF718X::ChipName(0));
}

TEST_F(Opening, WithoutTheChipBitTheIdentityIsNotAskedFor)
{
    scenario.Set("Status", VK_STATUS_DTS);
    scenario.Set("ChipId", 0x07231934);
    EXPECT_EQ(VK_STATUS_DTS, CSENSOR::Open(0));
    EXPECT_EQ(0, CSENSOR::Identity().chip);
    EXPECT_FALSE(CSENSOR::readLock.Exists());
    EXPECT_TRUE(CSENSOR::CheckVersion());
}

TEST_F(Opening, DummyModeStandsInForAMissingChip)
{
    scenario.Set("Status", VK_STATUS_DTS);
    scenario.Set("ChipId", 0x07231934);
    EXPECT_EQ(VK_STATUS_CHIP | VK_STATUS_DTS, CSENSOR::Open(1));
    const ChipIdent id = CSENSOR::Identity();
    EXPECT_STREQ("Fintek", CF718X::VendorName(id.vendor));
    EXPECT_STREQ("F71882FG", CF718X::ChipName(id.chip));
    EXPECT_TRUE(CSENSOR::readLock.Exists());
    // The processor requests still go through the borrowed handle.
    CpuInfo info = {};
    EXPECT_TRUE(CSENSOR::cpu.ReadSignature(&info));
    EXPECT_EQ(6, info.family);
}

TEST_F(Opening, WithoutTheDeviceOpeningFindsNothingAndTheVersionFails)
{
    DriverStopped stopped;
    ASSERT_TRUE(stopped.Stopped());
    EXPECT_EQ(0u, CSENSOR::Open(0));
    EXPECT_FALSE(CSENSOR::chip.HasHandle());
    EXPECT_FALSE(CSENSOR::cpu.Borrowing());
    EXPECT_FALSE(CSENSOR::CheckVersion());
    CSENSOR::Close();
    // Dummy mode invents the chip, but the version check still ends start-up.
    EXPECT_EQ(VK_STATUS_CHIP, CSENSOR::Open(1));
    EXPECT_FALSE(CSENSOR::CheckVersion());
    CpuInfo info = {};
    EXPECT_FALSE(CSENSOR::cpu.ReadSignature(&info));
}

// --- every request failing in turn ---------------------------------------

using FailingRequests = SensorTest;

TEST_F(FailingRequests, StatusCountsAsZeroAndVersionAsAMismatch)
{
    scenario.Set("FailMask", 1u << REQ_STATUS);
    EXPECT_EQ(0u, CSENSOR::Open(0));
    EXPECT_FALSE(CSENSOR::readLock.Exists());
    EXPECT_TRUE(CSENSOR::CheckVersion());
    scenario.Set("FailMask", 1u << REQ_VERSION);
    EXPECT_FALSE(CSENSOR::CheckVersion());
}

TEST_F(FailingRequests, ChipIdentityStaysZeroAndCyclesAreStillLocked)
{
    scenario.Set("FailMask", 1u << REQ_CHIPID);
    EXPECT_EQ(VK_STATUS_CHIP | VK_STATUS_DTS, CSENSOR::Open(0));
    EXPECT_EQ(0, CSENSOR::Identity().vendor);
    EXPECT_EQ(0, CSENSOR::Identity().chip);
    EXPECT_TRUE(CSENSOR::readLock.Exists());
}

TEST_F(FailingRequests, BlockKeepsThePreviousReading)
{
    const SensorBlock first = Block({100, 150}, {40, 41, 42}, {1000, 0x0FFF, 0x0FFF, 0x0FFF}, {50, 0x80, 0x80, 0x80});
    scenario.SetBlock(first);
    CSENSOR::Open(0);
    SyncCycle(0);
    scenario.Set("FailMask", 1u << REQ_BLOCK);
    scenario.SetBlock(Block({1}, {1}, {1}, {1}));
    SyncCycle(0);
    const SensorBlock now = Current();
    EXPECT_EQ(0, std::memcmp(&first, &now, sizeof(first)));
}

TEST_F(FailingRequests, CpuidFailsIdentificationAndDetectionFallsToTheRead)
{
    scenario.Set("FailMask", 1u << REQ_CPUID);
    scenario.Set("TjMax", 85);
    CSENSOR::Open(0);
    CpuInfo info = {};
    info.family = 9;
    EXPECT_FALSE(CSENSOR::cpu.ReadSignature(&info));
    EXPECT_EQ(9, info.family);
    char brand[kBrandSize] = "keep";
    EXPECT_FALSE(CSENSOR::cpu.ReadBrand(brand));
    EXPECT_STREQ("keep", brand);
    int code = -1;
    EXPECT_EQ(85, CSENSOR::cpu.DetectTjMax(&code));
    EXPECT_EQ(TJMAX_READ, code);
}

TEST_F(FailingRequests, RegisterLeavesTheVoltageFields)
{
    scenario.Set("FailMask", 1u << REQ_READREG);
    CSENSOR::Open(0);
    CpuInfo info = {};
    info.vidMin = 0.5;
    info.ratio = 7.0;
    EXPECT_FALSE(CSENSOR::cpu.ReadVid(&info));
    EXPECT_EQ(0.5, info.vidMin);
    EXPECT_EQ(7.0, info.ratio);
}

TEST_F(FailingRequests, ThermalReadoutLeavesEveryProcessorWithoutAReading)
{
    scenario.Set("FailMask", 1u << REQ_DTS);
    CSENSOR::Open(0);
    CSENSOR::SetTjMax(100);
    SyncCycle(1);
    const CoreTable table = Cores();
    EXPECT_GT(table.count, 0u);
    for (uint32_t i = 0; i < table.count; i++) {
        EXPECT_EQ(0, table.core[i].valid);
        EXPECT_EQ(0, table.core[i].temp);
    }
}

TEST_F(FailingRequests, TjMaxYieldsNothingOnTheReadPath)
{
    scenario.Set("FailMask", 1u << REQ_TJMAX);
    scenario.Set("Signature", 0x00000F29);  // family 15: no table, no rule
    scenario.SetString("Brand", "Genuine Intel(R) CPU 3.00GHz");
    CSENSOR::Open(0);
    int code = -1;
    EXPECT_EQ(0, CSENSOR::cpu.DetectTjMax(&code));
    EXPECT_EQ(TJMAX_NONE, code);
}

}  // namespace
