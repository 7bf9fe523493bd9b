#include "sim/SimEcu.h"

#include "platform/Clock.h"
#include "sim/TelemetryEncoder.h"

#include <algorithm>
#include <cmath>

namespace sim {

SimEcu::SimEcu(const SimEcuConfig& config)
    : m_config(config)
    , m_store(config.format, config.features, config.blockSpareFill)
    , m_model(config.hardware)
    , m_radio(config.radioMode)
    , m_log(config.logCapacity) {
    if (m_config.telemetryPackets < 2 || m_config.telemetryPackets > 7) {
        m_config.telemetryPackets = 2;
    }
    if (m_config.telemetryOrder.empty()) {
        for (uint8_t k = 1; k <= m_config.telemetryPackets; ++k) {
            m_config.telemetryOrder.push_back(k);
        }
    }
    if (m_config.parameterOrder.empty()) {
        m_config.parameterOrder = {1, 2};
    }
    ApplyParametersToModel();
    for (EngineFault fault : m_config.faults) {
        m_model.SetFault(fault, true);
    }
    m_model.SetSwitch(m_config.switchOn);
    m_model.SetThrottle(m_config.throttle);
    if (m_config.errorCode != 0) {
        m_model.InjectErrorCode(m_config.errorCode);
    }
    if (m_config.autoStart) {
        m_model.RequestStart();
    }
}

void SimEcu::ApplyParametersToModel() {
    const EcuParameters& p = m_store.Parameters();
    EngineTuning t;
    t.idleRpm = p.runIdleRpm;
    t.maxRpm = p.runMaxRpm;
    t.coolingRpm = p.coolingRpm;
    t.ignitionRpm = p.ignitionRpm;
    t.preheatRpm = p.preheatRpm;
    t.clutchRpm = p.clutchRpm;
    t.maxEgt = p.maxEgt;
    t.minBatteryVoltage = p.minBatteryVoltage;
    t.pumpLimit = p.pumpLimit;
    t.glowVoltage = p.glowStartVoltage;
    t.starterRunVoltage = p.starterRunVoltage;
    t.pumpTestVoltage = p.ignitionPumpVoltage;
    t.accelerationCurve = p.throttleAcceleration;
    t.decelerationCurve = p.throttleDeceleration;
    t.reduceCoolingTime = p.reduceCoolingTime;
    t.rpmControl = p.rpmControl;
    m_model.SetTuning(t);
}

void SimEcu::Step(uint32_t ms) {
    if (m_config.demo) {
        m_pilot.Step(ms, m_model);
    }
    m_model.Step(ms);
}

void SimEcu::ClearLog() {
    m_log.Clear();
    m_store.ClearHistory();
}

bool SimEcu::CopyOut(std::span<const uint8_t> page, uint8_t length, uint8_t* out) {
    if (out == nullptr || length == 0 || length > 32) {
        return false;
    }
    const size_t n = std::min<size_t>(length, page.size());
    std::copy_n(page.begin(), n, out);
    std::fill(out + n, out + length, uint8_t{0});
    return true;
}

void SimEcu::TakeSnapshot() {
    m_snapshot = m_model.Values();
    m_encoded = LiveValues{};
    m_haveSnapshot = true;
}

SimEcu::Page SimEcu::TelemetryPage() {
    if (m_config.format.generation == EcuGeneration::Block) {
        TakeSnapshot();
        return TelemetryEncoder::BlockRegister1(m_snapshot, m_config.format.doubleRange, m_encoded);
    }
    if (m_telemetryCursor == 0 || !m_haveSnapshot) {
        TakeSnapshot();
    }
    const uint8_t k = m_config.telemetryOrder[m_telemetryCursor];
    m_telemetryCursor = (m_telemetryCursor + 1) % m_config.telemetryOrder.size();
    return TelemetryEncoder::ItemPacket(m_snapshot, k, m_config.telemetryPackets, m_encoded);
}

SimEcu::Page SimEcu::ParameterPage() {
    if (m_config.format.generation == EcuGeneration::Block) {
        return m_store.EncodePage1();
    }
    const uint8_t k = m_config.parameterOrder[m_parameterCursor];
    m_parameterCursor = (m_parameterCursor + 1) % m_config.parameterOrder.size();
    return m_store.EncodeParameterPacket(k, 2);
}

bool SimEcu::ReadRegister(uint8_t reg, uint8_t length, uint8_t* out) {
    if (reg >= 16) {
        return false;
    }
    const bool block = m_config.format.generation == EcuGeneration::Block;
    bool answered = false;
    switch (reg) {
    case 1:
        answered = CopyOut(TelemetryPage(), length, out);
        break;
    case 2:
        answered = CopyOut(ParameterPage(), length, out);
        break;
    case 3:
        answered = block && CopyOut(m_store.EncodePage2(), length, out);
        break;
    case 4:
        if (block) {
            if (!m_haveSnapshot) {
                TakeSnapshot();
            }
            LiveValues snapshot = m_snapshot;
            snapshot.rpmControlState = m_store.Parameters().rpmControl;
            answered = CopyOut(TelemetryEncoder::BlockRegister4(snapshot, m_encoded), length, out);
        }
        break;
    case 5: {
        const LiveValues& live = m_haveSnapshot ? m_snapshot : m_model.Values();
        answered = CopyOut(TelemetryEncoder::Register5(live, m_encoded), length, out);
        break;
    }
    case 10:
        answered = CopyOut(m_radio.ReadRegister10(m_model.Values()), length, out);
        break;
    case 11:
        answered = CopyOut(m_radio.ReadRegister11(m_model.Values()), length, out);
        break;
    case 13:
        answered = m_register13 != nullptr && m_register13->ReadRegister(reg, length, out);
        break;
    case 14:
        answered = CopyOut(m_store.EncodeNamePage(), length, out);
        break;
    default:
        break;
    }
    if (answered) {
        ++m_reads[reg];
    }
    return answered;
}

bool SimEcu::WriteRegister1(std::span<const uint8_t> d) {
    if (d.size() == 2 && d[0] == 0xFF && d[1] == 0x29) {
        ++m_pollRequests;
        m_telemetryCursor = 0;
        return true;
    }
    const bool shortForm = d.size() == 4;
    if ((!shortForm && d.size() != 10) || d[0] != 0x02) {
        return false;
    }
    const uint8_t code = d[1];
    uint16_t args[4] = {0, 0, 0, 0};
    for (size_t i = 0; i < (shortForm ? 1u : 4u); ++i) {
        args[i] = static_cast<uint16_t>(d[2 + 2 * i] | (d[3 + 2 * i] << 8));
    }
    if (code >= 2 && code <= 6) {
        if (const auto point = m_model.Learn(code)) {
            // Stored as tenths of the pulse width, like every learned point.
            const int us = point->microseconds / 10 * 10;
            EcuParameters& p = m_store.Parameters();
            (point->point == 1   ? p.throttlePointMax
             : point->point == 2 ? p.throttlePointMin
                                 : p.throttlePointIdle) = us;
        }
        return true;
    }
    m_model.Command(code, args, !shortForm);
    return true; // well-formed commands are acknowledged, known or not
}

bool SimEcu::WriteRegister2(std::span<const uint8_t> data) {
    const EcuParameterStore::WriteOutcome outcome = m_store.ApplyRegister2(data);
    if (outcome.calibrationAmbient) {
        // The ECU takes the present reading as the given ambient temperature;
        // only meaningful with a cold engine.
        const uint8_t state = m_model.State();
        if (state == EngineState::Stop || state == EngineState::Ready) {
            const int measured = m_model.Values().egt;
            m_store.Parameters().egtCorrection =
                std::clamp(static_cast<int>(*outcome.calibrationAmbient) - measured, -31, 31);
        }
    }
    if (outcome.parametersChanged) {
        ApplyParametersToModel();
    }
    return outcome.accepted;
}

bool SimEcu::WriteRegister(uint8_t reg, std::span<const uint8_t> data) {
    bool accepted = false;
    if (!data.empty() && data.size() <= 32) {
        switch (reg) {
        case 1:
            accepted = WriteRegister1(data);
            break;
        case 2:
            accepted = WriteRegister2(data);
            break;
        case 3: {
            const auto outcome = m_store.ApplyRegister3(data);
            if (outcome.parametersChanged) {
                ApplyParametersToModel();
            }
            accepted = outcome.accepted;
            break;
        }
        case 10:
            accepted = m_radio.WriteRegister10(data);
            break;
        case 11:
            // Receiver simulation is a block-generation feature.
            if (m_config.format.generation == EcuGeneration::Block) {
                const auto frame = m_radio.WriteRegister11(data);
                if (frame.receiverInput) {
                    m_model.SetThrottle(frame.throttle);
                    m_model.SetSwitch(frame.switchPosition >= 50);
                }
                accepted = frame.accepted;
            }
            break;
        case 13:
            accepted = m_register13 != nullptr && m_register13->WriteRegister(reg, data);
            break;
        default:
            break;
        }
    }
    m_log.Add(reg, data, accepted, m_model.TimeMs(), platform::TickCount());
    return accepted;
}

} // namespace sim
