#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// The controlling side of a pseudo-terminal pair, for a simulated serial
// device: whatever opens SlavePath() talks to whoever holds this object.
//
// The object keeps a descriptor of the far side open itself, so that the
// near side never reads a hang-up while nobody else has the far side open;
// Close is what the far side sees as the device being unplugged.
//
// Thread safety: Open and Close belong to the owner, while no other thread
// uses the object; WaitReadable, Read and Write may be used by one thread.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal(); // closes
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates a new pair, this side non-blocking and the far side with the
    // settings of a fresh terminal; false with the failing call in *error. An
    // open pair is closed first.
    [[nodiscard]] bool Open(std::string* error);

    // Closes both descriptors; the far side hangs up.
    void Close();

    [[nodiscard]] bool IsOpen() const { return m_master >= 0; }

    // The device node of the far side ("/dev/pts/3"); empty while closed.
    [[nodiscard]] const std::string& SlavePath() const { return m_slavePath; }

    // Waits at most timeoutMs for bytes: 1 readable, 0 time-out, -1 error.
    [[nodiscard]] int WaitReadable(int32_t timeoutMs);

    // What is there, up to capacity, without waiting: count (0 when none) or -1.
    [[nodiscard]] long Read(uint8_t* buffer, size_t capacity);

    // All bytes, waiting at most 100 ms for room: count written or -1.
    [[nodiscard]] long Write(const uint8_t* data, size_t length);

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

} // namespace platform
