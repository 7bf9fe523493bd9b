#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class HidDevice;
}

namespace sim {

class Bus;

// A simulated USB HID dongle in front of a simulated bus.
//
// Input report 1 answers the version: its first two bytes (report id byte
// included) are the version's high and low byte, so the default 0x0105 reads
// 01 05 as a real dongle's report 1 does. Output report 2 carries a request
// ([1] unit, [2] register × 8 | 0x80 for a write, [3] length − 1, [4..] data),
// which the dongle carries out on the bus at once; input report 3 then
// answers [1] status: 2 done (a read's data from [3]), 3 when the unit did
// not answer, 0 before any request. Unknown report ids fail.
//
// Faults for tests, each applying to what comes next: busy answers, repeat
// requests, a given final status, failing reports, a hung dongle whose input
// reports block, and unplugging. An unplugged dongle is not listed and its
// open handles fail for good; a replugged one is a new device to open.
//
// Thread safety: every operation may be called from any thread; handles may
// outlive the dongle (they fail once it is gone). The bus must outlive the
// dongle.
class HidDongle {
public:
    static constexpr uint16_t kVendorId = 0x16C0;
    static constexpr uint16_t kProductId = 0x06F5;
    static constexpr uint16_t kDefaultVersion = 0x0105;
    static constexpr uint16_t kInputReportLength = 35;  // id byte + 34
    static constexpr uint16_t kOutputReportLength = 36; // id byte + 35

    HidDongle(Bus& bus,
              std::string path,
              uint16_t vendorId = kVendorId,
              uint16_t productId = kProductId);
    ~HidDongle(); // unplugs
    HidDongle(const HidDongle&) = delete;
    HidDongle& operator=(const HidDongle&) = delete;

    [[nodiscard]] const std::string& Path() const { return m_path; }
    [[nodiscard]] uint16_t VendorId() const { return m_vendorId; }
    [[nodiscard]] uint16_t ProductId() const { return m_productId; }

    void SetVersion(uint16_t version);

    // The next request is answered busy count times before its final status.
    void InjectBusy(int count);
    // The next count requests are answered status 4 (repeat) and not carried out.
    void InjectRepeat(int count);
    // The next count requests end with status instead and are not carried out.
    void InjectStatus(uint8_t status, int count = 1);
    // The next count output reports, or input reports of any id, fail.
    void FailOutputReports(int count);
    void FailInputReports(int count);
    // While hung, input reports block until unhung, unplugged or interrupted.
    void SetHung(bool hung);

    void Unplug();
    void Replug();
    [[nodiscard]] bool IsPlugged() const;

    // Opens the dongle: null (with the reason) when unplugged or already open.
    [[nodiscard]] std::unique_ptr<platform::HidDevice> Open(std::string* error);

    [[nodiscard]] uint32_t Opens() const;
    [[nodiscard]] int OpenHandles() const;
    [[nodiscard]] uint32_t OutputReports() const;
    [[nodiscard]] uint32_t InputReports(uint8_t reportId) const; // 1 or 3
    [[nodiscard]] uint32_t Transactions() const;                 // carried out on the bus
    // Threads blocked in an input report of a hung dongle.
    [[nodiscard]] int BlockedReports() const;

    struct State;

private:
    const std::string m_path;
    const uint16_t m_vendorId;
    const uint16_t m_productId;
    std::shared_ptr<State> m_state;
};

} // namespace sim
