#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sim {

// How the simulated boot loader behaves.
struct BootLoaderConfig {
    // Block protocol (capability AB 01 blocksPerBatch blockSize) or classic.
    bool blockProtocol = true;
    uint8_t blocksPerBatch = 16;
    uint8_t blockSize = 31;
    // Classic protocol: erase time in units of 10 ms (255: silent until the
    // erase is done) and pause after each data block, ms.
    uint8_t eraseTimeCode = 5;
    uint8_t blockWriteDelayMs = 0;
    // How long the erase really takes, ms (for code 255 and the block protocol).
    uint32_t eraseDurationMs = 50;
    // Block protocol: status reads answered busy after each batch.
    int busyReadsPerBatch = 1;
    // Block protocol: never finish writing a batch (the tool must give up).
    bool stuckBusy = false;
    // Block protocol: in batch missingBatch, the blocks of missingMask are
    // dropped the first time and reported missing once.
    int missingBatch = -1;
    uint32_t missingMask = 0;
    // A worn-out flash: from this erase on (1 = the first) every erase
    // command is refused, so the transfer fails. 0: never.
    int refuseEraseFrom = 0;
};

// The boot loader of a unit, from its side of the wire: registers 1..7 while
// the unit is in boot-loader mode. It keeps the image it received so that
// tests compare it byte for byte with the file sent.
class BootLoader {
public:
    BootLoaderConfig config;

    // False: no answer (silent while a code-255 erase runs).
    bool Read(uint8_t reg, uint8_t length, uint8_t* out);
    bool Write(uint8_t reg, std::span<const uint8_t> data);

    // Silent to every register, the status register included, while a
    // code-255 erase runs.
    [[nodiscard]] bool Silent() const;

    // Bytes written since the last erase; the classic protocol's fill of the
    // last block is included.
    [[nodiscard]] const std::vector<uint8_t>& Image() const { return m_image; }
    [[nodiscard]] int Erases() const { return m_erases; }
    [[nodiscard]] const std::vector<uint32_t>& BatchMasks() const { return m_batchMasks; }
    [[nodiscard]] const std::vector<uint32_t>& BatchOffsets() const { return m_batchOffsets; }
    // Block indices written in order (block protocol), for resend checks.
    [[nodiscard]] const std::vector<uint8_t>& BlockWrites() const { return m_blockWrites; }
    [[nodiscard]] const std::vector<uint16_t>& ClassicBlocks() const { return m_classicBlocks; }

private:
    void Store(uint32_t offset, std::span<const uint8_t> bytes);
    [[nodiscard]] bool Erasing() const;

    std::vector<uint8_t> m_image;
    int m_erases = 0;
    uint32_t m_eraseStart = 0;
    bool m_eraseRunning = false;
    // Block protocol batch state.
    uint32_t m_mask = 0;
    uint32_t m_offset = 0;
    uint32_t m_received = 0;
    uint32_t m_lostOnce = 0; // blocks of the chosen batch already lost once
    int m_batchIndex = -1;
    int m_busyLeft = 0;
    std::vector<uint32_t> m_batchMasks;
    std::vector<uint32_t> m_batchOffsets;
    std::vector<uint8_t> m_blockWrites;
    // Classic protocol.
    uint16_t m_classicBlock = 0;
    std::vector<uint16_t> m_classicBlocks;
};

} // namespace sim
