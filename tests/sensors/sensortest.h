#pragma once
// Shared by the sensor tests: blocks, one synchronous cycle, and a fixture
// that puts the sensor set and the application state back after every test.

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "display/commands.h"
#include "driver/protocol.h"
#include "sensors/csensor.h"
#include "support/capture.h"
#include "support/scenario.h"

// A block built word by word.
SensorBlock Block(std::initializer_list<uint16_t> volt, std::initializer_list<uint16_t> temp,
                  std::initializer_list<uint16_t> fan, std::initializer_list<uint16_t> pwm);

// Runs one cycle on this thread.
void SyncCycle(int cores, int dummy = 0);

class SensorTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    SensorBlock Current() const;
    SensorBlock Maximum() const;
    CoreTable Cores() const;
    SensorText Texts(const SensorBlock& block) const;

    Scenario scenario;
};
