#include "sim/EcuParameterStore.h"

#include "sim/BitWriter.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

// Bits of each page that a parameter (or the page's fixed information) owns;
// the rest is stored as written.
constexpr std::array<uint8_t, 32> kOwned1 = {
    0xFF, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F,
    0xFF, 0x0F, 0xFF, 0x0F, 0xF7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr std::array<uint8_t, 32> kOwned2 = {
    0x7F, 0xFF, 0xFF, 0x0F, 0xFF, 0xFF, 0xF3, 0xFF, 0xFF, 0x7F, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0x00,
    0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

// value × multiplier in whole units. The small bias keeps 2.3 × 10 at 23
// where binary floating point gives 22.999...
int64_t Units(double value, double multiplier) {
    return static_cast<int64_t>(std::floor(value * multiplier + 1e-6));
}

// Saturates raw to a field of width bits at shift and ORs it into byte.
void Put(uint8_t& byte, int64_t raw, uint8_t shift, uint8_t width) {
    const int64_t maximum = (int64_t{1} << width) - 1;
    raw = std::clamp<int64_t>(raw, 0, maximum);
    byte = static_cast<uint8_t>(byte | (raw << shift));
}

uint8_t Bits(uint8_t byte, uint8_t shift, uint8_t width) {
    return static_cast<uint8_t>((byte >> shift) & ((1u << width) - 1u));
}

// Text id whose support decides whether an item id is taken; 0 for always.
int SupportTextIdOfItem(uint8_t id) {
    switch (id) {
    case 48:
        return 8;
    case 66:
        return 9;
    case 50:
        return 24;
    case 57:
        return 25;
    case 58:
        return 26;
    case 42:
        return 47;
    case 29:
        return 57;
    case 67:
        return 62;
    case 51:
        return 63;
    case 52:
        return 64;
    case 25:
        return 69;
    case 39:
        return 70;
    case 61:
        return 37;
    case 62:
        return 39;
    case 65:
        return 41;
    case 63:
        return 58;
    default:
        return 0;
    }
}

bool InRange(int textId, int first, int last) {
    return textId >= first && textId <= last;
}

} // namespace

uint8_t ItemValueLength(uint8_t id) {
    if ((id >= 1 && id <= 8) || (id >= 15 && id <= 55) || id == 57 || id == 58 || id == 59 ||
        id == 66 || id == 67) {
        return 1;
    }
    switch (id) {
    case 60:
        return 6;
    case 61:
        return 2;
    case 62:
        return 2;
    case 63:
        return 5;
    case 65:
        return 4;
    case 69:
        return 5;
    case 0xD4:
        return 2;
    default:
        return 0;
    }
}

EcuParameterStore::EcuParameterStore(const EcuFormat& format,
                                     const EcuFeatures& features,
                                     uint8_t blockSpareFill)
    : m_format(format)
    , m_features(features) {
    for (size_t i = 0; i < kPageSize; ++i) {
        m_spare1[i] = static_cast<uint8_t>(blockSpareFill & ~kOwned1[i]);
        m_spare2[i] = static_cast<uint8_t>(blockSpareFill & ~kOwned2[i]);
    }
    SetEngineName("Turbex T-100");
}

bool EcuParameterStore::Exists(int textId) const {
    if (textId < 1 || textId > 79) {
        return false;
    }
    const bool itemOnly = textId == 10 || textId == 11 || textId == 12 || InRange(textId, 27, 30) ||
                          InRange(textId, 33, 44) || InRange(textId, 58, 62) || textId == 69;
    const bool blockOnly = textId == 50 || textId == 75 || textId == 79;
    return m_format.generation == EcuGeneration::Item ? !blockOnly : !itemOnly;
}

bool EcuParameterStore::GroupSupported(int firstTextId) const {
    int last = firstTextId;
    switch (firstTextId) {
    case 37:
        last = 38;
        break;
    case 39:
        last = 40;
        break;
    case 41:
        last = 44;
        break;
    case 58:
        last = 61;
        break;
    default:
        break;
    }
    for (int id = firstTextId; id <= last; ++id) {
        if (m_features.unsupported.test(static_cast<size_t>(id))) {
            return false;
        }
    }
    return true;
}

bool EcuParameterStore::Supported(int textId) const {
    if (!Exists(textId)) {
        return false;
    }
    if (m_format.generation == EcuGeneration::Item) {
        if (InRange(textId, 37, 38))
            return GroupSupported(37);
        if (InRange(textId, 39, 40))
            return GroupSupported(39);
        if (InRange(textId, 41, 44))
            return GroupSupported(41);
        if (InRange(textId, 58, 61))
            return GroupSupported(58);
        switch (textId) {
        case 8:
        case 9:
        case 24:
        case 25:
        case 26:
        case 47:
        case 57:
        case 62:
        case 63:
        case 64:
        case 69:
        case 70:
            return !m_features.unsupported.test(static_cast<size_t>(textId));
        default:
            return true;
        }
    }
    switch (textId) {
    case 8:
    case 9:
    case 24:
    case 47:
    case 57:
    case 63:
    case 64:
        return !m_features.unsupported.test(static_cast<size_t>(textId));
    default:
        return true;
    }
}

// ---------------------------------------------------------------- block pages

EcuParameterStore::Page EcuParameterStore::EncodePage1() const {
    const EcuParameters& p = m_parameters;
    const int rpmDivisor = m_format.blockFormat == 2 ? 1000 : 200;
    const int clutchDivisor = m_format.blockFormat == 2 ? 1000 : 500;
    const double ignitionMultiplier = m_format.blockFormat >= 4 ? 50 : 100;
    const double ignitionPump2Multiplier = m_format.doubleRange ? 10 : 20;
    Page page = m_spare1;
    page[0] = m_format.blockFormat;
    Put(page[1], p.restartAllowed ? 1 : 0, 2, 1);
    Put(page[2], p.throttlePointMax / 10, 0, 8);
    Put(page[3], p.throttlePointMin / 10, 0, 8);
    Put(page[4], p.throttlePointIdle / 10, 0, 8);
    Put(page[5], Units(p.lostSignalDelay, 10), 0, 8);
    Put(page[6], p.maxEgt / 10, 0, 8);
    Put(page[7], Units(p.minBatteryVoltage, 10), 0, 8);
    Put(page[8], Units(p.starterEjectTime, 10), 0, 8);
    Put(page[9], Units(p.starterEjectVoltage, 10), 0, 8);
    Put(page[10], Units(p.starterRunVoltage, 10), 0, 8);
    Put(page[11], p.starterStability, 0, 8);
    Put(page[12], p.coolingRpm / rpmDivisor, 0, 8);
    Put(page[13], p.ignitionRpm / rpmDivisor, 0, 8);
    Put(page[14], Units(p.ignitionPumpVoltage, ignitionMultiplier), 0, 8);
    Put(page[15], p.starterMotorRamp / 10, 0, 4);
    Put(page[16], Units(p.glowStartVoltage, 10), 0, 8);
    Put(page[17], p.ignitionValveDuty / 5, 0, 4);
    Put(page[18], p.preheatRpm / rpmDivisor, 0, 8);
    Put(page[19], p.pumpRamp, 0, 4);
    Put(page[20], p.busThrottleChannel, 0, 3);
    Put(page[20], p.busTelemetryMode, 4, 3);
    Put(page[20], m_format.doubleRange ? 1 : 0, 7, 1);
    Put(page[21], p.clutchRpm / clutchDivisor, 0, 8);
    Put(page[22], Units(p.glowRestartVoltage, 10), 0, 8);
    Put(page[23], Units(p.blockIgnitionPumpVoltage, ignitionPump2Multiplier), 0, 8);
    Put(page[24], p.runMinRpm / 1000, 0, 8);
    Put(page[25], p.runIdleRpm / 1000, 0, 8);
    Put(page[26], p.runMaxRpm / 1000, 0, 8);
    Put(page[28], p.throttleDeceleration, 0, 8);
    Put(page[29], p.throttleAcceleration, 0, 8);
    Put(page[30], p.designMaxRpm / 1000, 0, 8);
    Put(page[31], Supported(8) ? p.baudIndex + 1 : 0, 0, 4);
    Put(page[31], Supported(9) ? p.stopBitsIndex + 1 : 0, 4, 4);
    return page;
}

EcuParameterStore::Page EcuParameterStore::EncodePage2() const {
    const EcuParameters& p = m_parameters;
    const double limitMultiplier = m_format.doubleRange ? 10 : 20;
    Page page = m_spare2;
    const int correction = std::clamp(p.egtCorrection, -32, 31);
    page[0] = static_cast<uint8_t>(page[0] | (static_cast<unsigned>(correction) & 0x3Fu));
    Put(page[0], p.temperatureUnit, 6, 1);
    Put(page[1], Units(p.pumpLimit, limitMultiplier), 0, 8);
    Put(page[2], p.busSwitchChannel, 0, 5);
    Put(page[2], p.telemetryProtocol, 5, 3);
    Put(page[3], p.pumpIdleSensitivity, 0, 4);
    Put(page[4], Units(p.pumpTestMaxVoltage, 10), 0, 8);
    Put(page[5], p.auxValue, 0, 4);
    Put(page[5], p.supportedPumpTypes, 4, 4);
    Put(page[6], p.pumpMode, 0, 2);
    Put(page[6], Supported(47) ? p.preheatTimeIndex + 1 : 0, 4, 4);
    Put(page[7], p.temperatureScale, 0, 8);
    Put(page[8], Supported(24) ? p.ignitionConfirmTempIndex + 1 : 0, 0, 3);
    Put(page[8], Supported(57) ? p.pumpMaxCurrentIndex + 1 : 0, 3, 5);
    const bool switches[7] = {p.reduceCoolingTime,
                              p.noGlowPlugCheck,
                              p.switchBit2,
                              p.coolingAfterFlameout,
                              p.standbyBeep,
                              p.noRadioTimeout,
                              p.linearRpm};
    for (uint8_t bit = 0; bit < 7; ++bit) {
        Put(page[9], switches[bit] ? 1 : 0, bit, 1);
    }
    Put(page[10], Supported(63) ? p.preheatEndTempIndex + 1 : 0, 0, 3);
    Put(page[10], p.maxCurrentIndexOffered + 1, 3, 5);
    Put(page[12], p.starterPolePairs, 0, 5);
    Put(page[12], Supported(64) ? p.preheatForcedDelayIndex + 1 : 0, 5, 3);
    Put(page[13], p.valveVoltage1, 0, 8);
    Put(page[14], p.valveVoltage2, 0, 8);
    Put(page[17], p.starterStopCoefficient, 0, 8);
    return page;
}

void EcuParameterStore::ApplyPage1(const Page& page) {
    EcuParameters& p = m_parameters;
    const int rpmDivisor = m_format.blockFormat == 2 ? 1000 : 200;
    const int clutchDivisor = m_format.blockFormat == 2 ? 1000 : 500;
    const double ignitionMultiplier = m_format.blockFormat >= 4 ? 50 : 100;
    const double ignitionPump2Multiplier = m_format.doubleRange ? 10 : 20;
    // Byte 0 (format), the restart bit (changed by its own command only), the
    // learned throttle points and the double-range flag are the ECU's own and
    // are not taken from a page write.
    p.lostSignalDelay = page[5] / 10.0;
    p.maxEgt = page[6] * 10;
    p.minBatteryVoltage = page[7] / 10.0;
    p.starterEjectTime = page[8] / 10.0;
    p.starterEjectVoltage = page[9] / 10.0;
    p.starterRunVoltage = page[10] / 10.0;
    p.starterStability = page[11];
    p.coolingRpm = page[12] * rpmDivisor;
    p.ignitionRpm = page[13] * rpmDivisor;
    p.ignitionPumpVoltage = page[14] / ignitionMultiplier;
    p.starterMotorRamp = Bits(page[15], 0, 4) * 10;
    p.glowStartVoltage = page[16] / 10.0;
    p.ignitionValveDuty = Bits(page[17], 0, 4) * 5;
    p.preheatRpm = page[18] * rpmDivisor;
    p.pumpRamp = Bits(page[19], 0, 4);
    p.busThrottleChannel = Bits(page[20], 0, 3);
    p.busTelemetryMode = Bits(page[20], 4, 3);
    p.clutchRpm = page[21] * clutchDivisor;
    p.glowRestartVoltage = page[22] / 10.0;
    p.blockIgnitionPumpVoltage = page[23] / ignitionPump2Multiplier;
    p.runMinRpm = page[24] * 1000;
    p.runIdleRpm = page[25] * 1000;
    p.runMaxRpm = page[26] * 1000;
    p.throttleDeceleration = page[28];
    p.throttleAcceleration = page[29];
    p.designMaxRpm = page[30] * 1000;
    // An index field of 0 would declare the parameter missing: keep the value.
    if (Supported(8) && Bits(page[31], 0, 4) != 0) {
        p.baudIndex = Bits(page[31], 0, 4) - 1;
    }
    if (Supported(9) && Bits(page[31], 4, 4) != 0) {
        p.stopBitsIndex = Bits(page[31], 4, 4) - 1;
    }
    for (size_t i = 0; i < kPageSize; ++i) {
        m_spare1[i] = static_cast<uint8_t>(page[i] & ~kOwned1[i]);
    }
}

void EcuParameterStore::ApplyPage2(const Page& page) {
    EcuParameters& p = m_parameters;
    const double limitMultiplier = m_format.doubleRange ? 10 : 20;
    // The EGT correction, the pump information (byte 5) and the highest current
    // index offered are the ECU's own; a write does not change them.
    p.temperatureUnit = Bits(page[0], 6, 1);
    p.pumpLimit = page[1] / limitMultiplier;
    p.busSwitchChannel = Bits(page[2], 0, 5);
    p.telemetryProtocol = Bits(page[2], 5, 3);
    p.pumpIdleSensitivity = Bits(page[3], 0, 4);
    p.pumpTestMaxVoltage = page[4] / 10.0;
    p.pumpMode = Bits(page[6], 0, 2);
    if (Supported(47) && Bits(page[6], 4, 4) != 0) {
        p.preheatTimeIndex = Bits(page[6], 4, 4) - 1;
    }
    p.temperatureScale = page[7];
    if (Supported(24) && Bits(page[8], 0, 3) != 0) {
        p.ignitionConfirmTempIndex = Bits(page[8], 0, 3) - 1;
    }
    if (Supported(57) && Bits(page[8], 3, 5) != 0) {
        p.pumpMaxCurrentIndex = Bits(page[8], 3, 5) - 1;
    }
    p.reduceCoolingTime = Bits(page[9], 0, 1) != 0;
    p.noGlowPlugCheck = Bits(page[9], 1, 1) != 0;
    p.switchBit2 = Bits(page[9], 2, 1) != 0;
    p.coolingAfterFlameout = Bits(page[9], 3, 1) != 0;
    p.standbyBeep = Bits(page[9], 4, 1) != 0;
    p.noRadioTimeout = Bits(page[9], 5, 1) != 0;
    p.linearRpm = Bits(page[9], 6, 1) != 0;
    if (Supported(63) && Bits(page[10], 0, 3) != 0) {
        p.preheatEndTempIndex = Bits(page[10], 0, 3) - 1;
    }
    p.starterPolePairs = Bits(page[12], 0, 5);
    if (Supported(64) && Bits(page[12], 5, 3) != 0) {
        p.preheatForcedDelayIndex = Bits(page[12], 5, 3) - 1;
    }
    p.valveVoltage1 = page[13];
    p.valveVoltage2 = page[14];
    p.starterStopCoefficient = page[17];
    for (size_t i = 0; i < kPageSize; ++i) {
        m_spare2[i] = static_cast<uint8_t>(page[i] & ~kOwned2[i]);
    }
}

// ---------------------------------------------------------- item generation

void EcuParameterStore::EncodeItemPacket1(std::span<uint8_t> body) const {
    const EcuParameters& p = m_parameters;
    BitWriter w(body);
    w.WriteClamped(p.auxValue, 4);
    w.WriteClamped(p.supportedPumpTypes, 4);
    w.WriteClamped(p.maxCurrentIndexOffered + 1, 5);
    w.WriteClamped(Units(p.minBatteryVoltage, 5), 8);
    w.WriteClamped(p.temperatureScale, 8);
    w.WriteClamped(p.coolingRpm / 100, 8);
    w.WriteClamped(p.ignitionRpm / 100, 8);
    w.WriteClamped(p.preheatRpm / 100, 8);
    w.WriteClamped(p.clutchRpm / 200, 8);
    w.WriteClamped(p.runMinRpm / 500, 8);
    w.WriteClamped(p.runIdleRpm / 500, 8);
    w.WriteClamped(p.runMaxRpm / 1000, 8);
    w.WriteClamped(p.designMaxRpm / 1000, 8);
    w.WriteClamped(Units(p.ignitionPumpVoltage, 50), 8);
    // 7 bits hold at most 12.7 V although the item carries up to 25 V: the
    // packet reports the nearest value it can hold.
    w.WriteClamped(Units(p.pumpTestMaxVoltage, 10), 7);
    w.WriteClamped(Units(p.pumpLimit, 5), 8);
    w.WriteClamped(Supported(57) ? p.pumpMaxCurrentIndex + 1 : 0, 5);
    w.WriteClamped(p.throttleDeceleration, 7);
    w.WriteClamped(p.throttleAcceleration, 7);
    w.WriteClamped(p.pumpIdleSensitivity, 4);
    w.WriteClamped(p.pumpMode, 2);
    w.WriteClamped(Units(p.starterEjectTime, 10), 4);
    w.WriteClamped(Units(p.starterEjectVoltage, 10), 8);
    w.WriteClamped(Units(p.starterRunVoltage, 10), 8);
    w.WriteClamped(p.starterStability, 8);
    w.WriteClamped(Units(p.glowStartVoltage, 10), 8);
    w.WriteClamped(Units(p.glowRestartVoltage, 10), 8);
    w.WriteClamped(Supported(47) ? p.preheatTimeIndex + 1 : 0, 4);
    w.WriteClamped(p.throttlePointMax / 10, 8);
    w.WriteClamped(p.throttlePointMin / 10, 8);
    w.WriteClamped(p.throttlePointIdle / 10, 8);
    w.WriteClamped(Units(p.lostSignalDelay, 10), 5);
    w.WriteClamped(p.busThrottleChannel, 3);
    w.WriteClamped(p.busSwitchChannel, 5);
    w.WriteClamped(p.busTelemetryMode, 3);
    w.WriteClamped(Supported(24) ? p.ignitionConfirmTempIndex + 1 : 0, 3);
    const uint32_t switches = (p.restartAllowed ? 1u : 0u) | (p.reduceCoolingTime ? 2u : 0u) |
                              (p.noGlowPlugCheck ? 4u : 0u) | (p.standbyBeep ? 8u : 0u) |
                              (p.noRadioTimeout ? 16u : 0u) | (p.rpmControl ? 32u : 0u) |
                              (p.temperatureUnit != 0 ? 64u : 0u) |
                              (p.coolingAfterFlameout ? 128u : 0u) | (p.auxSwitch ? 256u : 0u);
    w.WriteBits(switches, 16);
}

void EcuParameterStore::EncodeItemPacket2(std::span<uint8_t> body) const {
    const EcuParameters& p = m_parameters;
    BitWriter w(body);
    w.WriteClamped(p.supportedTelemetryProtocols, 8);
    w.WriteClamped(p.telemetryProtocol, 4);
    w.WriteClamped(Supported(8) ? p.baudIndex + 1 : 0, 4);
    w.WriteClamped(p.maxEgt / 10, 7);
    w.WriteClamped(Supported(63) ? p.preheatEndTempIndex + 1 : 0, 3);
    w.WriteClamped(Supported(64) ? p.preheatForcedDelayIndex + 1 : 0, 3);
    w.WriteClamped(p.ignitionValveDuty / 5, 4);
    w.WriteClamped(p.starterMotorRamp / 10, 4);
    w.WriteClamped(p.pumpRamp, 4);
    w.WriteClamped(int64_t{p.egtCorrection} + 31, 6);
    w.WriteClamped(p.starterPolePairs, 5);
    w.WriteClamped(Supported(70) ? p.starterStopCoefficient : 0, 8);
    w.WriteClamped(Supported(69) ? p.rpmPulses : 0, 5);
    w.WriteClamped(Supported(25) ? p.valveVoltage1 : 0, 5);
    w.WriteClamped(Supported(26) ? p.valveVoltage2 : 0, 5);
    w.WriteClamped(p.valveSupply, 8);
    w.WriteClamped(p.fuelRampStage1Rpm / 200, 9);
    w.WriteClamped(p.fuelRampStage2Rpm / 200, 9);
    w.WriteClamped(p.fuelRampStage1Pump, 4);
    w.WriteClamped(p.fuelRampStage2Pump, 4);
    if (Supported(37)) {
        w.WriteBits(1, 1);
        w.WriteClamped(p.altitudeRunMinRpm / 500, 8);
        w.WriteClamped((Units(p.altitudeRunPressure, 10) - 200) / 2, 8);
    } else {
        w.WriteBits(0, 1);
        w.Skip(16);
    }
    if (Supported(39)) {
        w.WriteBits(1, 1);
        w.WriteClamped(p.altitudeStartPumpRamp, 4);
        w.WriteClamped((Units(p.altitudeStartPressure, 10) - 300) / 2, 8);
    } else {
        w.WriteBits(0, 1);
        w.Skip(12);
    }
    const bool calibration = Supported(58);
    if (calibration) {
        w.WriteBits(1, 1);
        w.WriteClamped(Units(p.calibration1, 50), 8);
        w.WriteClamped(Units(p.calibration2 + 2.0, 50), 8);
        w.WriteClamped(Units(p.calibration3, 200), 12);
    } else {
        w.WriteBits(0, 1);
        w.Skip(28);
    }
    w.Skip(1); // not used
    w.WriteBits(m_format.extendedItems ? 1 : 0, 1);
    w.WriteClamped(calibration ? p.calibration4 : 0, 8);
    w.Skip(19); // not used
    if (Supported(41)) {
        w.WriteBits(1, 1);
        w.WriteClamped(p.oxygenRpm / 200, 8);
        w.WriteClamped(Units(p.oxygenPumpDelay, 100), 8);
        w.WriteClamped(Units(p.oxygenPumpVoltage, 20), 8);
        w.WriteClamped(Units(p.oxygenRampTime, 10), 8);
    } else {
        w.WriteBits(0, 1);
        w.Skip(32);
    }
    w.WriteClamped(Supported(9) ? p.stopBitsIndex + 1 : 0, 2);
    w.WriteClamped(Supported(62) ? Units(p.ignitionPumpVoltage2, 10) : 0, 7);
}

EcuParameterStore::Page EcuParameterStore::EncodeParameterPacket(uint8_t k,
                                                                 uint8_t packetCount) const {
    Page page{};
    page[0] = static_cast<uint8_t>((packetCount & 0x07) | ((k & 0x07) << 3));
    std::span<uint8_t> body(page.data() + 1, kPageSize - 1);
    if (k == 1) {
        EncodeItemPacket1(body);
    } else if (k == 2) {
        EncodeItemPacket2(body);
    }
    return page;
}

bool EcuParameterStore::ApplyItem(uint8_t id, std::span<const uint8_t> v, WriteOutcome& outcome) {
    EcuParameters& p = m_parameters;
    const int supportId = SupportTextIdOfItem(id);
    if (supportId != 0 && !Supported(supportId)) {
        return false;
    }
    const uint8_t b = v.empty() ? 0 : v[0];
    // Index fields carry index + 1; 0 would mean "not there" and is not taken.
    auto index = [&](int& field) {
        if (b == 0) {
            return false;
        }
        field = b - 1;
        return true;
    };
    switch (id) {
    case 1:
        p.restartAllowed = b != 0;
        return true;
    case 2:
        p.reduceCoolingTime = b != 0;
        return true;
    case 3:
        p.noGlowPlugCheck = b != 0;
        return true;
    case 4:
        p.standbyBeep = b != 0;
        return true;
    case 5:
        p.noRadioTimeout = b != 0;
        return true;
    case 6:
        p.rpmControl = b != 0;
        return true;
    case 7:
        p.temperatureUnit = b != 0 ? 1 : 0;
        return true;
    case 8:
        p.coolingAfterFlameout = b != 0;
        return true;
    case 15:
        p.minBatteryVoltage = b / 5.0;
        return true;
    case 16:
        p.temperatureScale = b;
        return true;
    case 17:
        p.coolingRpm = b * 100;
        return true;
    case 18:
        p.ignitionRpm = b * 100;
        return true;
    case 19:
        p.preheatRpm = b * 100;
        return true;
    case 20:
        p.clutchRpm = b * 200;
        return true;
    case 21:
        p.runMinRpm = b * 500;
        return true;
    case 22:
        p.runIdleRpm = b * 500;
        return true;
    case 23:
        p.runMaxRpm = b * 1000;
        return true;
    case 24:
        p.designMaxRpm = b * 1000;
        return true;
    case 25:
        p.rpmPulses = b;
        return true;
    case 26:
        p.ignitionPumpVoltage = b / 50.0;
        return true;
    case 27:
        p.pumpTestMaxVoltage = b / 10.0;
        return true;
    case 28:
        p.pumpLimit = b / 5.0;
        return true;
    case 29:
        return index(p.pumpMaxCurrentIndex);
    case 30:
        p.throttleDeceleration = b;
        return true;
    case 31:
        p.throttleAcceleration = b;
        return true;
    case 32:
        p.pumpIdleSensitivity = b;
        return true;
    case 33:
        p.pumpMode = b;
        return true;
    case 34:
        p.starterEjectTime = b / 10.0;
        return true;
    case 35:
        p.starterEjectVoltage = b / 10.0;
        return true;
    case 36:
        p.starterRunVoltage = b / 10.0;
        return true;
    case 37:
        p.starterStability = b;
        return true;
    case 38:
        p.starterPolePairs = b;
        return true;
    case 39:
        p.starterStopCoefficient = b;
        return true;
    case 40:
        p.glowStartVoltage = b / 10.0;
        return true;
    case 41:
        p.glowRestartVoltage = b / 10.0;
        return true;
    case 42:
        return index(p.preheatTimeIndex);
    case 43:
        p.lostSignalDelay = b / 10.0;
        return true;
    case 44:
        p.busThrottleChannel = b;
        return true;
    case 45:
        p.busSwitchChannel = b;
        return true;
    case 46:
        p.busTelemetryMode = b;
        return true;
    case 47:
        p.telemetryProtocol = b;
        return true;
    case 48:
        return index(p.baudIndex);
    case 49:
        p.maxEgt = b * 10;
        return true;
    case 50:
        return index(p.ignitionConfirmTempIndex);
    case 51:
        return index(p.preheatEndTempIndex);
    case 52:
        return index(p.preheatForcedDelayIndex);
    case 53:
        p.ignitionValveDuty = b * 5;
        return true;
    case 54:
        p.starterMotorRamp = b * 10;
        return true;
    case 55:
        p.pumpRamp = b;
        return true;
    case 57:
        p.valveVoltage1 = b;
        return true;
    case 58:
        p.valveVoltage2 = b;
        return true;
    case 59:
        p.valveSupply = b;
        return true;
    case 60:
        p.fuelRampStage1Rpm = (v[0] | (v[1] << 8)) * 200;
        p.fuelRampStage2Rpm = (v[2] | (v[3] << 8)) * 200;
        p.fuelRampStage1Pump = v[4];
        p.fuelRampStage2Pump = v[5];
        return true;
    case 61:
        p.altitudeRunMinRpm = v[0] * 500;
        p.altitudeRunPressure = (v[1] * 2 + 200) / 10.0;
        return true;
    case 62:
        p.altitudeStartPumpRamp = v[0];
        p.altitudeStartPressure = (v[1] * 2 + 300) / 10.0;
        return true;
    case 63:
        p.calibration1 = v[0] / 50.0;
        p.calibration2 = (v[1] - 100) / 50.0;
        p.calibration3 = (v[2] | (v[3] << 8)) / 200.0;
        p.calibration4 = v[4];
        return true;
    case 65:
        p.oxygenRpm = v[0] * 200;
        p.oxygenPumpDelay = v[1] / 100.0;
        p.oxygenPumpVoltage = v[2] / 20.0;
        p.oxygenRampTime = v[3] / 10.0;
        return true;
    case 66:
        return index(p.stopBitsIndex);
    case 67:
        p.ignitionPumpVoltage2 = b / 10.0;
        return true;
    case 69:
        p.canAddress16 = static_cast<uint32_t>(v[0] | (v[1] << 8) | (v[2] << 16));
        p.canValue2 = v[3];
        p.canValue3 = v[4];
        return true;
    case 0xD4:
        if (v[0] != 0x37) {
            return false;
        }
        ++m_calibrations;
        m_lastAmbient = v[1];
        m_lastReference = -1;
        outcome.calibrationAmbient = v[1];
        return true;
    default:
        return false;
    }
}

EcuParameterStore::WriteOutcome EcuParameterStore::ApplyItemFrame(std::span<const uint8_t> d) {
    WriteOutcome outcome;
    if (d.size() < 2 || d[0] != 0xAA) {
        return outcome;
    }
    const bool extended = d[1] == 0x66;
    if ((d[1] != 0x55 && d[1] != 0x66) || extended != m_format.extendedItems) {
        return outcome;
    }
    // Parse the whole frame first, so a malformed one changes nothing.
    struct Span {
        uint8_t id;
        size_t offset;
        size_t length;
        bool known;
    };
    std::vector<Span> items;
    size_t pos = 2;
    while (pos < d.size()) {
        if (extended) {
            const size_t length = d[pos];
            if (length < 2 || pos + length > d.size()) {
                return outcome;
            }
            const uint8_t id = d[pos + 1];
            const uint8_t expected = ItemValueLength(id);
            // An unknown id is skipped by its length byte; a known one must
            // carry exactly its value bytes.
            if (expected != 0 && length - 2 != expected) {
                return outcome;
            }
            items.push_back({id, pos + 2, length - 2, expected != 0});
            pos += length;
        } else {
            const uint8_t id = d[pos];
            const uint8_t length = ItemValueLength(id);
            if (length == 0 || pos + 1 + length > d.size()) {
                return outcome;
            }
            items.push_back({id, pos + 1, length, true});
            pos += 1u + length;
        }
    }
    outcome.accepted = true;
    for (const Span& item : items) {
        const std::span<const uint8_t> value = d.subspan(item.offset, item.length);
        const bool applied = item.known && ApplyItem(item.id, value, outcome);
        if (applied && item.id != 0xD4) {
            outcome.parametersChanged = true;
        }
        m_items.push_back({item.id, {value.begin(), value.end()}, applied});
    }
    return outcome;
}

// ------------------------------------------------------------------- writes

EcuParameterStore::WriteOutcome EcuParameterStore::ApplyBlockCommand(std::span<const uint8_t> d) {
    WriteOutcome outcome;
    if (d.size() == 3 && d[1] == 0x02 && (d[2] == 0x33 || d[2] == 0x77)) {
        m_parameters.restartAllowed = d[2] == 0x33;
    } else if (d.size() == 3 && d[1] == 0x0A && (d[2] == 0x55 || d[2] == 0x88)) {
        m_parameters.rpmControl = d[2] == 0x55;
    } else if (d.size() == 32 && d[1] == 0x05 && d[2] == 0x3A && d[3] == 0x56) {
        std::copy(d.begin() + 4, d.end(), m_name.begin());
        ++m_nameCommands;
    } else if (d.size() == 4 && d[1] == 0x09 && d[2] == 0x37 && d[3] == 0xC8) {
        ++m_prepares;
        outcome.calibrationPrepared = true;
        outcome.accepted = true;
        return outcome;
    } else if (d.size() == 7 && d[1] == 0x09 && d[2] == 0x37 && d[3] == 0xC8) {
        ++m_calibrations;
        m_lastReference = d[4] | (d[5] << 8);
        m_lastAmbient = d[6];
        outcome.calibrationAmbient = d[6];
        outcome.accepted = true;
        return outcome;
    } else {
        return outcome;
    }
    outcome.accepted = true;
    outcome.parametersChanged = true;
    return outcome;
}

EcuParameterStore::WriteOutcome EcuParameterStore::ApplyRegister2(std::span<const uint8_t> data) {
    if (data.empty()) {
        return {};
    }
    if (m_format.generation == EcuGeneration::Item) {
        return ApplyItemFrame(data);
    }
    if (data[0] == 0xFF) {
        return ApplyBlockCommand(data);
    }
    // A page write carries the whole page as read, format byte first.
    WriteOutcome outcome;
    if (data.size() != kPageSize || data[0] != m_format.blockFormat) {
        return outcome;
    }
    Page page{};
    std::copy(data.begin(), data.end(), page.begin());
    ApplyPage1(page);
    ++m_page1Writes;
    outcome.accepted = true;
    outcome.parametersChanged = true;
    return outcome;
}

EcuParameterStore::WriteOutcome EcuParameterStore::ApplyRegister3(std::span<const uint8_t> data) {
    WriteOutcome outcome;
    if (m_format.generation != EcuGeneration::Block || data.size() != kPageSize) {
        return outcome;
    }
    Page page{};
    std::copy(data.begin(), data.end(), page.begin());
    ApplyPage2(page);
    ++m_page2Writes;
    outcome.accepted = true;
    outcome.parametersChanged = true;
    return outcome;
}

// --------------------------------------------------------------- name page

std::string EcuParameterStore::EngineName() const {
    const auto end = std::find(m_name.begin(), m_name.end(), uint8_t{0});
    return {m_name.begin(), end};
}

void EcuParameterStore::SetEngineName(const std::string& name) {
    m_name.fill(0);
    std::copy_n(name.begin(), std::min(name.size(), m_name.size()), m_name.begin());
}

EcuParameterStore::Page EcuParameterStore::EncodeNamePage() const {
    Page page{};
    page[0] = namePageByte0;
    std::copy(m_name.begin(), m_name.end(), page.begin() + 1);
    page[29] = static_cast<uint8_t>(namePageValue & 0xFF);
    page[30] = static_cast<uint8_t>(namePageValue >> 8);
    page[31] = namePageByte31;
    return page;
}

void EcuParameterStore::ClearHistory() {
    m_items.clear();
    m_calibrations = 0;
    m_prepares = 0;
    m_lastAmbient = -1;
    m_lastReference = -1;
    m_nameCommands = 0;
    m_page1Writes = 0;
    m_page2Writes = 0;
}

} // namespace sim
