// Chip readings through the driver: conversions and absence markers, the
// dividers, the live simulation, and the diagnostic lines of a known block.

#include <cstdlib>
#include <cstring>

#include "sensortest.h"

namespace {

class ChipReadings : public SensorTest {
protected:
    // Puts the block into the driver and reads it back through one cycle.
    SensorText ReadThrough(const SensorBlock& block)
    {
        scenario.SetBlock(block);
        SyncCycle(0);
        return Texts(Current());
    }

    void SetUp() override
    {
        SensorTest::SetUp();
        CSENSOR::Open(0);
    }
};

const SensorBlock kWorked = Block({165, 0, 100, 0, 0, 171, 0, 0, 0}, {0, 0xFF, 45},
                                  {1000, 0x0FFF, 0, 0xFFFF}, {255, 127, 129, 0x80});

TEST_F(ChipReadings, WorkedValuesAndAbsenceMarkers)
{
    const SensorText t = ReadThrough(kWorked);
    EXPECT_STREQ("2.64", t.text[kVoltSlot + 0]);
    EXPECT_STREQ("", t.text[kVoltSlot + 1]);
    EXPECT_STREQ("1.60", t.text[kVoltSlot + 2]);
    EXPECT_STREQ("15.05", t.text[kVoltSlot + 5]);
    EXPECT_STREQ("", t.text[kVoltSlot + 8]);
    EXPECT_STREQ("0", t.text[kTempSlot + 0]);  // 0 °C is a reading
    EXPECT_STREQ("", t.text[kTempSlot + 1]);
    EXPECT_STREQ("45", t.text[kTempSlot + 2]);
    EXPECT_STREQ("1500", t.text[kFanSlot + 0]);
    EXPECT_STREQ("", t.text[kFanSlot + 1]);
    EXPECT_STREQ("", t.text[kFanSlot + 2]);
    EXPECT_STREQ("22", t.text[kFanSlot + 3]);
    EXPECT_STREQ("100", t.text[kPwmSlot + 0]);
    EXPECT_STREQ("49", t.text[kPwmSlot + 1]);
    EXPECT_STREQ("50", t.text[kPwmSlot + 2]);
    EXPECT_STREQ("", t.text[kPwmSlot + 3]);

    const SensorText low = ReadThrough(Block({}, {}, {}, {1, 0, 254, 128}));
    EXPECT_STREQ("0", low.text[kPwmSlot + 0]);
    EXPECT_STREQ("0", low.text[kPwmSlot + 1]);
    EXPECT_STREQ("99", low.text[kPwmSlot + 2]);
    EXPECT_STREQ("", low.text[kPwmSlot + 3]);
    for (int i = 0; i < kVoltCount; i++)
        EXPECT_STREQ("", low.text[kVoltSlot + i]);
}

TEST_F(ChipReadings, DividersOnAndOff)
{
    Dividers custom = kDefaultDividers;
    custom.inScale[0] = 3.0;
    custom.inScale[5] = 0.0;
    custom.inScale[2] = -1.0;
    custom.fanConstant = 3000000;
    CSENSOR::chip.SetDividers(&custom);
    SensorText t = ReadThrough(kWorked);
    EXPECT_STREQ("3.96", t.text[kVoltSlot + 0]);
    EXPECT_STREQ("0.00", t.text[kVoltSlot + 5]);
    EXPECT_STREQ("-0.80", t.text[kVoltSlot + 2]);
    EXPECT_STREQ("3000", t.text[kFanSlot + 0]);

    // Switching the dividers off brings back every default, the fan constant too.
    CSENSOR::chip.SetDividers(nullptr);
    t = Texts(Current());
    EXPECT_STREQ("2.64", t.text[kVoltSlot + 0]);
    EXPECT_STREQ("15.05", t.text[kVoltSlot + 5]);
    EXPECT_STREQ("1500", t.text[kFanSlot + 0]);

    custom.fanConstant = 0;
    CSENSOR::chip.SetDividers(&custom);
    EXPECT_STREQ("0", Texts(Current()).text[kFanSlot + 0]);
}

TEST_F(ChipReadings, TextsAreCutNeverOverflowed)
{
    Dividers huge = kDefaultDividers;
    huge.inScale[0] = 1e300;
    CSENSOR::chip.SetDividers(&huge);
    const SensorText t = ReadThrough(kWorked);
    EXPECT_EQ(static_cast<size_t>(kReadingTextSize - 1), std::strlen(t.text[kVoltSlot + 0]));
    EXPECT_STREQ("", t.text[kVoltSlot + 1]);  // the neighbour is untouched
}

double Number(const char* text)
{
    return std::atof(text);
}

TEST_F(ChipReadings, TheLiveSimulationLooksLikeADesktopBoard)
{
    SyncCycle(0);
    const SensorBlock first = Current();
    const SensorText t = Texts(first);
    EXPECT_NEAR(3.3, Number(t.text[kVoltSlot + 0]), 0.1);
    EXPECT_NEAR(1.2, Number(t.text[kVoltSlot + 1]), 0.05);
    EXPECT_NEAR(5.0, Number(t.text[kVoltSlot + 4]), 0.2);
    EXPECT_NEAR(12.0, Number(t.text[kVoltSlot + 5]), 0.4);
    EXPECT_NEAR(3.3, Number(t.text[kVoltSlot + 7]), 0.1);
    EXPECT_NEAR(3.1, Number(t.text[kVoltSlot + 8]), 0.2);
    for (int i = 0; i < kVoltCount; i++)
        EXPECT_STRNE("", t.text[kVoltSlot + i]) << i;
    for (int i = 0; i < kTempCount; i++) {
        EXPECT_GE(first.temp[i], 30) << i;
        EXPECT_LE(first.temp[i], 60) << i;
    }
    for (int i = 0; i < 3; i++) {
        EXPECT_GE(Number(t.text[kFanSlot + i]), 900) << i;
        EXPECT_LE(Number(t.text[kFanSlot + i]), 2500) << i;
        EXPECT_STRNE("", t.text[kPwmSlot + i]) << i;
    }
    EXPECT_EQ(kNoFan, first.fan[3]);
    EXPECT_EQ(kNoPwm, first.pwm[3]);

    // Over a second the readings drift a little and never jump.
    Sleep(1000);
    SyncCycle(0);
    const SensorBlock second = Current();
    for (int i = 0; i < kVoltCount; i++)
        EXPECT_LE(std::abs(second.volt[i] - first.volt[i]), 3) << i;
    for (int i = 0; i < kTempCount; i++)
        EXPECT_LE(std::abs(second.temp[i] - first.temp[i]), 1) << i;
    for (int i = 0; i < 3; i++) {
        const int before = 1500000 / first.fan[i], after = 1500000 / second.fan[i];
        EXPECT_LE(std::abs(after - before), 60) << i;
        EXPECT_LE(std::abs(second.pwm[i] - first.pwm[i]), 6) << i;
    }
}

TEST_F(ChipReadings, DiagnosticLinesOfAKnownBlock)
{
    const SensorBlock known = Block({206, 150, 0, 127, 119, 136, 0, 206, 194}, {45, 0xFF, 0},
                                    {1000, 0x0FFF, 0, 1500}, {255, 0x80, 0, 127});
    scenario.SetBlock(known);
    SyncCycle(0);
    UserIoCapture capture;
    CSENSOR::DumpReadings(Current());
    const std::vector<std::string> expected = {
        "+3.3V    : 3.30 V",  "VCORE    : 1.20 V", "VIN3     : 1.49 V", "+5V      : 5.00 V",
        "+12V     : 11.97 V", "VSB3V    : 3.30 V", "VBAT     : 3.10 V", "CPU TEMP : 45 C",
        "SYS TEMP : 0 C",     "CPU FAN  : 1500 rpm", "CHS FAN  : 1000 rpm", "CPU PWM  : 100 %",
        "SYS PWM  : 0 %",     "CHS PWM  : 49 %",
    };
    EXPECT_EQ(expected, capture.DebugLines());
}

}  // namespace
