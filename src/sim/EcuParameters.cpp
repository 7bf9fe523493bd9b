#include "sim/EcuParameters.h"

#include <cmath>
#include <type_traits>

namespace sim {

namespace {

// Visits the field of one text id with an accessor that reads or writes it as
// a double. Returns false for an unknown id.
template <typename Visitor>
bool VisitTextId(EcuParameters& p, int textId, Visitor&& visit) {
    switch (textId) {
    case 1:
        visit(p.throttlePointMax);
        return true;
    case 2:
        visit(p.throttlePointMin);
        return true;
    case 3:
        visit(p.throttlePointIdle);
        return true;
    case 4:
        visit(p.lostSignalDelay);
        return true;
    case 5:
        visit(p.busThrottleChannel);
        return true;
    case 6:
        visit(p.busSwitchChannel);
        return true;
    case 7:
        visit(p.busTelemetryMode);
        return true;
    case 8:
        visit(p.baudIndex);
        return true;
    case 9:
        visit(p.stopBitsIndex);
        return true;
    case 10:
        visit(p.canAddress16);
        return true;
    case 11:
        visit(p.canValue2);
        return true;
    case 12:
        visit(p.canValue3);
        return true;
    case 13:
        visit(p.maxEgt);
        return true;
    case 14:
        visit(p.minBatteryVoltage);
        return true;
    case 15:
        visit(p.starterEjectTime);
        return true;
    case 16:
        visit(p.starterEjectVoltage);
        return true;
    case 17:
        visit(p.starterRunVoltage);
        return true;
    case 18:
        visit(p.starterStability);
        return true;
    case 19:
        visit(p.starterPolePairs);
        return true;
    case 20:
        visit(p.coolingRpm);
        return true;
    case 21:
        visit(p.ignitionRpm);
        return true;
    case 22:
        visit(p.ignitionPumpVoltage);
        return true;
    case 23:
        visit(p.ignitionValveDuty);
        return true;
    case 24:
        visit(p.ignitionConfirmTempIndex);
        return true;
    case 25:
        visit(p.valveVoltage1);
        return true;
    case 26:
        visit(p.valveVoltage2);
        return true;
    case 31:
        visit(p.starterMotorRamp);
        return true;
    case 32:
        visit(p.pumpRamp);
        return true;
    case 33:
        visit(p.fuelRampStage1Rpm);
        return true;
    case 34:
        visit(p.fuelRampStage2Rpm);
        return true;
    case 35:
        visit(p.fuelRampStage1Pump);
        return true;
    case 36:
        visit(p.fuelRampStage2Pump);
        return true;
    case 37:
        visit(p.altitudeRunMinRpm);
        return true;
    case 38:
        visit(p.altitudeRunPressure);
        return true;
    case 39:
        visit(p.altitudeStartPumpRamp);
        return true;
    case 40:
        visit(p.altitudeStartPressure);
        return true;
    case 41:
        visit(p.oxygenRpm);
        return true;
    case 42:
        visit(p.oxygenPumpDelay);
        return true;
    case 43:
        visit(p.oxygenPumpVoltage);
        return true;
    case 44:
        visit(p.oxygenRampTime);
        return true;
    case 45:
        visit(p.glowStartVoltage);
        return true;
    case 46:
        visit(p.glowRestartVoltage);
        return true;
    case 47:
        visit(p.preheatTimeIndex);
        return true;
    case 48:
        visit(p.preheatRpm);
        return true;
    case 49:
        visit(p.clutchRpm);
        return true;
    case 50:
        visit(p.blockIgnitionPumpVoltage);
        return true;
    case 51:
        visit(p.runMinRpm);
        return true;
    case 52:
        visit(p.runIdleRpm);
        return true;
    case 53:
        visit(p.runMaxRpm);
        return true;
    case 54:
        visit(p.restartAllowed);
        return true;
    case 55:
        visit(p.pumpTestMaxVoltage);
        return true;
    case 56:
        visit(p.pumpIdleSensitivity);
        return true;
    case 57:
        visit(p.pumpMaxCurrentIndex);
        return true;
    case 58:
        visit(p.calibration1);
        return true;
    case 59:
        visit(p.calibration2);
        return true;
    case 60:
        visit(p.calibration3);
        return true;
    case 61:
        visit(p.calibration4);
        return true;
    case 62:
        visit(p.ignitionPumpVoltage2);
        return true;
    case 63:
        visit(p.preheatEndTempIndex);
        return true;
    case 64:
        visit(p.preheatForcedDelayIndex);
        return true;
    case 65:
        visit(p.throttleDeceleration);
        return true;
    case 66:
        visit(p.throttleAcceleration);
        return true;
    case 67:
        visit(p.pumpLimit);
        return true;
    case 68:
        visit(p.designMaxRpm);
        return true;
    case 69:
        visit(p.rpmPulses);
        return true;
    case 70:
        visit(p.starterStopCoefficient);
        return true;
    case 71:
        visit(p.temperatureScale);
        return true;
    case 72:
        visit(p.rpmControl);
        return true;
    case 73:
        visit(p.reduceCoolingTime);
        return true;
    case 74:
        visit(p.noGlowPlugCheck);
        return true;
    case 75:
        visit(p.switchBit2);
        return true;
    case 76:
        visit(p.coolingAfterFlameout);
        return true;
    case 77:
        visit(p.standbyBeep);
        return true;
    case 78:
        visit(p.noRadioTimeout);
        return true;
    case 79:
        visit(p.linearRpm);
        return true;
    default:
        return false;
    }
}

template <typename T>
void Assign(T& field, double value) {
    if constexpr (std::is_same_v<T, double>) {
        field = value;
    } else if constexpr (std::is_same_v<T, bool>) {
        field = value != 0.0;
    } else {
        field = static_cast<T>(std::llround(value));
    }
}

} // namespace

bool GetParameterByTextId(const EcuParameters& parameters, int textId, double& value) {
    if (textId >= 27 && textId <= 30) {
        value = (parameters.valveSupply >> (textId - 27)) & 1u;
        return true;
    }
    // The visitor only reads; the cast lets one switch serve both directions.
    auto& p = const_cast<EcuParameters&>(parameters);
    return VisitTextId(p, textId, [&](auto& field) { value = static_cast<double>(field); });
}

bool SetParameterByTextId(EcuParameters& parameters, int textId, double value) {
    if (textId >= 27 && textId <= 30) {
        const uint8_t bit = static_cast<uint8_t>(1u << (textId - 27));
        parameters.valveSupply = static_cast<uint8_t>(value != 0.0 ? parameters.valveSupply | bit
                                                                   : parameters.valveSupply & ~bit);
        return true;
    }
    return VisitTextId(parameters, textId, [&](auto& field) { Assign(field, value); });
}

} // namespace sim
