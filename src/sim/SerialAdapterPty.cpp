#include "sim/SerialAdapterPty.h"

#include "platform/Clock.h"
#include "platform/PseudoTerminal.h"

#include <array>
#include <vector>

namespace sim {

SerialAdapterPty::SerialAdapterPty(Bus& bus)
    : m_adapter(bus)
    , m_pty(std::make_unique<platform::PseudoTerminal>()) {}

SerialAdapterPty::~SerialAdapterPty() {
    Stop();
}

bool SerialAdapterPty::Start(std::string* error) {
    Stop();
    if (!m_pty->Open(error)) {
        return false;
    }
    {
        std::lock_guard lock(m_pathLock);
        m_path = m_pty->SlavePath();
    }
    m_running = true;
    m_thread = std::thread([this] { Serve(); });
    return true;
}

void SerialAdapterPty::Stop() {
    m_running = false;
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_pty->Close();
    std::lock_guard lock(m_pathLock);
    m_path.clear();
}

std::string SerialAdapterPty::PtyPath() const {
    std::lock_guard lock(m_pathLock);
    return m_path;
}

void SerialAdapterPty::Serve() {
    std::array<uint8_t, 512> bytes;
    std::vector<uint8_t> reply;
    while (m_running.load()) {
        const int ready = m_pty->WaitReadable(10);
        if (ready <= 0) {
            if (ready < 0) {
                platform::SleepMs(10);
            }
            continue;
        }
        const long n = m_pty->Read(bytes.data(), bytes.size());
        if (n <= 0) {
            continue;
        }
        m_bytesIn += static_cast<uint64_t>(n);
        reply.clear();
        m_adapter.Receive(std::span<const uint8_t>(bytes.data(), static_cast<size_t>(n)), reply);
        if (reply.empty()) {
            continue;
        }
        platform::SleepMs(m_replyDelayMs.load());
        const long sent = m_pty->Write(reply.data(), reply.size());
        if (sent > 0) {
            m_bytesOut += static_cast<uint64_t>(sent);
        }
    }
}

} // namespace sim
