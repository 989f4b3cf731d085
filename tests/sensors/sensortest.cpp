#include "sensortest.h"
#include "sensors/seams.h"

#include <cstring>

#include "app/appstate.h"
#include "foundation/userio.h"

namespace {

void Assign(uint16_t* words, std::initializer_list<uint16_t> values)
{
    for (uint16_t value : values)
        *words++ = value;
}

}  // namespace

SensorBlock Block(std::initializer_list<uint16_t> volt, std::initializer_list<uint16_t> temp,
                  std::initializer_list<uint16_t> fan, std::initializer_list<uint16_t> pwm)
{
    SensorBlock block = {};
    Assign(block.volt, volt);
    Assign(block.temp, temp);
    Assign(block.fan, fan);
    Assign(block.pwm, pwm);
    return block;
}

void SyncCycle(int cores, int dummy)
{
    ReadRequest request = {1, dummy, cores, nullptr, ID_UPDATE, 0, nullptr};
    ASSERT_TRUE(CSENSOR::Start(&request));
}

void SensorTest::SetUp()
{
    CSENSOR::Close();
    ResetAppState();
    CSENSOR::chip.SetDividers(nullptr);
    ASSERT_TRUE(DeviceAvailable()) << "the substitute driver is not running (scripts/driver.sh start)";
}

void SensorTest::TearDown()
{
    CSENSOR::Close();
    CSENSOR::chip.SetDividers(nullptr);
    SetSensorCalls({});
    SetUserCalls({});
    ResetAppState();
}

SensorBlock SensorTest::Current() const
{
    SensorBlock block;
    CSENSOR::CopyBlocks(&block, nullptr);
    return block;
}

SensorBlock SensorTest::Maximum() const
{
    SensorBlock block;
    CSENSOR::CopyBlocks(nullptr, &block);
    return block;
}

CoreTable SensorTest::Cores() const
{
    CoreTable table;
    CSENSOR::CopyCores(&table);
    return table;
}

SensorText SensorTest::Texts(const SensorBlock& block) const
{
    SensorText text;
    CSENSOR::chip.Format(block, &text);
    return text;
}
