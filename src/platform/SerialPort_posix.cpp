#include "platform/SerialPort.h"

#include "platform/Clock.h"

// termios2 (not <termios.h>, whose struct it clashes with) for a free baud rate.
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int32_t kWriteRoomMs = 100;

class TermiosSerialPort final : public SerialPort {
public:
    TermiosSerialPort(int fd, std::string path)
        : m_fd(fd)
        , m_path(std::move(path)) {}
    ~TermiosSerialPort() override {
        // The exclusive mark stays on the terminal while anybody else still
        // has it open, and would refuse our own next open.
        (void)::ioctl(m_fd, TIOCNXCL);
        ::close(m_fd);
    }

    bool Configure(uint32_t baudRate) override {
        termios2 t{};
        if (::ioctl(m_fd, TCGETS2, &t) != 0) {
            return Fail("ioctl(TCGETS2)");
        }
        // Raw bytes, as a serial port always is elsewhere: no line editing,
        // echo, signals, CR/NL translation or software flow control, which
        // would all alter or swallow frame bytes. Byte size, parity, stop bits
        // and hardware flow control stay as the driver set them.
        t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                            ICRNL | IXON | IXOFF | IXANY);
        t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        t.c_cflag |= CREAD | CLOCAL;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
        t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
        t.c_ispeed = baudRate;
        t.c_ospeed = baudRate;
        if (::ioctl(m_fd, TCSETS2, &t) != 0) {
            return Fail("ioctl(TCSETS2)");
        }
        int lines = TIOCM_DTR | TIOCM_RTS;
        // A pseudo-terminal has no modem lines and answers ENOTTY.
        if (::ioctl(m_fd, TIOCMBIS, &lines) != 0 && errno != ENOTTY && errno != EINVAL) {
            return Fail("ioctl(TIOCMBIS)");
        }
        return true;
    }

    int BytesWaiting() override {
        int n = 0;
        if (::ioctl(m_fd, FIONREAD, &n) != 0) {
            Fail("ioctl(FIONREAD)");
            return -1;
        }
        return n;
    }

    int WaitReadable(int32_t timeoutMs) override {
        pollfd p{m_fd, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, timeoutMs < 0 ? -1 : timeoutMs);
        } while (r < 0 && errno == EINTR);
        if (r < 0) {
            Fail("poll");
            return -1;
        }
        if (r == 0) {
            return 0;
        }
        if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            SetError("poll: " + m_path + " hung up");
            return -1;
        }
        return 1;
    }

    long Read(uint8_t* buffer, size_t capacity) override {
        ssize_t n;
        do {
            n = ::read(m_fd, buffer, capacity);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return 0;
            }
            Fail("read");
            return -1;
        }
        return static_cast<long>(n);
    }

    long Write(const uint8_t* data, size_t length) override {
        size_t done = 0;
        const uint32_t start = TickCount();
        while (done < length) {
            const ssize_t n = ::write(m_fd, data + done, length - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                Fail("write");
                return -1;
            }
            // The output queue is full (flow control holds it): wait for room,
            // but never without bound.
            const int32_t left = kWriteRoomMs - static_cast<int32_t>(TickCount() - start);
            pollfd p{m_fd, POLLOUT, 0};
            if (left <= 0 || ::poll(&p, 1, left) <= 0) {
                SetError("write: " + m_path + " takes no more bytes");
                return -1;
            }
        }
        return static_cast<long>(done);
    }

    bool Purge() override { return ::ioctl(m_fd, TCFLSH, TCIOFLUSH) == 0 || Fail("ioctl(TCFLSH)"); }

    bool Drain(int32_t timeoutMs) override {
        // tcdrain would block without limit while flow control holds the
        // output, so the output queue is watched instead.
        const uint32_t start = TickCount();
        for (;;) {
            int queued = 0;
            if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0) {
                // A pseudo-terminal keeps no output queue of its own.
                return errno == ENOTTY || errno == EINVAL || Fail("ioctl(TIOCOUTQ)");
            }
            if (queued == 0) {
                return true;
            }
            if (static_cast<int32_t>(TickCount() - start) >= timeoutMs) {
                SetError("drain: output still queued");
                return false;
            }
            SleepMs(1);
        }
    }

    std::string LastError() const override {
        std::lock_guard lock(m_errorLock);
        return m_error;
    }

private:
    bool Fail(const char* call) {
        SetError(std::string(call) + " " + m_path + ": " + std::strerror(errno));
        return false;
    }
    void SetError(std::string text) {
        std::lock_guard lock(m_errorLock);
        m_error = std::move(text);
    }

    const int m_fd;
    const std::string m_path;
    mutable std::mutex m_errorLock;
    std::string m_error;
};

} // namespace

std::unique_ptr<SerialPort> OpenSystemSerialPort(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error != nullptr) {
            *error = "open " + path + ": " + std::strerror(errno);
        }
        return nullptr;
    }
    // Nobody else may open the port while the link has it; root is not held
    // back by this, which is accepted.
    (void)::ioctl(fd, TIOCEXCL);
    return std::make_unique<TermiosSerialPort>(fd, path);
}

} // namespace platform
