#pragma once

#include "sim/BootLoader.h"
#include "sim/BusUnit.h"
#include "sim/StatusRegister.h"

#include <array>
#include <cstdint>
#include <functional>

namespace sim {

// A unit on the simulated bus: register 0 is its status register and takes
// the boot-loader commands (02 FD enter, 01 FE leave); in boot-loader mode
// registers 1..7 belong to the boot loader; otherwise every other register
// goes to the application behind it, or, without one, to a plain 32-byte
// store that returns what was last written.
class SimUnit : public BusUnit {
public:
    explicit SimUnit(BusUnit* application = nullptr)
        : m_application(application) {}

    StatusRegister status;
    BootLoader bootLoader;
    // Leaving the boot loader takes this many status polls to show (a real
    // unit restarts its application meanwhile).
    int leaveDelayPolls = 0;
    // Called when the unit leaves its boot loader having erased and received
    // an image since it entered it (the new firmware starts), before the
    // application answers again. Runs under the bus lock.
    std::function<void()> onUpdated;

    bool ReadRegister(uint8_t reg, uint8_t length, uint8_t* out) override;
    bool WriteRegister(uint8_t reg, std::span<const uint8_t> data) override;

    // The plain store, for tests.
    [[nodiscard]] const std::array<uint8_t, 32>& Plain(uint8_t reg) const {
        return m_plain[reg & 0x0F];
    }

private:
    void Leave();

    BusUnit* m_application;
    int m_leavePending = -1;
    int m_erasesAtEnter = 0;
    std::array<std::array<uint8_t, 32>, 16> m_plain{};
};

} // namespace sim
