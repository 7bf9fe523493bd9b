#pragma once

#include "foundation/CMThread.h"
#include "sim/Bus.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace sim {

// What the bridge does wrong, for tests. Each counter applies to that many
// of the next replies (or connections); -1 applies to all of them.
struct BridgeFaults {
    std::atomic<int> dropConnection{0};   // close the connection instead of replying
    std::atomic<int> lateReply{0};        // reply after lateReplyMs
    std::atomic<int> lateReplyMs{30};
    std::atomic<int> splitReply{0};       // send the reply in two segments, splitGapMs apart
    std::atomic<int> splitGapMs{2};
    std::atomic<int> wrongPreamble{0};    // reply starts FF FE FC
    std::atomic<int> noWriteAck{0};       // a write is answered FF FE FD 00
    std::atomic<int> silent{0};           // no reply at all
    std::atomic<int> acceptAndClose{0};   // close each new connection at once
};

// The bridge program on 127.0.0.1: speaks the socket frames to the tool and
// turns each request into a transaction on the simulated bus.
//
// Request: FF FE FD, header A, header B, write data, check byte.
// Reply:   FF FE FD and the read data, or FF FE FD FF for an acknowledged write.
// A request with a wrong check byte, or a read the bus does not answer, gets
// no reply; a write the unit refuses is answered FF FE FD 00.
//
// Thread safety: Start and Stop from the owner; faults and counters from any
// thread.
class TcpBridge {
public:
    // port 0 picks a free port (see GetPort after Start).
    explicit TcpBridge(Bus& bus, uint16_t port = 8987);
    ~TcpBridge();
    TcpBridge(const TcpBridge&) = delete;
    TcpBridge& operator=(const TcpBridge&) = delete;

    // Listens on 127.0.0.1 and serves connections one at a time; false if
    // the port cannot be bound (the reason in GetLastError).
    [[nodiscard]] bool Start();
    void Stop();

    // Closes the current connection now, as a bridge that goes away does.
    void DropConnection();

    [[nodiscard]] uint16_t GetPort() const { return m_port; }
    [[nodiscard]] std::string GetLastError() const { return m_lastError; }
    [[nodiscard]] uint32_t GetConnections() const { return m_connections.load(); }
    [[nodiscard]] uint32_t GetRequests() const { return m_requests.load(); }

    BridgeFaults faults;

private:
    static void ThreadMain(void* self);
    void Run();
    void Serve(int connection);
    // Handles complete requests at the front of pending; false to drop the connection.
    bool HandleRequests(int connection, std::vector<uint8_t>& pending);
    bool SendReply(int connection, const std::vector<uint8_t>& reply);

    Bus& m_bus;
    uint16_t m_port;
    int m_listener = -1;
    std::atomic<int> m_running{0};
    std::atomic<uint32_t> m_connections{0};
    std::atomic<uint32_t> m_requests{0};
    std::mutex m_connectionLock; // guards m_connection against DropConnection/Stop
    int m_connection = -1;
    std::string m_lastError;
    CMThread m_thread;
};

} // namespace sim
