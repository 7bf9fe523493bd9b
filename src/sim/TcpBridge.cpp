#include "sim/TcpBridge.h"

#include "platform/Clock.h"
#include "platform/Socket.h"

namespace sim {

namespace {

// Takes one use of a fault counter; -1 never runs out.
bool Take(std::atomic<int>& counter) {
    int value = counter.load();
    while (value != 0) {
        if (value < 0) {
            return true;
        }
        if (counter.compare_exchange_weak(value, value - 1)) {
            return true;
        }
    }
    return false;
}

uint8_t Complement(const uint8_t* bytes, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i) {
        x ^= bytes[i];
    }
    return static_cast<uint8_t>(~x);
}

} // namespace

TcpBridge::TcpBridge(Bus& bus, uint16_t port)
    : m_bus(bus)
    , m_port(port) {}

TcpBridge::~TcpBridge() { Stop(); }

bool TcpBridge::Start() {
    if (m_running.load() != 0) {
        return true;
    }
    uint16_t bound = 0;
    m_listener = platform::TcpListen("127.0.0.1", m_port, &bound, &m_lastError);
    if (m_listener == platform::kInvalidSocket) {
        return false;
    }
    m_port = bound;
    m_running = 1;
    if (m_thread.Start(&TcpBridge::ThreadMain, this) == 0) {
        m_running = 0;
        platform::SocketClose(m_listener);
        m_listener = -1;
        m_lastError = "thread start failed";
        return false;
    }
    return true;
}

void TcpBridge::Stop() {
    if (m_running.exchange(0) == 0) {
        return;
    }
    DropConnection();
    m_thread.Stop();
    platform::SocketClose(m_listener);
    m_listener = -1;
}

void TcpBridge::DropConnection() {
    std::lock_guard lock(m_connectionLock);
    platform::SocketShutdown(m_connection);
}

void TcpBridge::ThreadMain(void* self) { static_cast<TcpBridge*>(self)->Run(); }

void TcpBridge::Run() {
    while (m_running.load() != 0) {
        // Bounded so that Stop is noticed without another wake-up.
        const int connection = platform::TcpAccept(m_listener, 50);
        if (connection == platform::kInvalidSocket) {
            continue;
        }
        ++m_connections;
        if (Take(faults.acceptAndClose)) {
            platform::SocketClose(connection);
            continue;
        }
        {
            std::lock_guard lock(m_connectionLock);
            m_connection = connection;
        }
        if (m_running.load() != 0) {
            Serve(connection);
        }
        {
            std::lock_guard lock(m_connectionLock);
            m_connection = -1;
        }
        platform::SocketClose(connection);
    }
}

void TcpBridge::Serve(int connection) {
    std::vector<uint8_t> pending;
    uint8_t chunk[512];
    while (m_running.load() != 0) {
        const long n = platform::SocketRecv(connection, chunk, sizeof chunk);
        if (n <= 0) {
            return;
        }
        pending.insert(pending.end(), chunk, chunk + n);
        if (!HandleRequests(connection, pending)) {
            return;
        }
        if (pending.size() > 4096) {
            pending.clear(); // nothing but noise: start over
        }
    }
}

bool TcpBridge::HandleRequests(int connection, std::vector<uint8_t>& pending) {
    for (;;) {
        // Resynchronise on the preamble.
        size_t start = 0;
        while (start + 3 <= pending.size() &&
               !(pending[start] == 0xFF && pending[start + 1] == 0xFE && pending[start + 2] == 0xFD)) {
            ++start;
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(start));
        if (pending.size() < 5) {
            return true;
        }
        const uint8_t a = pending[3];
        const uint8_t b = pending[4];
        const bool write = (a & 0x02) != 0;
        const uint8_t length = static_cast<uint8_t>((b & 0x1F) + 1);
        const size_t n = write ? length : 0;
        const size_t frameLength = 6 + n;
        if (pending.size() < frameLength) {
            return true;
        }
        const uint8_t address = static_cast<uint8_t>(a >> 3);
        const uint8_t reg = static_cast<uint8_t>(((a & 0x01) << 3) | (b >> 5));
        const bool checkOk = pending[5 + n] == Complement(pending.data() + 3, 2 + n);
        std::vector<uint8_t> data(pending.begin() + 5, pending.begin() + 5 + static_cast<long>(n));
        pending.erase(pending.begin(), pending.begin() + static_cast<long>(frameLength));
        ++m_requests;
        if (!checkOk) {
            continue;
        }

        std::vector<uint8_t> reply{0xFF, 0xFE, 0xFD};
        bool answered;
        if (write) {
            const bool ack = m_bus.Write(address, reg, data);
            reply.push_back(ack ? 0xFF : 0x00);
            answered = true;
        } else {
            uint8_t out[32] = {};
            answered = m_bus.Read(address, reg, length, out);
            reply.insert(reply.end(), out, out + length);
        }
        if (Take(faults.dropConnection)) {
            return false;
        }
        if (!answered || Take(faults.silent)) {
            continue;
        }
        if (write && Take(faults.noWriteAck)) {
            reply[3] = 0x00;
        }
        if (Take(faults.wrongPreamble)) {
            reply[2] = 0xFC;
        }
        if (Take(faults.lateReply)) {
            platform::SleepMs(faults.lateReplyMs.load());
        }
        if (!SendReply(connection, reply)) {
            return false;
        }
    }
}

bool TcpBridge::SendReply(int connection, const std::vector<uint8_t>& reply) {
    if (reply.size() > 2 && Take(faults.splitReply)) {
        const size_t first = reply.size() / 2;
        if (platform::SocketSend(connection, reply.data(), first) != static_cast<long>(first)) {
            return false;
        }
        platform::SleepMs(faults.splitGapMs.load());
        const size_t rest = reply.size() - first;
        return platform::SocketSend(connection, reply.data() + first, rest) == static_cast<long>(rest);
    }
    return platform::SocketSend(connection, reply.data(), reply.size()) == static_cast<long>(reply.size());
}

} // namespace sim
