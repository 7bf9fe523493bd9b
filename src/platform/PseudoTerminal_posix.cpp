#include "platform/PseudoTerminal.h"

#include "platform/Clock.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace platform {

namespace {
bool Fail(std::string* error, const char* call) {
    if (error != nullptr) {
        *error = std::string(call) + ": " + std::strerror(errno);
    }
    return false;
}
} // namespace

PseudoTerminal::~PseudoTerminal() {
    Close();
}

bool PseudoTerminal::Open(std::string* error) {
    Close();
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) {
        return Fail(error, "posix_openpt");
    }
    char name[128];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        Fail(error, "ptsname");
        ::close(master);
        return false;
    }
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) {
        Fail(error, "open slave");
        ::close(master);
        return false;
    }
    // The far side is left as a fresh terminal is (echo, line editing): it is
    // the job of whoever opens it to make it raw, as with a real tty. Terminal
    // settings asked of this side would land on the far side.
    const int flags = ::fcntl(master, F_GETFL);
    (void)::fcntl(master, F_SETFL, flags | O_NONBLOCK);
    m_master = master;
    m_slave = slave;
    m_slavePath = name;
    return true;
}

void PseudoTerminal::Close() {
    if (m_slave >= 0) {
        ::close(m_slave);
        m_slave = -1;
    }
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
    m_slavePath.clear();
}

int PseudoTerminal::WaitReadable(int32_t timeoutMs) {
    if (m_master < 0) {
        return -1;
    }
    pollfd p{m_master, POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
    } while (r < 0 && errno == EINTR);
    if (r < 0) {
        return -1;
    }
    return (r > 0 && (p.revents & POLLIN) != 0) ? 1 : 0;
}

long PseudoTerminal::Read(uint8_t* buffer, size_t capacity) {
    if (m_master < 0) {
        return -1;
    }
    ssize_t n;
    do {
        n = ::read(m_master, buffer, capacity);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    }
    return static_cast<long>(n);
}

long PseudoTerminal::Write(const uint8_t* data, size_t length) {
    if (m_master < 0) {
        return -1;
    }
    size_t done = 0;
    const uint32_t start = TickCount();
    while (done < length) {
        const ssize_t n = ::write(m_master, data + done, length - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return -1;
        }
        const int32_t left = 100 - static_cast<int32_t>(TickCount() - start);
        pollfd p{m_master, POLLOUT, 0};
        if (left <= 0 || ::poll(&p, 1, left) <= 0) {
            return -1;
        }
    }
    return static_cast<long>(done);
}

} // namespace platform
