#include "protocol/FrameSerialParser.h"

#include <algorithm>

namespace frames {

void FrameSerialParser::Reset() {
    m_count = 0;
    m_receiving = false;
    m_escaped = false;
}

void FrameSerialParser::Abandon() {
    // Emptied as well as stopped, so that the next delimiter opens a frame
    // instead of completing the abandoned one.
    m_count = 0;
    m_receiving = false;
    m_escaped = false;
}

bool FrameSerialParser::Feed(uint8_t byte) {
    if (byte == kSerialDelimiter) {
        bool ready = false;
        if (m_count > 2 && m_collected[0] == kSerialReplyMarker) {
            std::copy_n(m_collected.begin(), m_count, m_frame.begin());
            m_frameLength = m_count;
            ready = true;
        }
        // Receiving afterwards only if nothing was collected: 7E payload 7E is
        // one frame, and what follows a closing 7E waits for the next 7E.
        m_receiving = m_count == 0;
        m_count = 0;
        m_escaped = false;
        return ready;
    }
    if (byte == kSerialEscape && !m_escaped) {
        m_escaped = true;
        return false;
    }
    uint8_t value = byte;
    if (m_escaped) {
        m_escaped = false;
        if (byte == 0x5E) {
            value = kSerialDelimiter;
        } else if (byte == 0x5D) {
            value = kSerialEscape;
        } else {
            Abandon();
            return false;
        }
    }
    if (!m_receiving) {
        return false;
    }
    if (m_count >= kCapacity) {
        Abandon();
        return false;
    }
    m_collected[m_count++] = value;
    return false;
}

} // namespace frames
