#include "records/CDeviceECUTItem.h"

void CDeviceECUTItem::assignFields(const CDeviceECUTItem& other) {
    subtype = other.subtype;
    counter = other.counter;
    engine_state = other.engine_state;
    temperature = other.temperature;
    engine_rpm = other.engine_rpm;
    pump_vol = other.pump_vol;
    radio_vol = other.radio_vol;
    engine_vol = other.engine_vol;
    pressure = other.pressure;
    rc_input1 = other.rc_input1;
    rc_input2 = other.rc_input2;
    pump_st = other.pump_st;
    pump_rpm = other.pump_rpm;
    speed = other.speed;
    error_coe = other.error_coe;
    current = other.current;
    tcu_temp = other.tcu_temp;
    ecu_temp = other.ecu_temp;
    pump_temp = other.pump_temp;
    thrust = other.thrust;
    starter_vol = other.starter_vol;
    starter_rpm = other.starter_rpm;
    fuel_temp = other.fuel_temp;
    fuel_press = other.fuel_press;
    combustion_press = other.combustion_press;
}

bool CDeviceECUTItem::sameFields(const CDeviceECUTItem& other) const {
    return subtype == other.subtype && counter == other.counter &&
           engine_state == other.engine_state && temperature == other.temperature &&
           engine_rpm == other.engine_rpm && pump_vol == other.pump_vol &&
           radio_vol == other.radio_vol && engine_vol == other.engine_vol &&
           pressure == other.pressure && rc_input1 == other.rc_input1 &&
           rc_input2 == other.rc_input2 && pump_st == other.pump_st && pump_rpm == other.pump_rpm &&
           speed == other.speed && error_coe == other.error_coe && current == other.current &&
           tcu_temp == other.tcu_temp && ecu_temp == other.ecu_temp &&
           pump_temp == other.pump_temp && thrust == other.thrust &&
           starter_vol == other.starter_vol && starter_rpm == other.starter_rpm &&
           fuel_temp == other.fuel_temp && fuel_press == other.fuel_press &&
           combustion_press == other.combustion_press;
}
