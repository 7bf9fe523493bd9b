#include "platform/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

void SetError(std::string* error, const char* call) {
    if (error != nullptr) {
        *error = std::string(call) + ": " + std::strerror(errno);
    }
}

void SetNoDelay(int s) {
    int one = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool MakeAddress(const char* ip, uint16_t port, sockaddr_in* address) {
    std::memset(address, 0, sizeof *address);
    address->sin_family = AF_INET;
    address->sin_port = htons(port);
    return inet_pton(AF_INET, ip, &address->sin_addr) == 1;
}

int PollOne(int s, short events, int32_t timeoutMs) {
    pollfd p{s, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r;
}

} // namespace

bool SocketStartup() { return true; }

SocketHandle TcpConnect(const char* ip, uint16_t port, int32_t timeoutMs, std::string* error) {
    sockaddr_in address{};
    if (!MakeAddress(ip, port, &address)) {
        errno = EINVAL;
        SetError(error, "inet_pton");
        return kInvalidSocket;
    }
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0) {
        SetError(error, "socket");
        return kInvalidSocket;
    }
    // Non-blocking connect bounded by the time-out: a full backlog would
    // otherwise hold a blocking connect for the system's whole SYN retry time,
    // and the link's thread could not be stopped meanwhile.
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            SetError(error, "connect");
            ::close(s);
            return kInvalidSocket;
        }
        int r = PollOne(s, POLLOUT, timeoutMs);
        int soError = 0;
        socklen_t len = sizeof soError;
        if (r <= 0 || getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 || soError != 0) {
            errno = r == 0 ? ETIMEDOUT : (soError != 0 ? soError : errno);
            SetError(error, "connect");
            ::close(s);
            return kInvalidSocket;
        }
    }
    int flags = fcntl(s, F_GETFL);
    fcntl(s, F_SETFL, flags & ~O_NONBLOCK);
    SetNoDelay(s);
    return s;
}

long SocketSend(SocketHandle s, const uint8_t* data, size_t length) {
    ssize_t r;
    do {
        r = ::send(s, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (r < 0 && errno == EINTR);
    return static_cast<long>(r);
}

long SocketRecv(SocketHandle s, uint8_t* buffer, size_t capacity) {
    ssize_t r;
    do {
        r = ::recv(s, buffer, capacity, 0);
    } while (r < 0 && errno == EINTR);
    return static_cast<long>(r);
}

int SocketWaitReadable(SocketHandle s, int32_t timeoutMs) {
    int r = PollOne(s, POLLIN, timeoutMs);
    return r < 0 ? -1 : (r == 0 ? 0 : 1);
}

void SocketShutdown(SocketHandle s) {
    if (s >= 0) {
        ::shutdown(s, SHUT_RDWR);
    }
}

void SocketClose(SocketHandle s) {
    if (s >= 0) {
        ::close(s);
    }
}

SocketHandle TcpListen(const char* ip, uint16_t port, uint16_t* boundPort, std::string* error) {
    sockaddr_in address{};
    if (!MakeAddress(ip, port, &address)) {
        errno = EINVAL;
        SetError(error, "inet_pton");
        return kInvalidSocket;
    }
    int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) {
        SetError(error, "socket");
        return kInvalidSocket;
    }
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        SetError(error, "bind");
        ::close(s);
        return kInvalidSocket;
    }
    if (::listen(s, 16) != 0) {
        SetError(error, "listen");
        ::close(s);
        return kInvalidSocket;
    }
    if (boundPort != nullptr) {
        sockaddr_in bound{};
        socklen_t len = sizeof bound;
        getsockname(s, reinterpret_cast<sockaddr*>(&bound), &len);
        *boundPort = ntohs(bound.sin_port);
    }
    return s;
}

SocketHandle TcpAccept(SocketHandle listener, int32_t timeoutMs) {
    int r = PollOne(listener, POLLIN, timeoutMs);
    if (r <= 0) {
        return kInvalidSocket;
    }
    int s;
    do {
        s = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    } while (s < 0 && errno == EINTR);
    if (s >= 0) {
        SetNoDelay(s);
    }
    return s;
}

} // namespace platform
