#include "engine/CEcuTelemetryRead.h"

#include <algorithm>

void CEcuTelemetryRead::copyPage(std::array<uint8_t, 32>& to, std::span<const uint8_t> from) {
    to.fill(0);
    std::copy_n(from.begin(), std::min<size_t>(from.size(), to.size()), to.begin());
}

bool CEcuTelemetryRead::finished() const {
    switch (m_context.generation) {
    case EcuGeneration::Item:
        return m_failed || m_set.Finished();
    case EcuGeneration::Block:
        return m_failed || m_have2;
    case EcuGeneration::Unknown:
        break;
    }
    return true;
}

std::optional<CEcuReadRequest> CEcuTelemetryRead::next() const {
    if (finished()) {
        return std::nullopt;
    }
    if (m_context.generation == EcuGeneration::Block && m_have1) {
        return CEcuReadRequest{4, 32};
    }
    return CEcuReadRequest{1, 32};
}

void CEcuTelemetryRead::feed(std::span<const uint8_t> bytes) {
    if (finished()) {
        return;
    }
    if (m_context.generation == EcuGeneration::Item) {
        const int k = m_set.Add(bytes);
        if (k == 1) {
            copyPage(m_first, bytes);
            m_have1 = true;
        } else if (k == 2) {
            copyPage(m_second, bytes);
            m_have2 = true;
        }
        return;
    }
    if (!m_have1) {
        copyPage(m_first, bytes);
        m_have1 = true;
    } else {
        copyPage(m_second, bytes);
        m_have2 = true;
    }
}

void CEcuTelemetryRead::fail() {
    if (!finished()) {
        m_failed = true;
    }
}

int CEcuTelemetryRead::apply(CEcuLiveState& live) const {
    switch (m_context.generation) {
    case EcuGeneration::Item:
        if (m_have1) {
            live.decodeItemPacket1(m_first);
        }
        if (m_have2) {
            live.decodeItemPacket2(m_second);
        }
        return 1;
    case EcuGeneration::Block:
        if (!m_have1 || !m_have2) {
            return 0;
        }
        live.decodeBlock(m_first, m_second, m_context);
        return 1;
    case EcuGeneration::Unknown:
        break;
    }
    return 0;
}
