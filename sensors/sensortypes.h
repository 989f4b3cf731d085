#pragma once
// The readings records shared by the acquisition classes, the display and the
// dialogs. Records exchanged with the driver have fixed-width fields and the
// same layout in the 32- and 64-bit builds.

#include <windows.h>

#include <cstddef>
#include <cstdint>

const int kVoltCount = 9;
const int kTempCount = 3;
const int kFanCount = 4;
const int kReadingCount = kVoltCount + kTempCount + 2 * kFanCount;  // 20
const int kCoreSlots = 32;
const int kReadingTextSize = 32;
const int kBrandSize = 48;

// Slot of each reading in SensorBlock::word and SensorText::text.
const int kVoltSlot = 0;
const int kTempSlot = kVoltSlot + kVoltCount;   // 9
const int kFanSlot = kTempSlot + kTempCount;    // 12
const int kPwmSlot = kFanSlot + kFanCount;      // 16

// No-value markers of the raw block.
const uint16_t kNoVolt = 0;
const uint16_t kNoTemp = 0xFF;
const uint16_t kNoFan = 0x0FFF;
const uint16_t kNoPwm = 0x80;

// The raw readings: byte for byte the driver's 40-byte block.
struct SensorBlock {
    union {
        uint16_t word[kReadingCount];
        struct {
            uint16_t volt[kVoltCount];
            uint16_t temp[kTempCount];
            uint16_t fan[kFanCount];
            uint16_t pwm[kFanCount];
        };
    };
};
static_assert(sizeof(SensorBlock) == 40, "the driver's sensor block is 40 bytes");
static_assert(offsetof(SensorBlock, temp) == 18 && offsetof(SensorBlock, fan) == 24 &&
                  offsetof(SensorBlock, pwm) == 32,
              "sensor block word layout");

// The readings as texts without units; an empty text means no value.
struct SensorText {
    char text[kReadingCount][kReadingTextSize];
};

struct ChipIdent {
    uint16_t vendor;
    uint16_t chip;
};
static_assert(sizeof(ChipIdent) == 4, "chip identity reply is 4 bytes");

struct CoreEntry {
    int32_t valid;
    int32_t tjmax;
    int32_t temp;
    int32_t peak;
};

struct CoreTable {
    uint32_t count;
    CoreEntry core[kCoreSlots];
};

struct CpuInfo {
    uint16_t family;
    uint16_t model;
    uint16_t stepping;
    uint32_t edxFeatures;
    uint32_t ecxFeatures;
    double vidMin;
    double vidMax;
    double ratio;
};

// The conversion parameters of the chip readings.
struct Dividers {
    double inScale[kVoltCount];
    uint32_t fanConstant;
};

// One acquisition request: seven 32-bit words in the 32-bit build.
struct ReadRequest {
    int sync;
    int dummy;
    int cores;
    HWND window;
    WPARAM wParam;
    LPARAM lParam;
    HANDLE event;
};
