#pragma once

#include <cstdint>
#include <span>

// Tracks one set of item-generation packets (telemetry from register 1,
// parameters from register 2), fed one 32-byte read at a time.
//
// Byte 0 of each read is the packet header: bits 0-2 the number of packets in
// the set (n), bits 3-5 this packet's number (k). A packet with k = 0 or k > n
// is ignored. The set is complete when packets 1..n of the latest header's n
// have all arrived; a header with n = 0 therefore ends the set at once.
//
// A set that never completes (an ECU that keeps repeating a packet or changes
// n) ends after kMaxReads reads instead of being read forever.
//
// Thread safety: none; a plain value used by one thread.
class CEcuPacketSet {
public:
    // Two full passes over the largest set (7 packets) plus slack.
    static constexpr int kMaxReads = 16;

    // Header fields of a read; 0 for an empty read.
    [[nodiscard]] static uint8_t HeaderCount(std::span<const uint8_t> read) {
        return read.empty() ? 0 : static_cast<uint8_t>(read[0] & 0x07);
    }
    [[nodiscard]] static uint8_t HeaderNumber(std::span<const uint8_t> read) {
        return read.empty() ? 0 : static_cast<uint8_t>((read[0] >> 3) & 0x07);
    }

    // Takes one read. Returns this packet's number k (1..7) when it is accepted
    // and 0 when it is ignored. Reads after the set finished are ignored.
    int Add(std::span<const uint8_t> read);

    // All packets of the set arrived.
    [[nodiscard]] bool Complete() const { return m_complete; }
    // kMaxReads reads without completing.
    [[nodiscard]] bool Exhausted() const { return !m_complete && m_reads >= kMaxReads; }
    [[nodiscard]] bool Finished() const { return m_complete || m_reads >= kMaxReads; }

    // Bit k-1 set for every accepted packet k.
    [[nodiscard]] uint8_t ReceivedMask() const { return m_mask; }
    [[nodiscard]] int Reads() const { return m_reads; }

private:
    uint8_t m_mask = 0;
    int m_reads = 0;
    bool m_complete = false;
};
