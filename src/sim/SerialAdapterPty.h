#pragma once

#include "sim/SerialAdapter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace platform {
class PseudoTerminal;
}

namespace sim {

class Bus;

// The simulated serial adapter on a pseudo-terminal: whoever opens PtyPath()
// talks to a SerialAdapter in front of the bus, as through the real adapter's
// tty. A thread serves the terminal, waiting at most 10 ms at a time.
//
// Unplug closes the terminal, which the far side sees as a hang-up (its
// queue query fails); Replug makes a new terminal with a new path.
//
// Thread safety: Start, Stop, Unplug and Replug belong to the owner; the
// getters, the adapter's faults and SetReplyDelay from any thread.
class SerialAdapterPty {
public:
    explicit SerialAdapterPty(Bus& bus);
    ~SerialAdapterPty(); // stops
    SerialAdapterPty(const SerialAdapterPty&) = delete;
    SerialAdapterPty& operator=(const SerialAdapterPty&) = delete;

    // Creates the terminal and starts serving it; false (reason in *error)
    // when no terminal could be made. Starting a started adapter restarts it
    // on a new terminal.
    [[nodiscard]] bool Start(std::string* error = nullptr);

    // Stops serving and closes the terminal.
    void Stop();

    void Unplug() { Stop(); }
    [[nodiscard]] bool Replug(std::string* error = nullptr) { return Start(error); }

    // The device node to open ("/dev/pts/4"); empty while stopped.
    [[nodiscard]] std::string PtyPath() const;

    [[nodiscard]] SerialAdapter& Adapter() { return m_adapter; }

    // Holds every reply back this long (late replies).
    void SetReplyDelay(int32_t ms) { m_replyDelayMs = ms; }

    [[nodiscard]] uint64_t BytesReceived() const { return m_bytesIn.load(); }
    [[nodiscard]] uint64_t BytesSent() const { return m_bytesOut.load(); }

private:
    void Serve();

    SerialAdapter m_adapter;
    std::unique_ptr<platform::PseudoTerminal> m_pty;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<int32_t> m_replyDelayMs{0};
    std::atomic<uint64_t> m_bytesIn{0};
    std::atomic<uint64_t> m_bytesOut{0};
    mutable std::mutex m_pathLock;
    std::string m_path;
};

} // namespace sim
