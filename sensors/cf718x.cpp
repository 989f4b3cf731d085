#include "sensors/cf718x.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "foundation/fixedline.h"
#include "sensors/csensor.h"

const char* const kVoltNames[kVoltCount] = {"+3.3V", "VCORE", "VIN2", "VIN3", "+5V",
                                            "+12V",  "VIN6",  "VSB3V", "VBAT"};
const char* const kTempNames[kTempCount] = {"CPU", "PWR", "SYS"};
const char* const kFanNames[kFanCount] = {"CPU", "PWR", "SYS", "CHS"};

const Dividers kDefaultDividers = {{2.0, 1.0, 2.0, 1.47, 5.25, 11.0, 2.0, 2.0, 2.0}, 1500000};

namespace {

struct ChipNameRow {
    uint16_t chip;
    const char* name;
};

// Searched in order; the zero row ends the table.
const ChipNameRow kChipNames[] = {
    {0x0507, "F71858FG"},
    {0x0601, "F71862FG"},
    {0x0541, "F71882FG"},
    {0x0723, "F71889FG"},
    {0, nullptr},
};
static_assert(std::size(kChipNames) == 5, "four chips and the end row");

const uint16_t kFintek = 0x1934;
const double kVoltsPerCount = 8.0;  // millivolts at the chip pin

void Print(char* field, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Every field is cut at 31 characters, never overflowed.
void Print(char* field, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const FixedLine<kReadingTextSize> line(format, args);
    va_end(args);
    lstrcpynA(field, line.Text(), kReadingTextSize);
}

}  // namespace

CF718X::CF718X() : dividers(kDefaultDividers) {}

void CF718X::SetDividers(const Dividers* parameters)
{
    CSENSOR::readLock.Enter();
    dividers = parameters ? *parameters : kDefaultDividers;
    CSENSOR::readLock.Leave();
}

double CF718X::Volts(int i, uint16_t count) const
{
    return count * kVoltsPerCount * dividers.inScale[i] / 1000.0;
}

int CF718X::DutyPercent(uint16_t pwm)
{
    if (pwm == 0)
        return 0;
    return static_cast<int>(pwm / 255.0 * 100.0) & 0xFF;
}

unsigned int CF718X::FanSpeed(uint16_t count) const
{
    return dividers.fanConstant / count;
}

void CF718X::Format(const SensorBlock& block, SensorText* text) const
{
    std::memset(text, 0, sizeof(*text));
    for (int i = 0; i < kVoltCount; i++) {
        if (block.volt[i] != kNoVolt)
            Print(text->text[kVoltSlot + i], "%.2f", Volts(i, block.volt[i]));
    }
    for (int i = 0; i < kTempCount; i++) {
        if (block.temp[i] != kNoTemp)
            Print(text->text[kTempSlot + i], "%d", block.temp[i]);
    }
    for (int i = 0; i < kFanCount; i++) {
        if (FanTurning(block.fan[i]))
            Print(text->text[kFanSlot + i], "%u", FanSpeed(block.fan[i]));
    }
    for (int i = 0; i < kFanCount; i++) {
        if (block.pwm[i] != kNoPwm)
            Print(text->text[kPwmSlot + i], "%d", DutyPercent(block.pwm[i]));
    }
}

const char* CF718X::ChipName(uint16_t chip)
{
    for (const ChipNameRow* row = kChipNames; row->chip; row++) {
        if (row->chip == chip)
            return row->name;
    }
    return nullptr;
}

const char* CF718X::VendorName(uint16_t vendor)
{
    return vendor == kFintek ? "Fintek" : nullptr;
}
