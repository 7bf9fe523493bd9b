#pragma once

// Compares a downloaded record list with what the simulated ECU stored: two
// separate implementations of the record layout must agree on every field.
#include "records/CDeviceECUTracker.h"
#include "sim/SimRunLog.h"

#include <gtest/gtest.h>

#include <vector>

inline void ExpectRecord(const CDeviceECUTItem& got,
                  const sim::RunLogRecord& record,
                  const sim::RunLogSample& want) {
    EXPECT_EQ(got.counter, record.counter);
    EXPECT_EQ(got.subtype, record.group);
    EXPECT_EQ(got.engine_state, want.engine_state);
    EXPECT_EQ(got.temperature, want.temperature);
    EXPECT_EQ(got.engine_rpm, want.engine_rpm);
    EXPECT_EQ(got.pump_vol, want.pump_vol);
    EXPECT_EQ(got.radio_vol, want.radio_vol);
    EXPECT_EQ(got.engine_vol, want.engine_vol);
    EXPECT_EQ(got.pressure, want.pressure);
    EXPECT_EQ(got.rc_input1, want.rc_input1);
    EXPECT_EQ(got.rc_input2, want.rc_input2);
    EXPECT_EQ(got.speed, want.speed);
    EXPECT_EQ(got.pump_st, want.pump_st);
    EXPECT_EQ(got.pump_rpm, want.pump_rpm);
    EXPECT_EQ(got.error_coe, want.error_coe);
    EXPECT_EQ(got.current, want.current);
    EXPECT_EQ(got.tcu_temp, want.tcu_temp);
    EXPECT_EQ(got.ecu_temp, want.ecu_temp);
    EXPECT_EQ(got.pump_temp, want.pump_temp);
    EXPECT_EQ(got.thrust, want.thrust);
    EXPECT_EQ(got.starter_vol, want.starter_vol);
    EXPECT_EQ(got.starter_rpm, want.starter_rpm);
    EXPECT_EQ(got.fuel_temp, want.fuel_temp);
    EXPECT_EQ(got.fuel_press, want.fuel_press);
    EXPECT_EQ(got.combustion_press, want.combustion_press);
}

inline void ExpectSameLog(const CDeviceECUTracker& tracker, const std::vector<sim::RunLogRecord>& stored) {
    ASSERT_EQ(tracker.GetCount(), static_cast<int32_t>(stored.size()));
    size_t i = 0;
    for (CMNode* n = tracker.GetTail(); n != nullptr; n = n->prev, ++i) {
        SCOPED_TRACE(i);
        ExpectRecord(
            *static_cast<CDeviceECUTItem*>(n), stored[i], sim::SimRunLog::Completed(stored, i));
        if (::testing::Test::HasFailure()) {
            return;
        }
    }
}

