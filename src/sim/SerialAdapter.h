#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace sim {

class Bus;

// The unit's side of the serial framing, as the USB serial adapter speaks it.
//
// Requests arrive 0x7E-delimited with 0x7D escapes (7D 5E for 7E, 7D 5D for
// 7D) and carry [0] C7, [1] sequence, [2] 00, [3] count from [5] to the end,
// [4] expected reply payload length, [5] header A (unit << 3 | write << 1 |
// register bit 3), [6] header B (register bits 2..0 << 5 | length − 1),
// write data, and a check byte (complement of the XOR of [5] up to the data).
// A frame that is malformed or fails its check is ignored, as is a read the
// unit does not answer. Replies carry [0] 38, [1] the sequence echoed, [2] 00,
// [3] reply payload length, then the payload: a read's data and their check
// byte, or a write's FF (00 when the unit refused the write).
//
// Faults for tests, each for the next count replies: silence, a wrong
// sequence echo, a wrong payload length, a wrong check byte (a write gets 00
// instead of FF).
//
// Thread safety: every operation may be called from any thread.
class SerialAdapter {
public:
    explicit SerialAdapter(Bus& bus);

    // Takes bytes from the wire and appends the bytes of any replies to out.
    void Receive(std::span<const uint8_t> bytes, std::vector<uint8_t>& out);

    void InjectSilence(int count);
    void InjectWrongSequence(int count);
    void InjectWrongLength(int count);
    void InjectWrongCheck(int count);
    // While silent nothing is answered (an adapter that hangs).
    void SetSilent(bool silent);

    [[nodiscard]] uint32_t Requests() const;  // well-formed requests received
    [[nodiscard]] uint32_t Replies() const;   // replies sent
    [[nodiscard]] uint32_t BadFrames() const; // frames ignored as malformed
    [[nodiscard]] uint8_t LastSequence() const;

private:
    void OnFrame(std::vector<uint8_t>& out);

    Bus& m_bus;
    mutable std::mutex m_lock;
    std::vector<uint8_t> m_frame;
    bool m_inFrame = false;
    bool m_escape = false;

    int m_silence = 0;
    int m_wrongSequence = 0;
    int m_wrongLength = 0;
    int m_wrongCheck = 0;
    bool m_silent = false;

    uint32_t m_requests = 0;
    uint32_t m_replies = 0;
    uint32_t m_badFrames = 0;
    uint8_t m_lastSequence = 0;
};

} // namespace sim
