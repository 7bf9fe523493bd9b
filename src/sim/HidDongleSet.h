#pragma once

#include "platform/HidPort.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

class HidDongle;

// The HID devices present on a simulated computer: simulated dongles, in the
// order they were added, and optionally other devices (a keyboard, say) that
// are listed but cannot be opened. Takes the place of the system's HID port
// below the HID link.
//
// Thread safety: every operation may be called from any thread. The dongles
// are not owned and must outlive their membership.
class HidDongleSet : public platform::HidPort {
public:
    void Add(HidDongle& dongle);
    void Remove(const HidDongle& dongle);
    void AddOther(std::string path, uint16_t vendorId, uint16_t productId);

    // The plugged dongles and the other devices, others first.
    std::vector<platform::HidDeviceInfo> Enumerate() override;
    std::unique_ptr<platform::HidDevice> Open(const std::string& path, std::string* error) override;

    [[nodiscard]] uint32_t Enumerations() const { return m_enumerations.load(); }

private:
    mutable std::mutex m_lock;
    std::vector<HidDongle*> m_dongles;
    std::vector<platform::HidDeviceInfo> m_others;
    std::atomic<uint32_t> m_enumerations{0};
};

} // namespace sim
