#include "engine/CEcuParameterRead.h"

#include <algorithm>

namespace {

bool IsItemHeader(uint8_t b) {
    const uint8_t n = b & 0x07;
    const uint8_t k = (b >> 3) & 0x07;
    return k != 0 && k <= n && n >= 2;
}

bool IsBlockFormat(uint8_t b) {
    return b >= 2 && b <= 4;
}

} // namespace

std::optional<CEcuReadRequest> CEcuParameterRead::next() const {
    if (m_state != State::Reading) {
        return std::nullopt;
    }
    switch (m_step) {
    case Step::First:
    case Step::ItemPackets:
        return CEcuReadRequest{2, 32};
    case Step::Page2:
        return CEcuReadRequest{3, 32};
    case Step::Name:
        return CEcuReadRequest{14, 32};
    case Step::Done:
        break;
    }
    return std::nullopt;
}

void CEcuParameterRead::copyPage(std::array<uint8_t, 32>& to, std::span<const uint8_t> from) {
    to.fill(0);
    std::copy_n(from.begin(), std::min<size_t>(from.size(), to.size()), to.begin());
}

void CEcuParameterRead::takeItemPacket(std::span<const uint8_t> bytes) {
    const int k = m_set.Add(bytes);
    if (k == 1) {
        copyPage(m_packet1, bytes);
    } else if (k == 2) {
        copyPage(m_packet2, bytes);
    }
    if (m_set.Complete()) {
        // The generation rule needs n >= 2, but a later header may lower n;
        // packets 1 and 2 must both be there for the block to be decoded.
        if ((m_set.ReceivedMask() & 0x03) != 0x03) {
            m_state = State::Failed;
            return;
        }
        m_step = Step::Name;
    } else if (m_set.Exhausted()) {
        m_state = State::Failed;
    }
}

void CEcuParameterRead::feed(std::span<const uint8_t> bytes) {
    if (m_state != State::Reading) {
        return;
    }
    switch (m_step) {
    case Step::First: {
        const uint8_t b0 = bytes.empty() ? 0 : bytes[0];
        if (IsItemHeader(b0) && m_known != EcuGeneration::Block) {
            m_generation = EcuGeneration::Item;
            m_step = Step::ItemPackets;
            takeItemPacket(bytes);
        } else if (IsBlockFormat(b0) && m_known != EcuGeneration::Item) {
            m_generation = EcuGeneration::Block;
            copyPage(m_page1, bytes);
            m_step = Step::Page2;
        } else {
            m_state = State::Failed;
        }
        break;
    }
    case Step::ItemPackets:
        takeItemPacket(bytes);
        break;
    case Step::Page2:
        copyPage(m_page2, bytes);
        m_step = Step::Name;
        break;
    case Step::Name:
        copyPage(m_name, bytes);
        m_hasName = true;
        m_step = Step::Done;
        m_state = State::Complete;
        break;
    case Step::Done:
        break;
    }
}

void CEcuParameterRead::fail() {
    if (m_state != State::Reading) {
        return;
    }
    if (m_step == Step::Name) {
        // The name page is the only optional read.
        m_step = Step::Done;
        m_state = State::Complete;
        return;
    }
    m_state = State::Failed;
}
