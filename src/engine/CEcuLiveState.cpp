#include "engine/CEcuLiveState.h"

#include "foundation/CMBitReader.h"
#include "foundation/StringPrintf.h"

namespace {

uint8_t Byte(std::span<const uint8_t> b, size_t i) {
    return i < b.size() ? b[i] : 0;
}

uint16_t Word(std::span<const uint8_t> b, size_t i) {
    return static_cast<uint16_t>(Byte(b, i) | (Byte(b, i + 1) << 8));
}

bool Bit(std::span<const uint8_t> b, size_t i, int bit) {
    return ((Byte(b, i) >> bit) & 1) != 0;
}

CMBitReader PayloadReader(std::span<const uint8_t> packet) {
    // Bits start after the header byte.
    return CMBitReader(packet.empty() ? packet : packet.subspan(1));
}

// ECU state code -> display state.
constexpr int kDisplayOfState[16] = {0, 1, 3, 4, 5, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 19};
// Display state -> text-table number.
constexpr int kDisplayText[21] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                  12, 13, 14, 15, 16, 17, 18, 19, 22, 23};

} // namespace

void CEcuLiveState::decodeItemPacket1(std::span<const uint8_t> packet) {
    CMBitReader r = PayloadReader(packet);
    cpu_load = static_cast<uint8_t>(r.ReadBits(8));
    engine_state = static_cast<uint8_t>(r.ReadBits(5));
    error_code = static_cast<uint8_t>(r.ReadBits(5));
    aux1 = static_cast<uint8_t>(r.ReadBits(8));
    aux2 = static_cast<uint8_t>(r.ReadBits(3));
    aux3 = static_cast<uint16_t>(r.ReadBits(12) * 10);
    engine_rpm = static_cast<int32_t>(r.ReadBits(15) * 10);
    egt = static_cast<int16_t>(static_cast<int32_t>(r.ReadBits(11)) - 60);
    pump_voltage_centivolts = static_cast<uint16_t>(r.ReadBits(13));
    pump_voltage = static_cast<float>(r.ReadBits(13)) / 100.0f;
    aux4 = static_cast<uint16_t>(r.ReadBits(9) * 10);
    battery_voltage = static_cast<float>(r.ReadBits(9) * 10) / 100.0f;
    rc_voltage = static_cast<float>(r.ReadBits(9) * 10) / 100.0f;
    current = static_cast<float>(r.ReadBits(10)) / 10.0f;
    aux5 = static_cast<float>(r.ReadBits(10)) / 10.0f;
    throttle_lock = r.ReadBits(1) != 0;
    aux6 = r.ReadBits(1) != 0;
    rc_throttle_input = static_cast<uint16_t>(r.ReadBits(8) * 10);
    rc_switch_input = static_cast<uint16_t>(r.ReadBits(8) * 10);
    aux7 = static_cast<uint8_t>(r.ReadBits(7));
    aux8 = static_cast<uint16_t>(r.ReadBits(16));
    aux9 = static_cast<uint16_t>(r.ReadBits(24) & 0xFFFF);
    aux10 = static_cast<uint16_t>(r.ReadBits(12));
    alternator_present = r.ReadBits(1) != 0;
    alternator_voltage = static_cast<float>(r.ReadBits(11)) / 10.0f;
    const uint32_t warnings = r.ReadBits(7);
    pump_limit = (warnings & 0x03) != 0;
    low_voltage = (warnings & 0x04) != 0;
    overload = (warnings & 0x08) != 0;
    const uint32_t record = r.ReadBits(4);
    record_format = static_cast<uint8_t>(record & 0x03);
    record_rate_code = static_cast<uint8_t>((record >> 2) & 0x03);
    record_storage = r.ReadBits(8) * 512;
    aux3 = 0;
    // The item generation has no sensor fault bit; a stale block value must
    // not show.
    temperature_sensor_fault = false;
}

void CEcuLiveState::decodeItemPacket2(std::span<const uint8_t> packet) {
    CMBitReader r = PayloadReader(packet);
    auto minus60 = [&r] { return static_cast<int16_t>(static_cast<int32_t>(r.ReadBits(8)) - 60); };
    air_pressure = r.ReadBits(14) * 10;
    altitude = static_cast<int32_t>(r.ReadBits(14)) - 1000;
    main_pump_tcu_kind = static_cast<uint8_t>(r.ReadBits(2));
    main_pump_ecu_kind = static_cast<uint8_t>(r.ReadBits(2));
    main_pump_state = static_cast<uint8_t>(r.ReadBits(2));
    main_pump_rpm = static_cast<int32_t>(r.ReadBits(12) * 10);
    main_pump_temperature = minus60();
    p2_aux8 = static_cast<uint8_t>(r.ReadBits(4));
    p2_aux9 = static_cast<uint8_t>(r.ReadBits(5));
    p2_aux10 = static_cast<int32_t>(r.ReadBits(15) * 10);
    p2_aux11 = static_cast<int32_t>(r.ReadBits(15) * 10);
    p2_aux12 = (static_cast<int32_t>(r.ReadBits(8)) - 12) * 5;
    p2_aux13 = static_cast<int32_t>(r.ReadBits(8) * 10);
    p2_aux14 = static_cast<int32_t>(r.ReadBits(8) * 10);
    tcu_fitted = r.ReadBits(1) != 0;
    tcu_answering = r.ReadBits(1) != 0;
    tcu_version[0] = static_cast<uint8_t>(r.ReadBits(4));
    tcu_version[1] = static_cast<uint8_t>(r.ReadBits(4));
    tcu_version[2] = static_cast<uint8_t>(r.ReadBits(8));
    tcu_voltage = static_cast<uint16_t>(r.ReadBits(9) * 10);
    tcu_temperature = minus60();
    starter_fitted = r.ReadBits(1) != 0;
    starter_answering = r.ReadBits(1) != 0;
    starter_state = static_cast<uint8_t>(r.ReadBits(2));
    starter_rpm = static_cast<int32_t>(r.ReadBits(15) * 10);
    starter_temperature = minus60();
    p2_aux27 = r.ReadBits(1) != 0;
    cpu_temperature = minus60();
    ignition_pump_state = static_cast<uint8_t>(r.ReadBits(3));
    if (ignition_pump_state >= 2) {
        ignition_pump_rpm = static_cast<int32_t>(r.ReadBits(9) * 100);
        ignition_pump_temperature = minus60();
    } else {
        r.SkipBits(17);
        ignition_pump_rpm = 0;
        ignition_pump_temperature = 0;
    }
    fuel_temperature = minus60();
    fuel_pressure = static_cast<float>(r.ReadBits(11)) / 1000.0f - 0.5f;
    combustion_pressure = static_cast<float>(r.ReadBits(10)) / 500.0f;
}

void CEcuLiveState::decodeBlock(std::span<const uint8_t> r1,
                                std::span<const uint8_t> r4,
                                const CEcuTelemetryContext& context) {
    block_reg1.fill(0);
    block_reg4.fill(0);
    for (size_t i = 0; i < 32; ++i) {
        block_reg1[i] = Byte(r1, i);
        block_reg4[i] = Byte(r4, i);
    }
    const std::span<const uint8_t> a(block_reg1);
    const std::span<const uint8_t> b(block_reg4);

    // Register 1.
    cpu_load = a[0] & 0x7F;
    engine_state = a[1] & 0x1F;
    learning_max_min = Bit(a, 1, 5);
    low_voltage = Bit(a, 1, 6);
    throttle_lock = Bit(a, 1, 7);
    learning_high_end = Bit(a, 2, 0);
    starter_fault = Bit(a, 2, 1);
    glow_plug_fault = Bit(a, 2, 2);
    temperature_sensor_fault = Bit(a, 2, 3);
    valve_fault = Bit(a, 2, 4);
    fault_bit5 = Bit(a, 2, 5);
    pump_fault = Bit(a, 2, 6);
    learning_idle = Bit(a, 2, 7);
    engine_rpm = static_cast<int32_t>(Word(a, 3)) * 10;
    egt = static_cast<int16_t>(Word(a, 5));
    uint32_t pump = Word(a, 7) & 0x1FFFu;
    if (context.doubleRange) {
        pump *= 2;
    }
    pump_voltage_centivolts = static_cast<uint16_t>(pump / 10);
    pump_voltage = context.blockPumpVoltage;
    // 0.00001 so that a value of exactly n.n prints as such.
    rc_voltage = static_cast<float>(a[10]) / 10.0f + 0.00001f;
    battery_voltage = static_cast<float>(a[11]) / 10.0f;
    current = static_cast<float>(static_cast<int16_t>(Word(a, 12))) / 1000.0f;
    rc_throttle_input = Word(a, 14) & 0x0FFF;
    // Guess: the 12-bit aux value 3 follows the named fields in bytes 16-17.
    aux3 = Word(a, 16) & 0x0FFF;
    if (context.formatVersion > 3) {
        aux3 = static_cast<uint16_t>(aux3 * 10);
    }

    // Register 4.
    air_pressure = static_cast<uint32_t>(Word(b, 0)) * 2;
    record_storage = static_cast<uint32_t>(b[2]) * 512;
    record_format = (b[3] >> 4) & 0x03;
    record_rate_code = (b[3] >> 6) & 0x03;
    error_code = static_cast<uint8_t>(((b[7] & 0x03) << 3) | (b[6] >> 5));
    tcu_fitted = Bit(b, 7, 2);
    tcu_answering = Bit(b, 7, 3);
    starter_fitted = Bit(b, 7, 4);
    starter_answering = Bit(b, 7, 5);
    starter_state = (b[7] >> 6) & 0x03;
    starter_rpm = static_cast<int32_t>(Word(b, 8)) * 4;
    starter_temperature = static_cast<int8_t>(b[10]);
    pump_limit = Bit(b, 11, 0);
    rpm_control_state = Bit(b, 11, 1);
    main_pump_ecu_kind = (b[11] >> 2) & 0x03;
    main_pump_tcu_kind = (b[11] >> 4) & 0x03;
    main_pump_state = (b[11] >> 6) & 0x03;
    tcu_version = {b[12], b[13], b[14]};
    tcu_voltage = Word(b, 15) & 0x0FFF;
    main_pump_rpm = static_cast<int32_t>(Word(b, 17)) * 4;
    main_pump_temperature = static_cast<int8_t>(b[19]);
    rc_switch_input = Word(b, 20) & 0x0FFF;
    overload = Bit(b, 23, 0);
    stick_down_ignition = Bit(b, 23, 1);
    altitude = ((((b[23] >> 2) & 0x3F) << 8) | b[24]) - 2000;
    stick_down_running = Bit(b, 25, 0);
    tcu_temperature = b[26] == 0 ? int16_t{0} : static_cast<int16_t>(b[26] - 60);
    alternator_voltage = static_cast<float>(Word(b, 27) & 0x07FF) / 10.0f + 0.00001f;
    alternator_present = Bit(b, 31, 7);
}

int CEcuLiveState::decodeSensor(std::span<const uint8_t> reg5) {
    CMBitReader r(reg5);
    sensor_mask = static_cast<uint8_t>(r.ReadBits(8));
    if ((sensor_mask & 0x01) != 0) {
        sensor_value1 = static_cast<float>(r.ReadBits(10)) / 100.0f;
        sensor_value2 = static_cast<float>(r.ReadBits(14)) / 10.0f;
    } else {
        sensor_value1 = 0;
        sensor_value2 = 0;
    }
    if ((sensor_mask & 0x02) != 0) {
        sensor_thrust = static_cast<float>(static_cast<int16_t>(r.ReadBits(16))) / 100.0f;
    } else {
        sensor_thrust = 0;
    }
    return (sensor_mask & 0x03) != 0 ? 1 : 0;
}

int CEcuLiveState::DisplayStateOfEngineState(int engineState) {
    return engineState >= 0 && engineState < 16 ? kDisplayOfState[engineState] : 0;
}

int CEcuLiveState::DisplayStateTextNumber(int displayState) {
    return displayState >= 0 && displayState <= 20 ? kDisplayText[displayState] : -1;
}

int CEcuLiveState::ErrorTextNumber(int errorCode) {
    return errorCode >= 0 && errorCode <= 19 ? 24 + errorCode : -1;
}

int CEcuLiveState::StarterTypeTextNumber(bool fitted, bool answering) {
    if (!fitted) {
        return 87;
    }
    return answering ? 90 : 89;
}

bool CEcuLiveState::StarterWorking(bool fitted, bool answering) {
    return fitted && answering;
}

int CEcuLiveState::TcuStatusTextNumber(bool fitted, bool answering) {
    if (answering) {
        return -1;
    }
    return fitted ? 88 : 87;
}

bool CEcuLiveState::TcuPresent(bool fitted, bool answering) {
    return fitted || answering;
}

std::string CEcuLiveState::TcuVersionText(const std::array<uint8_t, 3>& version) {
    return StringPrintf("TCU:%d.%d.%d", version[0], version[1], version[2]);
}

int CEcuLiveState::EcuPumpKindTextNumber(int kind) {
    static constexpr int kText[4] = {97, 98, 99, 97}; // DC, BLDC, Fault, DC
    return kText[kind & 3];
}

int CEcuLiveState::TcuPumpKindTextNumber(int kind) {
    static constexpr int kText[4] = {100, 97, 98, 99}; // Unsupport, DC, BLDC, Fault
    return kText[kind & 3];
}

bool CEcuLiveState::MainPumpReported(int ecuKind, int tcuKind) {
    return ecuKind != 0 || tcuKind > 1;
}

int CEcuLiveState::IgnitionPumpStateTextNumber(int state) {
    static constexpr int kText[6] = {87, 88, 101, 102, 103, 104};
    return state >= 0 && state <= 5 ? kText[state] : -1;
}

bool CEcuLiveState::IgnitionPumpReported(int state) {
    return state >= 2;
}

int CEcuLiveState::RunStateTextNumber(int state) {
    return state >= 0 && state <= 3 ? 101 + state : -1;
}

int CEcuLiveState::displayState() const {
    if (throttle_lock) {
        return 20;
    }
    if (stick_down_ignition && engine_state == 2) {
        return 2;
    }
    if (stick_down_running && engine_state == 5) {
        return 9;
    }
    if (learning_idle && engine_state == 5) {
        return 8;
    }
    if (learning_max_min && engine_state == 5) {
        return learning_high_end ? 6 : 7;
    }
    return DisplayStateOfEngineState(engine_state);
}

int CEcuLiveState::displayError() const {
    if (overload) {
        return 17;
    }
    if (low_voltage) {
        return 2;
    }
    if (tcu_fitted && !tcu_answering) {
        return 18;
    }
    if (starter_fitted && !starter_answering) {
        return 5;
    }
    if (pump_limit && engine_state == 5) {
        return 19;
    }
    if (engine_state != 0 || (error_code == 0 && !pump_limit)) {
        return 0;
    }
    if (error_code != 0) {
        return error_code;
    }
    if (starter_fault) {
        return 5;
    }
    if (glow_plug_fault) {
        return 3;
    }
    if (temperature_sensor_fault) {
        return 10;
    }
    if (valve_fault) {
        return 12;
    }
    if (fault_bit5) {
        return 9;
    }
    if (pump_fault) {
        return 4;
    }
    return pump_limit ? 19 : 0;
}

int CEcuLiveState::displayedEgt(int egtCorrection, bool fahrenheit) const {
    const int correction = fahrenheit ? egtCorrection * 5 / 9 : egtCorrection;
    return egt + correction;
}
