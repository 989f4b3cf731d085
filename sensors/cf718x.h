#pragma once
// CF718X: the channel to the Fintek chip's hardware monitor, its conversion
// parameters and the conversion of a raw block into texts.

#include "sensors/cvkdrv.h"
#include "sensors/sensortypes.h"

extern const char* const kVoltNames[kVoltCount];  // "+3.3V", "VCORE", ...
extern const char* const kTempNames[kTempCount];  // "CPU", "PWR", "SYS"
extern const char* const kFanNames[kFanCount];    // "CPU", "PWR", "SYS", "CHS"
extern const Dividers kDefaultDividers;

class CF718X : public CVKDRV {
public:
    CF718X();

    // Copies the parameters (defaults for none) under the READ lock when it exists.
    void SetDividers(const Dividers* parameters);
    const Dividers& Parameters() const { return dividers; }
    // Converts a block the caller owns; reads the parameters without locking.
    void Format(const SensorBlock& block, SensorText* text) const;
    // Volts of one voltage count with the current multiplier of input i.
    double Volts(int i, uint16_t count) const;
    // Revolutions per minute of a turning fan's count (see FanTurning).
    unsigned int FanSpeed(uint16_t count) const;
    static bool FanTurning(uint16_t count) { return count != kNoFan && count != 0; }
    // Percentage of one duty word.
    static int DutyPercent(uint16_t pwm);

    static const char* ChipName(uint16_t chip);     // model name or none
    static const char* VendorName(uint16_t vendor);  // "Fintek" or none

private:
    Dividers dividers;
};
