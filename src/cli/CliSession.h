#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class CDeviceBase;
class CDeviceECU;

namespace platform {
class HidPort;
class SerialPortSystem;
} // namespace platform

namespace cli {

// Ctrl-C. The signal handler of turbexctl's main only stores the flag; every
// wait of a session looks at it at least every 100 ms.
void RequestInterrupt();
[[nodiscard]] bool Interrupted();
void ClearInterrupt();

// How often each device event and protocol notification arrived, and the
// value it last carried. Slots: events 0..15 at their own number,
// notifications 301..316 at 16..31.
struct EventCounts {
    static constexpr size_t kSlots = 32;
    [[nodiscard]] static int Slot(int32_t event);
    [[nodiscard]] uint64_t count(int32_t event) const;
    [[nodiscard]] int32_t value(int32_t event) const;

    std::array<uint64_t, kSlots> counts{};
    std::array<int32_t, kSlots> values{};
    // The parameter block and then two telemetry decodes arrived since the
    // unit last came online: the mirror and the live state are both filled,
    // the sensor register too (a cycle reads it after its telemetry).
    bool ecuReady = false;
    bool parametersSeen = false;
    int telemetryAfterParameters = 0;
};

// One connection of turbexctl to a unit: the device object (its three links)
// and the ECU protocol object, started once, with waits on the events they
// raise. The device's general handler only counts the event and wakes the
// waiting thread; nothing waits on the unit inside a callback.
//
// Thread safety: the waits and accessors are for the one thread that owns
// the session; the handlers run on the device's and the protocol object's
// threads.
class CliSession {
public:
    struct Options {
        uint16_t port = 8987;   // the bridge on 127.0.0.1
        std::string serialPort; // a device node for the serial link; "": the system's ports
        platform::HidPort* hidPort = nullptr; // the HID devices to look through; null: the system's
        bool downloadRequested = false;       // let the record thread download stored records
    };

    explicit CliSession(const Options& options);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // Starts the device's threads (once).
    void Start();

    [[nodiscard]] CDeviceBase& device() { return *m_device; }
    [[nodiscard]] CDeviceECU& ecu() { return *m_ecu; }

    enum class Ready {
        Ok,
        NoUnit,      // nothing came online within the time-out
        NotEcu,      // a unit of another type answers
        BootLoader,  // the unit is in boot-loader mode
        NoAnswer,    // an ECU is online but sent no parameters or telemetry in time
        Interrupted, // Ctrl-C
    };
    // Some unit online (any type, any mode).
    [[nodiscard]] Ready WaitOnline(int32_t timeoutMs);
    // An ECU in application mode whose parameters and live state were read;
    // timeoutMs bounds each of the two waits.
    [[nodiscard]] Ready WaitReady(int32_t timeoutMs);

    // Waits until pred holds; pred runs with the event lock held, so it may
    // read the counts and the device's accessors but must not wait or call
    // the session. timeoutMs < 0: no limit. False on time-out or Ctrl-C.
    bool WaitUntil(const std::function<bool(const EventCounts&)>& pred, int32_t timeoutMs);

    [[nodiscard]] EventCounts Counts() const;

    // Why no unit came online, for the message of exit code 3.
    [[nodiscard]] std::string NoUnitReason() const;
    [[nodiscard]] uint16_t Port() const { return m_options.port; }

private:
    static int32_t OnGeneralEvent(int32_t event, int32_t value, void* self);

    Options m_options;

    // Declared before the device and the ECU: their threads use these until
    // both are gone.
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    EventCounts m_counts;

    std::unique_ptr<platform::SerialPortSystem> m_serialPorts;
    std::unique_ptr<CDeviceBase> m_device;
    std::unique_ptr<CDeviceECU> m_ecu;
    bool m_started = false;
};

} // namespace cli
