#include "sim/SerialAdapter.h"

#include "sim/Bus.h"

#include <array>

namespace sim {

namespace {

constexpr uint8_t kFlag = 0x7E;
constexpr uint8_t kEsc = 0x7D;
constexpr size_t kLongestRequest = 8 + 32;

uint8_t Check(const uint8_t* bytes, size_t count) {
    uint8_t x = 0;
    for (size_t i = 0; i < count; ++i) {
        x = static_cast<uint8_t>(x ^ bytes[i]);
    }
    return static_cast<uint8_t>(~x);
}

void PutStuffed(std::vector<uint8_t>& out, const std::vector<uint8_t>& payload) {
    out.push_back(kFlag);
    for (uint8_t b : payload) {
        if (b == kFlag || b == kEsc) {
            out.push_back(kEsc);
            out.push_back(static_cast<uint8_t>(b ^ 0x20));
        } else {
            out.push_back(b);
        }
    }
    out.push_back(kFlag);
}

bool Take(int& count) {
    if (count > 0) {
        --count;
        return true;
    }
    return false;
}

} // namespace

SerialAdapter::SerialAdapter(Bus& bus)
    : m_bus(bus) {}

void SerialAdapter::Receive(std::span<const uint8_t> bytes, std::vector<uint8_t>& out) {
    std::lock_guard lock(m_lock);
    for (uint8_t b : bytes) {
        if (b == kFlag) {
            if (m_inFrame && !m_frame.empty()) {
                OnFrame(out);
            }
            m_frame.clear();
            m_inFrame = true;
            m_escape = false;
            continue;
        }
        if (!m_inFrame) {
            continue;
        }
        if (m_escape) {
            m_escape = false;
            b = static_cast<uint8_t>(b ^ 0x20);
        } else if (b == kEsc) {
            m_escape = true;
            continue;
        }
        if (m_frame.size() >= kLongestRequest) {
            // Too long for any request: drop it and wait for the next flag.
            ++m_badFrames;
            m_frame.clear();
            m_inFrame = false;
            continue;
        }
        m_frame.push_back(b);
    }
}

void SerialAdapter::OnFrame(std::vector<uint8_t>& out) {
    const std::vector<uint8_t>& f = m_frame;
    if (f.size() < 8 || f[0] != 0xC7 || f[3] != f.size() - 5 ||
        f.back() != Check(&f[5], f.size() - 6)) {
        ++m_badFrames;
        return;
    }
    const uint8_t a = f[5];
    const uint8_t b = f[6];
    const uint8_t unit = static_cast<uint8_t>(a >> 3);
    const bool write = (a & 0x02) != 0;
    const uint8_t reg = static_cast<uint8_t>(((a & 0x01) << 3) | (b >> 5));
    const uint8_t length = static_cast<uint8_t>((b & 0x1F) + 1);
    const size_t dataCount = f.size() - 8;
    if (write ? dataCount != length : (dataCount != 0 || f[4] != length + 1)) {
        ++m_badFrames;
        return;
    }
    ++m_requests;
    const uint8_t sequence = f[1];
    m_lastSequence = sequence;

    std::vector<uint8_t> reply{0x38, sequence, 0x00};
    if (write) {
        const bool ok = m_bus.Write(unit, reg, std::span<const uint8_t>(&f[7], length));
        reply.push_back(1);
        reply.push_back(ok ? 0xFF : 0x00);
    } else {
        std::array<uint8_t, 32> data{};
        if (!m_bus.Read(unit, reg, length, data.data())) {
            return; // the unit stays silent, and so does the adapter
        }
        reply.push_back(static_cast<uint8_t>(length + 1));
        reply.insert(reply.end(), data.begin(), data.begin() + length);
        reply.push_back(Check(data.data(), length));
    }

    if (m_silent || Take(m_silence)) {
        return;
    }
    if (Take(m_wrongSequence)) {
        reply[1] = static_cast<uint8_t>(sequence + 1);
    }
    if (Take(m_wrongLength)) {
        if (write) {
            reply[3] = 2;
            reply.push_back(0xFF);
        } else {
            // One data byte short, its length and check consistent with that.
            reply.erase(reply.end() - 2);
            reply[3] = length;
            reply.back() = Check(&reply[4], length - 1u);
        }
    }
    if (Take(m_wrongCheck)) {
        reply.back() = static_cast<uint8_t>(write ? 0x00 : ~reply.back());
    }
    PutStuffed(out, reply);
    ++m_replies;
}

void SerialAdapter::InjectSilence(int count) {
    std::lock_guard lock(m_lock);
    m_silence = count;
}
void SerialAdapter::InjectWrongSequence(int count) {
    std::lock_guard lock(m_lock);
    m_wrongSequence = count;
}
void SerialAdapter::InjectWrongLength(int count) {
    std::lock_guard lock(m_lock);
    m_wrongLength = count;
}
void SerialAdapter::InjectWrongCheck(int count) {
    std::lock_guard lock(m_lock);
    m_wrongCheck = count;
}
void SerialAdapter::SetSilent(bool silent) {
    std::lock_guard lock(m_lock);
    m_silent = silent;
}
uint32_t SerialAdapter::Requests() const {
    std::lock_guard lock(m_lock);
    return m_requests;
}
uint32_t SerialAdapter::Replies() const {
    std::lock_guard lock(m_lock);
    return m_replies;
}
uint32_t SerialAdapter::BadFrames() const {
    std::lock_guard lock(m_lock);
    return m_badFrames;
}
uint8_t SerialAdapter::LastSequence() const {
    std::lock_guard lock(m_lock);
    return m_lastSequence;
}

} // namespace sim
