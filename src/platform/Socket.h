#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// IPv4 TCP sockets, as free functions over a plain handle.
//
// Thread safety: one thread may block in SocketRecv or SocketAccept while
// another calls SocketShutdown on the same handle to unblock it; closing a
// handle that another thread still uses is the caller's error.

using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;

// Initialises the socket layer once per process; true where nothing is needed.
[[nodiscard]] bool SocketStartup();

// Connects to ip:port with TCP_NODELAY set, waiting at most timeoutMs for the
// handshake. Returns kInvalidSocket on failure and names the failing call in
// *error when error is not null.
[[nodiscard]] SocketHandle TcpConnect(const char* ip, uint16_t port, int32_t timeoutMs, std::string* error);

// Sends the whole buffer in one call (a frame must not be split into two
// segments) without blocking: a peer that stopped reading fails the send
// instead of holding the caller. Returns the bytes queued, or -1.
long SocketSend(SocketHandle s, const uint8_t* data, size_t length);

// Blocks until bytes arrive; returns their count, 0 when the peer closed,
// -1 on error or after SocketShutdown.
long SocketRecv(SocketHandle s, uint8_t* buffer, size_t capacity);

// Waits at most timeoutMs for s to become readable: 1 readable (or closed),
// 0 time-out, -1 error.
int SocketWaitReadable(SocketHandle s, int32_t timeoutMs);

// Ends both directions so that a blocked SocketRecv or SocketAccept returns.
void SocketShutdown(SocketHandle s);

void SocketClose(SocketHandle s);

// Listens on ip:port (port 0 picks a free one) with SO_REUSEADDR; the port
// actually bound is stored in *boundPort. Returns kInvalidSocket on failure.
[[nodiscard]] SocketHandle TcpListen(const char* ip, uint16_t port, uint16_t* boundPort, std::string* error);

// Accepts one connection, waiting at most timeoutMs (negative: no limit).
// Returns kInvalidSocket on time-out or error. TCP_NODELAY is set on it.
[[nodiscard]] SocketHandle TcpAccept(SocketHandle listener, int32_t timeoutMs);

} // namespace platform
