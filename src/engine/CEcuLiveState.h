#pragma once

#include "engine/EcuTypes.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

// The live state of the ECU as the poll cycle decodes it from register 1
// (item generation: a telemetry set of bit-packed packets, see
// CEcuTelemetryRead) or registers 1 and 4 (block generation), plus the
// optional sensor readings of register 5, and the display-state and
// displayed-error derivations the main window shows.
//
// A plain copyable value: fields keep their last decoded values; a failed
// read leaves them unchanged. reset() restores the offline values (all 0,
// CPU temperature -60).
//
// Thread safety: none. The poll thread decodes; other threads read. A reader
// that must not see a mix of two cycles takes a copy under the protocol
// object's lock (decode into a copy, then publish it).
class CEcuLiveState {
public:
    // Restores the offline values.
    void reset() { *this = CEcuLiveState(); }

    // --- decoders (pure over their bytes; never read past the end) ----------
    // Item generation, a whole 32-byte packet including its header byte.
    void decodeItemPacket1(std::span<const uint8_t> packet);
    void decodeItemPacket2(std::span<const uint8_t> packet);
    // Block generation: registers 1 and 4 (32 bytes each), decoded together.
    void decodeBlock(std::span<const uint8_t> reg1,
                     std::span<const uint8_t> reg4,
                     const CEcuTelemetryContext& context);
    // Register 5 (6 bytes). Returns 1 when either reading group was present
    // (the poll cycle then raises 307), else 0; the fields are written either
    // way.
    int decodeSensor(std::span<const uint8_t> reg5);

    // --- derivations -------------------------------------------------------
    // Display state 0..20 (see DisplayStateTextNumber).
    [[nodiscard]] int displayState() const;
    // Displayed error code 0..31; 0..19 have texts (ErrorTextNumber).
    [[nodiscard]] int displayError() const;
    // EGT plus the parameter block's EGT correction; with the Fahrenheit unit
    // the correction is first multiplied by 5/9 (truncated toward zero).
    [[nodiscard]] int displayedEgt(int egtCorrection, bool fahrenheit) const;

    // Text-table numbers of a display state (0..20) and of an error code
    // (0..19, text 24 + code); -1 outside those ranges.
    [[nodiscard]] static int DisplayStateTextNumber(int displayState);
    [[nodiscard]] static int ErrorTextNumber(int errorCode);
    // Display state of an ECU state code 0..15 (unknown codes: 0, "Stop").
    [[nodiscard]] static int DisplayStateOfEngineState(int engineState);

    // --- presence rules --------------------------------------------------
    // What the main window's status boxes and turbexctl show of the units
    // around the ECU, over the plain field values (so that a copy of the
    // fields can use them too). Text numbers are rows of CTextTable.
    //
    // Starter: type text 87 "Unsupport" (none fitted), 89 "Fault" (fitted,
    // not answering) or 90 "Normally"; its state, RPM and temperature count
    // only while it works (fitted and answering).
    [[nodiscard]] static int StarterTypeTextNumber(bool fitted, bool answering);
    [[nodiscard]] static bool StarterWorking(bool fitted, bool answering);
    // TCU: while it answers, its version is shown ("TCU:%d.%d.%d") and this
    // gives -1; otherwise 88 "Offline" when one is fitted, 87 "Unsupport"
    // when not. Its voltage and temperature count while one is present
    // (fitted or answering).
    [[nodiscard]] static int TcuStatusTextNumber(bool fitted, bool answering);
    [[nodiscard]] static bool TcuPresent(bool fitted, bool answering);
    // "TCU:%d.%d.%d" of the three version bytes.
    [[nodiscard]] static std::string TcuVersionText(const std::array<uint8_t, 3>& version);
    // Main pump kinds (2 bits each): ECU pump 0 and 3 "DC Motor" (97), 1
    // "BLDC Motor" (98), 2 "Fault" (99); TCU pump 0 "Unsupport" (100), 1
    // "DC Motor", 2 "BLDC Motor", 3 "Fault". Higher bits are ignored. Its
    // state, RPM and temperature count (and feed the BLDC pump page) when
    // the ECU pump kind is not 0 or the TCU pump kind is above 1.
    [[nodiscard]] static int EcuPumpKindTextNumber(int kind);
    [[nodiscard]] static int TcuPumpKindTextNumber(int kind);
    [[nodiscard]] static bool MainPumpReported(int ecuKind, int tcuKind);
    // Ignition pump state 0..5: 87 "Unsupport", 88 "Offline", then 101..104
    // as a run state; its RPM and temperature count from state 2 on.
    [[nodiscard]] static int IgnitionPumpStateTextNumber(int state);
    [[nodiscard]] static bool IgnitionPumpReported(int state);
    // Starter or main pump state 0..3: 101 "Stop", 102 "Start", 103 "Run",
    // 104 "Brake". -1 outside the ranges, here and above.
    [[nodiscard]] static int RunStateTextNumber(int state);

    // --- fields ------------------------------------------------------------
    uint8_t cpu_load = 0;     // %
    uint8_t engine_state = 0; // ECU state code 0..15 (5-bit field)
    uint8_t error_code = 0;   // ECU fault code 0..19 (5-bit field)
    bool throttle_lock = false;
    bool low_voltage = false;
    bool learning_max_min = false;  // block generation
    bool learning_high_end = false; // block: 1 = stick-up end
    bool learning_idle = false;     // block
    bool starter_fault = false;     // block fault bits
    bool glow_plug_fault = false;
    bool temperature_sensor_fault = false;
    bool valve_fault = false;
    bool fault_bit5 = false;
    bool pump_fault = false;
    bool stick_down_ignition = false; // block
    bool stick_down_running = false;  // block
    bool overload = false;
    bool pump_limit = false;
    int32_t engine_rpm = 0;
    int16_t egt = 0; // °C
    // Main pump voltage in hundredths of a volt (item packet-1 field 9; block
    // register 1 bytes 7-8 low 13 bits, doubled with the double-range flag,
    // then divided by 10). The chart pages show it as hundredths.
    uint16_t pump_voltage_centivolts = 0;
    // Item: packet-1 field 10, V. Block: the parameter block's ignition pump
    // voltage (text id 50).
    float pump_voltage = 0;
    float rc_voltage = 0;           // V
    float battery_voltage = 0;      // V
    float current = 0;              // A
    uint16_t rc_throttle_input = 0; // µs
    uint16_t rc_switch_input = 0;   // µs
    int32_t cpu_temperature = -60;  // °C; -60 = not reported ("???")
    uint32_t air_pressure = 0;      // Pa
    int32_t altitude = 0;           // m
    uint32_t record_storage = 0;    // not 0: records to download
    bool alternator_present = false;
    float alternator_voltage = 0;    // V
    uint8_t ignition_pump_state = 0; // 0 unsupported, 1 offline, 2 stop, 3 start, 4 run, 5 brake
    int32_t ignition_pump_rpm = 0;
    int16_t ignition_pump_temperature = 0; // °C
    int16_t fuel_temperature = 0;          // °C
    float fuel_pressure = 0;               // MPa
    float combustion_pressure = 0;         // MPa
    bool tcu_fitted = false;
    bool tcu_answering = false;
    std::array<uint8_t, 3> tcu_version{}; // major, minor, patch
    uint16_t tcu_voltage = 0;
    int16_t tcu_temperature = 0; // °C
    bool starter_fitted = false;
    bool starter_answering = false;
    uint8_t starter_state = 0; // 0 stop, 1 start, 2 run, 3 brake
    int32_t starter_rpm = 0;
    // °C. Wider than the ECU's byte: the item generation reports up to
    // 195 °C, which a signed byte would turn negative.
    int16_t starter_temperature = 0;
    uint8_t main_pump_ecu_kind = 0;
    uint8_t main_pump_tcu_kind = 0;
    uint8_t main_pump_state = 0; // 0 stop, 1 start, 2 run, 3 brake
    int32_t main_pump_rpm = 0;
    int16_t main_pump_temperature = 0; // °C
    bool rpm_control_state = false;    // block
    uint8_t record_format = 0;         // 1: 14-byte chunks, else 15
    uint8_t record_rate_code = 0;      // 0..3: 2, 4, 8, 16 samples/s

    // Register 5: presence mask, reading group 1 (two values whose meaning is
    // not settled) and group 2, the measured thrust in kg.
    uint8_t sensor_mask = 0;
    float sensor_value1 = 0; // 10 bits / 100
    float sensor_value2 = 0; // 14 bits / 10
    float sensor_thrust = 0; // signed 16 bits / 100, kg

    // Aux fields (meaning not settled; decoded so later fields land right).
    // Packet 1: fields 4, 5, 6 (x 10; zeroed again at the end of the packet),
    // 11 (x 10), 15 (/ 10), 17, 20, 21, 22 (low 16 bits kept), 23. Block: aux 3 is register 1 bytes
    // 16-17 low 12 bits (a guess), x 10 with format version > 3.
    uint8_t aux1 = 0;
    uint8_t aux2 = 0;
    uint16_t aux3 = 0;
    uint16_t aux4 = 0;
    float aux5 = 0;
    bool aux6 = false;
    uint8_t aux7 = 0;
    uint16_t aux8 = 0;
    uint16_t aux9 = 0;
    uint16_t aux10 = 0;
    // Packet 2: fields 8, 9, 10 (x 10), 11 (x 10), 12 ((v - 12) x 5),
    // 13 (x 10), 14 (x 10), 27.
    uint8_t p2_aux8 = 0;
    uint8_t p2_aux9 = 0;
    int32_t p2_aux10 = 0;
    int32_t p2_aux11 = 0;
    int32_t p2_aux12 = 0;
    int32_t p2_aux13 = 0;
    int32_t p2_aux14 = 0;
    bool p2_aux27 = false;
    // Block generation: the two pages as last decoded, for the fields not
    // named above.
    std::array<uint8_t, 32> block_reg1{};
    std::array<uint8_t, 32> block_reg4{};
};
