#pragma once

#include "foundation/CMNode.h"

#include <cstdint>

// One run-log record: a sample of the engine's state and sensors taken by the
// ECU. A new record has every field 0. Owned by the CDeviceECUTracker it is in.
//
// Thread safety: none of its own; records are read and changed under the
// tracker's lock.
class CDeviceECUTItem : public CMNode {
public:
    CDeviceECUTItem() = default;

    // Copies every record field of other (not the list links).
    void assignFields(const CDeviceECUTItem& other);

    // True when every record field equals other's.
    [[nodiscard]] bool sameFields(const CDeviceECUTItem& other) const;

    uint8_t subtype = 0;          // group carried: 0 (and every format-1 record), 1, 2 (3: none)
    uint32_t counter = 0;         // record time in sampling periods; identity of the record
    int32_t engine_state = 0;     // engine state code 0..31
    int32_t temperature = 0;      // exhaust gas temperature, degrees Celsius
    int32_t engine_rpm = 0;       // RPM
    int32_t pump_vol = 0;         // fuel pump voltage, thousandths of a volt
    int32_t radio_vol = 0;        // receiver supply, hundredths of a volt
    int32_t engine_vol = 0;       // battery, hundredths of a volt
    int32_t pressure = 0;         // air pressure, Pa
    int32_t rc_input1 = 0;        // RC throttle channel
    int32_t rc_input2 = 0;        // RC switch channel
    int32_t pump_st = 0;          // pump state: 0 stop, 1 start, 2 run, 3 brake
    int32_t pump_rpm = 0;         // pump RPM
    int32_t speed = 0;            // format-1 records only
    int32_t error_coe = 0;        // bits 0-4 error code, 5 low voltage, 6 overload,
                                  // 7 pump voltage limit, 8 pump current limit, 9 engine link
    int32_t current = 0;          // tenths of an ampere
    int32_t tcu_temp = 0;         // degrees Celsius
    int32_t ecu_temp = 0;         // degrees Celsius
    int32_t pump_temp = 0;        // degrees Celsius
    int32_t thrust = 0;           // hundredths of a kilogram
    int32_t starter_vol = 0;      // starter voltage, shown divided by 10 with one decimal
    int32_t starter_rpm = 0;      // RPM
    int32_t fuel_temp = 0;        // degrees Celsius
    int32_t fuel_press = 0;       // kilopascal
    int32_t combustion_press = 0; // kilopascal
};
