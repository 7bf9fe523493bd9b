#include "sim/BootLoader.h"

#include "platform/Clock.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {
void PutLe32(uint8_t* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
uint32_t GetLe32(const uint8_t* in) {
    return static_cast<uint32_t>(in[0]) | (static_cast<uint32_t>(in[1]) << 8) |
           (static_cast<uint32_t>(in[2]) << 16) | (static_cast<uint32_t>(in[3]) << 24);
}
} // namespace

bool BootLoader::Erasing() const {
    if (!m_eraseRunning) {
        return false;
    }
    const uint32_t duration = (!config.blockProtocol && config.eraseTimeCode != 255)
                                  ? static_cast<uint32_t>(config.eraseTimeCode) * 10u
                                  : config.eraseDurationMs;
    return platform::TickCount() - m_eraseStart < duration;
}

bool BootLoader::Silent() const { return !config.blockProtocol && config.eraseTimeCode == 255 && Erasing(); }

void BootLoader::Store(uint32_t offset, std::span<const uint8_t> bytes) {
    if (m_image.size() < offset + bytes.size()) {
        m_image.resize(offset + bytes.size(), 0xFF);
    }
    std::copy(bytes.begin(), bytes.end(), m_image.begin() + offset);
}

bool BootLoader::Read(uint8_t reg, uint8_t length, uint8_t* out) {
    if (Silent()) {
        return false;
    }
    std::memset(out, 0, length);
    switch (reg) {
    case 1: // classic timings
        out[0] = config.eraseTimeCode;
        if (length > 1) {
            out[1] = config.blockWriteDelayMs;
        }
        return true;
    case 5: // capability
        if (config.blockProtocol && length >= 4) {
            out[0] = 0xAB;
            out[1] = 0x01;
            out[2] = config.blocksPerBatch;
            out[3] = config.blockSize;
        }
        return true;
    case 6:
        if (!config.blockProtocol) {
            return false;
        }
        if (length == 1) { // erase status
            out[0] = Erasing() ? 1 : 0;
            return true;
        }
        if (length == 9) { // batch header echo
            PutLe32(out + 1, m_mask);
            PutLe32(out + 5, m_offset);
            return true;
        }
        if (length == 5) { // batch written?
            if (config.stuckBusy || m_busyLeft > 0) {
                m_busyLeft = std::max(0, m_busyLeft - 1);
                out[0] = 1;
                return true;
            }
            PutLe32(out + 1, m_mask & ~m_received);
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool BootLoader::Write(uint8_t reg, std::span<const uint8_t> data) {
    if (Silent()) {
        return false;
    }
    switch (reg) {
    case 2:
        if (data.size() != 2 || data[0] != 0x32 || data[1] != 0x74) {
            return false;
        }
        if (config.refuseEraseFrom > 0 && m_erases + 1 >= config.refuseEraseFrom) {
            return false;
        }
        m_image.clear();
        ++m_erases;
        m_eraseStart = platform::TickCount();
        m_eraseRunning = true;
        m_batchIndex = -1;
        m_lostOnce = 0;
        return true;
    case 3: // classic block number
        if (config.blockProtocol || data.size() != 2) {
            return false;
        }
        m_classicBlock = static_cast<uint16_t>(data[0] | (data[1] << 8));
        return true;
    case 4: // classic block data
        if (config.blockProtocol || data.size() != 32) {
            return false;
        }
        Store(static_cast<uint32_t>(m_classicBlock) * 32u, data);
        m_classicBlocks.push_back(m_classicBlock);
        return true;
    case 6: // batch header
        if (!config.blockProtocol || data.size() != 8) {
            return false;
        }
        m_mask = GetLe32(data.data());
        m_offset = GetLe32(data.data() + 4);
        m_received = 0;
        ++m_batchIndex;
        m_busyLeft = config.busyReadsPerBatch;
        m_batchMasks.push_back(m_mask);
        m_batchOffsets.push_back(m_offset);
        return true;
    case 7: { // block within the batch
        if (!config.blockProtocol || data.size() < 2 || data.size() - 1 > config.blockSize) {
            return false;
        }
        const uint8_t index = data[0];
        if (index >= 32 || (m_mask & (1u << index)) == 0) {
            return false;
        }
        m_blockWrites.push_back(index);
        const uint32_t bit = 1u << index;
        if (m_batchIndex == config.missingBatch && (config.missingMask & bit) != 0 && (m_lostOnce & bit) == 0) {
            m_lostOnce |= bit; // lost once, reported missing; the next copy is kept
            return true;
        }
        m_received |= bit;
        Store(m_offset + index * static_cast<uint32_t>(config.blockSize), data.subspan(1));
        return true;
    }
    default:
        return false;
    }
}

} // namespace sim
