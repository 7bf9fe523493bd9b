#include "app/CEcuViewECU.h"

#include <algorithm>

void CEcuViewECU::attach(CDeviceBase& device) {
    m_ecu.attach(&device);
}

int CEcuViewECU::isReady() const {
    return m_ecu.connected() ? 1 : 0;
}

EcuLiveView CEcuViewECU::liveState() const {
    const CEcuLiveState s = m_ecu.liveState();
    const auto [correction, fahrenheit] =
        const_cast<CDeviceECU&>(m_ecu).withParameters([](CEcuParameters& p) {
            return std::make_pair(p.egtCorrection(), p.temperatureUnit() == 1);
        });
    EcuLiveView v;
    v.display_state = s.displayState();
    v.display_error = s.displayError();
    v.displayed_egt = s.displayedEgt(correction, fahrenheit);
    v.cpu_load = s.cpu_load;
    v.engine_state = s.engine_state;
    v.cpu_temperature = s.cpu_temperature;
    v.rc_voltage = s.rc_voltage;
    v.battery_voltage = s.battery_voltage;
    v.current = s.current;
    v.air_pressure = s.air_pressure;
    v.altitude = s.altitude;
    v.record_storage = s.record_storage;
    v.engine_rpm = s.engine_rpm;
    v.egt = s.egt;
    v.pump_voltage_centivolts = s.pump_voltage_centivolts;
    v.pump_voltage = s.pump_voltage;
    v.sensor_thrust = s.sensor_thrust;
    v.rc_throttle_input = s.rc_throttle_input;
    v.rc_switch_input = s.rc_switch_input;
    v.alternator_present = s.alternator_present;
    v.alternator_voltage = s.alternator_voltage;
    v.ignition_pump_state = s.ignition_pump_state;
    v.ignition_pump_rpm = s.ignition_pump_rpm;
    v.ignition_pump_temperature = s.ignition_pump_temperature;
    v.main_pump_ecu_kind = s.main_pump_ecu_kind;
    v.main_pump_tcu_kind = s.main_pump_tcu_kind;
    v.main_pump_state = s.main_pump_state;
    v.main_pump_rpm = s.main_pump_rpm;
    v.main_pump_temperature = s.main_pump_temperature;
    v.fuel_temperature = s.fuel_temperature;
    v.fuel_pressure = s.fuel_pressure;
    v.combustion_pressure = s.combustion_pressure;
    v.tcu_fitted = s.tcu_fitted;
    v.tcu_answering = s.tcu_answering;
    v.tcu_version = s.tcu_version;
    v.tcu_voltage = s.tcu_voltage;
    v.tcu_temperature = s.tcu_temperature;
    v.starter_fitted = s.starter_fitted;
    v.starter_answering = s.starter_answering;
    v.starter_state = s.starter_state;
    v.starter_rpm = s.starter_rpm;
    v.starter_temperature = s.starter_temperature;
    return v;
}

std::string CEcuViewECU::getText(int32_t textId) const {
    const bool read = const_cast<CDeviceECU&>(m_ecu).withParameters(
        [](CEcuParameters& p) { return p.generation() != EcuGeneration::Unknown; });
    CEcuParameters::Text text;
    if (!read || m_ecu.getText(textId, text) == 0) {
        return {};
    }
    return text.text;
}

int CEcuViewECU::isLearning() const {
    const CEcuLiveState s = m_ecu.liveState();
    return m_learning.load() || s.learning_max_min || s.learning_idle ? 1 : 0;
}

int CEcuViewECU::sendCommand(int32_t code, int32_t argument) {
    const int ok = m_ecu.sendCommand(static_cast<uint8_t>(code), static_cast<uint16_t>(argument));
    if (ok != 0 && code == 2) {
        m_learning = true;
    } else if (ok != 0 && code == 3) {
        m_learning = false;
    }
    return ok;
}

void CEcuViewECU::requestReread() {
    m_ecu.requestReread();
}

int CEcuViewECU::calibrateTemperature(int32_t ambientCelsius) {
    return m_ecu.calibrateTemperature(static_cast<uint8_t>(std::clamp(ambientCelsius, 0, 255)));
}
