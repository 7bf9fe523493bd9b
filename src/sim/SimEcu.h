#pragma once

#include "sim/BusUnit.h"
#include "sim/DemoPilot.h"
#include "sim/EcuCommandLog.h"
#include "sim/EcuParameterStore.h"
#include "sim/EcuRadioSimulator.h"
#include "sim/EngineModel.h"
#include "sim/LiveValues.h"
#include "sim/SimEcuConfig.h"

#include <array>
#include <cstdint>
#include <span>

namespace sim {

// A simulated ECU in application mode on the engine bus: answers registers
// 1-15 as the ECU of the configured generation does (register 0, the status
// and device-info exchange, belongs to the unit wrapper and is not answered
// here).
//
//   1  R: live state (block: fixed page; item: the next packet of the
//        telemetry set, the set restarting at packet 1 with each poll request)
//      W: poll request 0xFF 0x29; commands 0x02 code arg16 (4 bytes) or
//         0x02 code arg16 x4 (10 bytes)
//   2  R: parameter page 1 (block) or the next parameter packet (item)
//      W: block page 1 or 0xFF immediate command; item frame 0xAA 0x55/0x66
//   3  R/W: parameter page 2 (block only)
//   4  R: second live-state page (block only)
//   5  R: sensor readings (6 bytes)
//   10 R/W: ground-support display and keys; 11 R/W: radio-simulator record
//        and receiver frames (writes: block only)
//   13 run-record download: answered by the unit set with SetRegister13Unit
//   14 R: engine name page
// A read shorter than the register's page returns its first bytes. Every
// write is logged with whether it was acknowledged.
//
// The live state a telemetry read carries is taken from the engine model when
// a set starts (item: first packet after a poll request; block: each
// register-1 read, register 4 using the same snapshot), so one set is
// consistent. LastEncoded() has those values quantised as the layouts carried
// them, for comparing with what the tool decoded.
//
// Thread safety: none of its own. The bus calls it under its lock; a driver
// thread steps it under the same lock (Bus::WithLock), and tests that read
// its state while such a thread runs take that lock too.
class SimEcu : public BusUnit {
public:
    explicit SimEcu(const SimEcuConfig& config = {});

    bool ReadRegister(uint8_t reg, uint8_t length, uint8_t* out) override;
    bool WriteRegister(uint8_t reg, std::span<const uint8_t> data) override;

    // Advances the engine model by ms of simulated time (flown by the demo
    // pilot first when the configuration asks for it).
    void Step(uint32_t ms);

    [[nodiscard]] const SimEcuConfig& Config() const { return m_config; }
    [[nodiscard]] EcuParameterStore& Store() { return m_store; }
    [[nodiscard]] EngineModel& Model() { return m_model; }
    [[nodiscard]] EcuRadioSimulator& Radio() { return m_radio; }
    [[nodiscard]] EcuCommandLog& Log() { return m_log; }
    // Clears the command log and the store's history together.
    void ClearLog();

    // The live values as the last telemetry set, register 4 and register 5
    // carried them (fields no layout of this generation carries keep the
    // tool's reset values: 0, CPU temperature -60).
    [[nodiscard]] const LiveValues& LastEncoded() const { return m_encoded; }

    // The engine model follows the stored parameters (idle, maximum RPM...);
    // call after changing Store().Parameters() directly.
    void ApplyParametersToModel();

    // Register 13 (run-record download) is handed to this unit; null (the
    // default) leaves register 13 unanswered. Not owned.
    void SetRegister13Unit(BusUnit* unit) { m_register13 = unit; }

    [[nodiscard]] uint32_t PollRequests() const { return m_pollRequests; }
    [[nodiscard]] uint32_t ReadCount(uint8_t reg) const { return reg < 16 ? m_reads[reg] : 0; }

private:
    using Page = std::array<uint8_t, 32>;
    bool WriteRegister1(std::span<const uint8_t> data);
    bool WriteRegister2(std::span<const uint8_t> data);
    Page TelemetryPage();
    Page ParameterPage();
    void TakeSnapshot();
    static bool CopyOut(std::span<const uint8_t> page, uint8_t length, uint8_t* out);

    SimEcuConfig m_config;
    EcuParameterStore m_store;
    EngineModel m_model;
    DemoPilot m_pilot;
    EcuRadioSimulator m_radio;
    EcuCommandLog m_log;
    BusUnit* m_register13 = nullptr;

    LiveValues m_snapshot;
    LiveValues m_encoded;
    bool m_haveSnapshot = false;
    size_t m_telemetryCursor = 0;
    size_t m_parameterCursor = 0;
    uint32_t m_pollRequests = 0;
    std::array<uint32_t, 16> m_reads{};
};

} // namespace sim
