#include "sim/TelemetryEncoder.h"

#include "sim/BitWriter.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace sim {

namespace {

// Nearest whole number of units, saturated to a field of width bits.
uint32_t Raw(double value, double multiplier, uint8_t width) {
    const int64_t maximum = (int64_t{1} << width) - 1;
    return static_cast<uint32_t>(std::clamp<int64_t>(std::llround(value * multiplier), 0, maximum));
}

uint32_t Offset(int64_t value, int64_t offset, uint8_t width) {
    const int64_t maximum = (int64_t{1} << width) - 1;
    return static_cast<uint32_t>(std::clamp<int64_t>(value + offset, 0, maximum));
}

void Put16(TelemetryEncoder::Page& page, size_t at, uint32_t value) {
    page[at] = static_cast<uint8_t>(value & 0xFF);
    page[at + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void ItemPacket1(const LiveValues& in, std::span<uint8_t> body, LiveValues& out) {
    using A = TelemetryAux;
    BitWriter w(body);
    out.cpuLoad = static_cast<uint8_t>(Raw(in.cpuLoad, 1, 8));
    w.WriteBits(out.cpuLoad, 8);
    out.engineState = static_cast<uint8_t>(Raw(in.engineState, 1, 5));
    w.WriteBits(out.engineState, 5);
    out.errorCode = static_cast<uint8_t>(Raw(in.errorCode, 1, 5));
    w.WriteBits(out.errorCode, 5);
    w.WriteBits(A::p1Byte1, 8);
    w.WriteBits(A::p1Value2, 3);
    w.WriteBits(A::p1Value3, 12);
    const uint32_t rpm = Raw(in.rpm, 0.1, 15);
    out.rpm = static_cast<int32_t>(rpm * 10);
    w.WriteBits(rpm, 15);
    const uint32_t egt = Offset(in.egt, 60, 11);
    out.egt = static_cast<int16_t>(static_cast<int32_t>(egt) - 60);
    w.WriteBits(egt, 11);
    const uint32_t hundredths = Raw(in.pumpVoltageHundredths, 1, 13);
    out.pumpVoltageHundredths = static_cast<uint16_t>(hundredths);
    w.WriteBits(hundredths, 13);
    const uint32_t pump = Raw(in.pumpVoltage, 100, 13);
    out.pumpVoltage = pump / 100.0;
    w.WriteBits(pump, 13);
    w.WriteBits(A::p1Value4, 9);
    const uint32_t battery = Raw(in.batteryVoltage, 10, 9);
    out.batteryVoltage = battery * 10 / 100.0;
    w.WriteBits(battery, 9);
    const uint32_t rc = Raw(in.rcVoltage, 10, 9);
    out.rcVoltage = rc * 10 / 100.0;
    w.WriteBits(rc, 9);
    const uint32_t current = Raw(in.current, 10, 10);
    out.current = current / 10.0;
    w.WriteBits(current, 10);
    w.WriteBits(A::p1Value5, 10);
    out.throttleLock = in.throttleLock;
    w.WriteBits(in.throttleLock ? 1 : 0, 1);
    w.WriteBits(A::p1Flag6, 1);
    const uint32_t throttle = Raw(in.rcThrottleUs, 0.1, 8);
    out.rcThrottleUs = static_cast<uint16_t>(throttle * 10);
    w.WriteBits(throttle, 8);
    const uint32_t sw = Raw(in.rcSwitchUs, 0.1, 8);
    out.rcSwitchUs = static_cast<uint16_t>(sw * 10);
    w.WriteBits(sw, 8);
    w.WriteBits(A::p1Value7, 7);
    w.WriteBits(A::p1Value8, 16);
    w.WriteBits(A::p1Value9, 24);
    w.WriteBits(A::p1Value10, 12);
    out.alternatorPresent = in.alternatorPresent;
    w.WriteBits(in.alternatorPresent ? 1 : 0, 1);
    const uint32_t alternator = Raw(in.alternatorVoltage, 10, 11);
    out.alternatorVoltage = alternator / 10.0;
    w.WriteBits(alternator, 11);
    out.pumpLimit = in.pumpLimit;
    out.lowVoltage = in.lowVoltage;
    out.overload = in.overload;
    const uint32_t warnings =
        (in.pumpLimit ? 0x01u : 0u) | (in.lowVoltage ? 0x04u : 0u) | (in.overload ? 0x08u : 0u);
    w.WriteBits(warnings, 7);
    out.recordFormat = static_cast<uint8_t>(in.recordFormat & 3);
    out.recordRateCode = static_cast<uint8_t>(in.recordRateCode & 3);
    w.WriteBits(static_cast<uint32_t>(out.recordFormat | (out.recordRateCode << 2)), 4);
    const uint32_t storage = std::min<uint32_t>(in.recordStorage / 512, 255);
    out.recordStorage = storage * 512;
    w.WriteBits(storage, 8);
}

void ItemPacket2(const LiveValues& in, std::span<uint8_t> body, LiveValues& out) {
    using A = TelemetryAux;
    BitWriter w(body);
    const uint32_t air = Raw(in.airPressurePa, 0.1, 14);
    out.airPressurePa = air * 10;
    w.WriteBits(air, 14);
    const uint32_t altitude = Offset(in.altitudeM, 1000, 14);
    out.altitudeM = static_cast<int32_t>(altitude) - 1000;
    w.WriteBits(altitude, 14);
    out.mainPumpTcuKind = static_cast<uint8_t>(in.mainPumpTcuKind & 3);
    out.mainPumpEcuKind = static_cast<uint8_t>(in.mainPumpEcuKind & 3);
    out.mainPumpState = static_cast<uint8_t>(in.mainPumpState & 3);
    w.WriteBits(out.mainPumpTcuKind, 2);
    w.WriteBits(out.mainPumpEcuKind, 2);
    w.WriteBits(out.mainPumpState, 2);
    const uint32_t ignitionRpm = Raw(in.mainPumpRpm, 0.1, 12);
    out.mainPumpRpm = static_cast<int32_t>(ignitionRpm * 10);
    w.WriteBits(ignitionRpm, 12);
    const uint32_t ignitionTemp = Offset(in.mainPumpTemperature, 60, 8);
    out.mainPumpTemperature = static_cast<int16_t>(static_cast<int32_t>(ignitionTemp) - 60);
    w.WriteBits(ignitionTemp, 8);
    w.WriteBits(A::p2Value8, 4);
    w.WriteBits(A::p2Value9, 5);
    w.WriteBits(A::p2Value10, 15);
    w.WriteBits(A::p2Value11, 15);
    w.WriteBits(A::p2Value12, 8);
    w.WriteBits(A::p2Value13, 8);
    w.WriteBits(A::p2Value14, 8);
    out.tcuFitted = in.tcuFitted;
    out.tcuAnswering = in.tcuAnswering;
    w.WriteBits(in.tcuFitted ? 1 : 0, 1);
    w.WriteBits(in.tcuAnswering ? 1 : 0, 1);
    out.tcuVersion[0] = static_cast<uint8_t>(std::min<int>(in.tcuVersion[0], 15));
    out.tcuVersion[1] = static_cast<uint8_t>(std::min<int>(in.tcuVersion[1], 15));
    out.tcuVersion[2] = in.tcuVersion[2];
    w.WriteBits(out.tcuVersion[0], 4);
    w.WriteBits(out.tcuVersion[1], 4);
    w.WriteBits(out.tcuVersion[2], 8);
    const uint32_t tcuVoltage = Raw(in.tcuVoltage, 0.1, 9);
    out.tcuVoltage = static_cast<uint16_t>(tcuVoltage * 10);
    w.WriteBits(tcuVoltage, 9);
    const uint32_t tcuTemp = Offset(in.tcuTemperature, 60, 8);
    out.tcuTemperature = static_cast<int16_t>(static_cast<int32_t>(tcuTemp) - 60);
    w.WriteBits(tcuTemp, 8);
    out.starterFitted = in.starterFitted;
    out.starterAnswering = in.starterAnswering;
    out.starterState = static_cast<uint8_t>(in.starterState & 3);
    w.WriteBits(in.starterFitted ? 1 : 0, 1);
    w.WriteBits(in.starterAnswering ? 1 : 0, 1);
    w.WriteBits(out.starterState, 2);
    const uint32_t starterRpm = Raw(in.starterRpm, 0.1, 15);
    out.starterRpm = static_cast<int32_t>(starterRpm * 10);
    w.WriteBits(starterRpm, 15);
    const uint32_t starterTemp = Offset(in.starterTemperature, 60, 8);
    out.starterTemperature = static_cast<int8_t>(static_cast<int32_t>(starterTemp) - 60);
    w.WriteBits(starterTemp, 8);
    w.WriteBits(A::p2Flag27, 1);
    const uint32_t cpuTemp = Offset(in.cpuTemperature, 60, 8);
    out.cpuTemperature = static_cast<int32_t>(cpuTemp) - 60;
    w.WriteBits(cpuTemp, 8);
    out.ignitionPumpState = static_cast<uint8_t>(std::min<int>(in.ignitionPumpState, 7));
    w.WriteBits(out.ignitionPumpState, 3);
    if (out.ignitionPumpState >= 2) {
        const uint32_t ignitionPumpRpm = Raw(in.ignitionPumpRpm, 0.01, 9);
        out.ignitionPumpRpm = static_cast<int32_t>(ignitionPumpRpm * 100);
        w.WriteBits(ignitionPumpRpm, 9);
        const uint32_t pumpTemp = Offset(in.ignitionPumpTemperature, 60, 8);
        out.ignitionPumpTemperature = static_cast<int16_t>(static_cast<int32_t>(pumpTemp) - 60);
        w.WriteBits(pumpTemp, 8);
    } else {
        out.ignitionPumpRpm = 0;
        out.ignitionPumpTemperature = 0;
        w.Skip(17);
    }
    const uint32_t fuelTemp = Offset(in.fuelTemperature, 60, 8);
    out.fuelTemperature = static_cast<int16_t>(static_cast<int32_t>(fuelTemp) - 60);
    w.WriteBits(fuelTemp, 8);
    const uint32_t fuel = Raw(in.fuelPressure + 0.5, 1000, 11);
    out.fuelPressure = fuel / 1000.0 - 0.5;
    w.WriteBits(fuel, 11);
    const uint32_t combustion = Raw(in.combustionPressure, 500, 10);
    out.combustionPressure = combustion / 500.0;
    w.WriteBits(combustion, 10);
}

} // namespace

TelemetryEncoder::Page
TelemetryEncoder::ItemPacket(const LiveValues& in, uint8_t k, uint8_t n, LiveValues& encoded) {
    Page page{};
    page[0] = static_cast<uint8_t>((n & 0x07) | ((k & 0x07) << 3));
    std::span<uint8_t> body(page.data() + 1, page.size() - 1);
    if (k == 1) {
        ItemPacket1(in, body, encoded);
    } else if (k == 2) {
        ItemPacket2(in, body, encoded);
    }
    return page;
}

TelemetryEncoder::Page
TelemetryEncoder::BlockRegister1(const LiveValues& in, bool doubleRange, LiveValues& out) {
    Page page{};
    out.cpuLoad = static_cast<uint8_t>(std::min<int>(in.cpuLoad, 127));
    page[0] = out.cpuLoad;
    out.engineState = static_cast<uint8_t>(in.engineState & 0x1F);
    out.learningMaxMin = in.learningMaxMin;
    out.lowVoltage = in.lowVoltage;
    out.throttleLock = in.throttleLock;
    page[1] = static_cast<uint8_t>(out.engineState | (in.learningMaxMin ? 0x20 : 0) |
                                   (in.lowVoltage ? 0x40 : 0) | (in.throttleLock ? 0x80 : 0));
    out.learningHighEnd = in.learningHighEnd;
    out.starterFault = in.starterFault;
    out.glowPlugFault = in.glowPlugFault;
    out.temperatureSensorFault = in.temperatureSensorFault;
    out.valveFault = in.valveFault;
    out.faultBit5 = in.faultBit5;
    out.pumpFault = in.pumpFault;
    out.learningIdle = in.learningIdle;
    page[2] = static_cast<uint8_t>((in.learningHighEnd ? 0x01 : 0) | (in.starterFault ? 0x02 : 0) |
                                   (in.glowPlugFault ? 0x04 : 0) |
                                   (in.temperatureSensorFault ? 0x08 : 0) |
                                   (in.valveFault ? 0x10 : 0) | (in.faultBit5 ? 0x20 : 0) |
                                   (in.pumpFault ? 0x40 : 0) | (in.learningIdle ? 0x80 : 0));
    const uint32_t rpm = Raw(in.rpm, 0.1, 16);
    out.rpm = static_cast<int32_t>(rpm * 10);
    Put16(page, 3, rpm);
    const int16_t egt = static_cast<int16_t>(std::clamp<int32_t>(in.egt, -32768, 32767));
    out.egt = egt;
    Put16(page, 5, static_cast<uint16_t>(egt));
    // Thousandths of a volt, or two thousandths with the double range.
    const uint32_t step = doubleRange ? 2 : 1;
    const uint32_t raw =
        std::min<uint32_t>(static_cast<uint32_t>(in.pumpVoltageHundredths) * 10 / step, 0x1FFF);
    out.pumpVoltageHundredths = static_cast<uint16_t>(raw * step / 10);
    Put16(page, 7, raw);
    const uint32_t rc = Raw(in.rcVoltage, 10, 8);
    out.rcVoltage = rc / 10.0;
    page[10] = static_cast<uint8_t>(rc);
    const uint32_t battery = Raw(in.batteryVoltage, 10, 8);
    out.batteryVoltage = battery / 10.0;
    page[11] = static_cast<uint8_t>(battery);
    const int64_t milliamps = std::clamp<int64_t>(std::llround(in.current * 1000), -32768, 32767);
    out.current = static_cast<double>(milliamps) / 1000.0;
    Put16(page, 12, static_cast<uint16_t>(static_cast<int16_t>(milliamps)));
    const uint32_t throttle = Raw(in.rcThrottleUs, 1, 12);
    out.rcThrottleUs = static_cast<uint16_t>(throttle);
    Put16(page, 14, throttle);
    return page;
}

TelemetryEncoder::Page TelemetryEncoder::BlockRegister4(const LiveValues& in, LiveValues& out) {
    Page page{};
    const uint32_t air = Raw(in.airPressurePa, 0.5, 16);
    out.airPressurePa = air * 2;
    Put16(page, 0, air);
    const uint32_t storage = std::min<uint32_t>(in.recordStorage / 512, 255);
    out.recordStorage = storage * 512;
    page[2] = static_cast<uint8_t>(storage);
    out.recordFormat = static_cast<uint8_t>(in.recordFormat & 3);
    out.recordRateCode = static_cast<uint8_t>(in.recordRateCode & 3);
    page[3] = static_cast<uint8_t>((out.recordFormat << 4) | (out.recordRateCode << 6));
    out.errorCode = static_cast<uint8_t>(in.errorCode & 0x1F);
    page[6] = static_cast<uint8_t>((out.errorCode & 0x07) << 5);
    out.tcuFitted = in.tcuFitted;
    out.tcuAnswering = in.tcuAnswering;
    out.starterFitted = in.starterFitted;
    out.starterAnswering = in.starterAnswering;
    out.starterState = static_cast<uint8_t>(in.starterState & 3);
    page[7] = static_cast<uint8_t>((out.errorCode >> 3) | (in.tcuFitted ? 0x04 : 0) |
                                   (in.tcuAnswering ? 0x08 : 0) | (in.starterFitted ? 0x10 : 0) |
                                   (in.starterAnswering ? 0x20 : 0) | (out.starterState << 6));
    const uint32_t starterRpm = Raw(in.starterRpm, 0.25, 16);
    out.starterRpm = static_cast<int32_t>(starterRpm * 4);
    Put16(page, 8, starterRpm);
    out.starterTemperature = in.starterTemperature;
    page[10] = static_cast<uint8_t>(in.starterTemperature);
    out.pumpLimit = in.pumpLimit;
    out.rpmControlState = in.rpmControlState;
    out.mainPumpEcuKind = static_cast<uint8_t>(in.mainPumpEcuKind & 3);
    out.mainPumpTcuKind = static_cast<uint8_t>(in.mainPumpTcuKind & 3);
    out.mainPumpState = static_cast<uint8_t>(in.mainPumpState & 3);
    page[11] = static_cast<uint8_t>((in.pumpLimit ? 0x01 : 0) | (in.rpmControlState ? 0x02 : 0) |
                                    (out.mainPumpEcuKind << 2) | (out.mainPumpTcuKind << 4) |
                                    (out.mainPumpState << 6));
    std::copy(std::begin(in.tcuVersion), std::end(in.tcuVersion), out.tcuVersion);
    page[12] = in.tcuVersion[0];
    page[13] = in.tcuVersion[1];
    page[14] = in.tcuVersion[2];
    const uint32_t tcuVoltage = Raw(in.tcuVoltage, 1, 12);
    out.tcuVoltage = static_cast<uint16_t>(tcuVoltage);
    Put16(page, 15, tcuVoltage);
    const uint32_t ignitionRpm = Raw(in.mainPumpRpm, 0.25, 16);
    out.mainPumpRpm = static_cast<int32_t>(ignitionRpm * 4);
    Put16(page, 17, ignitionRpm);
    const int8_t ignitionTemp =
        static_cast<int8_t>(std::clamp<int32_t>(in.mainPumpTemperature, -128, 127));
    out.mainPumpTemperature = ignitionTemp;
    page[19] = static_cast<uint8_t>(ignitionTemp);
    const uint32_t sw = Raw(in.rcSwitchUs, 1, 12);
    out.rcSwitchUs = static_cast<uint16_t>(sw);
    Put16(page, 20, sw);
    const uint32_t altitude = Offset(in.altitudeM, 2000, 14);
    out.altitudeM = static_cast<int32_t>(altitude) - 2000;
    out.overload = in.overload;
    out.stickDownAtIgnition = in.stickDownAtIgnition;
    page[23] = static_cast<uint8_t>((in.overload ? 0x01 : 0) | (in.stickDownAtIgnition ? 0x02 : 0) |
                                    ((altitude >> 8) << 2));
    page[24] = static_cast<uint8_t>(altitude & 0xFF);
    out.stickDownWhileRunning = in.stickDownWhileRunning;
    page[25] = in.stickDownWhileRunning ? 0x01 : 0;
    // 0 stands for "no reading": a temperature of -60 or below reads back as 0.
    const uint32_t tcuTemp = Offset(in.tcuTemperature, 60, 8);
    out.tcuTemperature =
        tcuTemp == 0 ? 0 : static_cast<int16_t>(static_cast<int32_t>(tcuTemp) - 60);
    page[26] = static_cast<uint8_t>(tcuTemp);
    const uint32_t alternator = Raw(in.alternatorVoltage, 10, 11);
    out.alternatorVoltage = alternator / 10.0;
    Put16(page, 27, alternator);
    out.alternatorPresent = in.alternatorPresent;
    page[31] = in.alternatorPresent ? 0x80 : 0;
    return page;
}

std::array<uint8_t, 6> TelemetryEncoder::Register5(const LiveValues& in, LiveValues& out) {
    std::array<uint8_t, 6> bytes{};
    BitWriter w(bytes);
    const uint32_t mask = (in.sensorGroup1 ? 1u : 0u) | (in.thrustSensor ? 2u : 0u);
    w.WriteBits(mask, 8);
    out.sensorGroup1 = in.sensorGroup1;
    out.thrustSensor = in.thrustSensor;
    out.sensorValue1 = 0.0;
    out.sensorValue2 = 0.0;
    out.thrustKg = 0.0;
    if (in.sensorGroup1) {
        const uint32_t v1 = Raw(in.sensorValue1, 100, 10);
        const uint32_t v2 = Raw(in.sensorValue2, 10, 14);
        out.sensorValue1 = v1 / 100.0;
        out.sensorValue2 = v2 / 10.0;
        w.WriteBits(v1, 10);
        w.WriteBits(v2, 14);
    }
    if (in.thrustSensor) {
        const int64_t thrust = std::clamp<int64_t>(std::llround(in.thrustKg * 100), -32768, 32767);
        out.thrustKg = static_cast<double>(thrust) / 100.0;
        w.WriteBits(static_cast<uint16_t>(static_cast<int16_t>(thrust)), 16);
    }
    return bytes;
}

} // namespace sim
