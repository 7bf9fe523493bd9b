#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// What the serial link needs of the system's serial ports: the present ports
// with their identity, and opening one for raw byte I/O. The real ports are
// listed with libserialport and driven through termios; tests list a
// pseudo-terminal in their place.

struct SerialPortInfo {
    // The device node to open ("/dev/ttyACM0"). Empty where a system names
    // ports only through the friendly name.
    std::string path;
    // "USB\VID_16C0&PID_06F6" for a USB port; empty when the port has no USB
    // identity.
    std::string hardwareId;
    // Description followed by the port name in parentheses:
    // "USB Serial Device (ttyACM0)".
    std::string friendlyName;
    uint16_t vendorId = 0; // 0 when not a USB port
    uint16_t productId = 0;
};

// One open serial port; destroying it closes it.
//
// Thread safety: one thread may receive (BytesWaiting, WaitReadable, Read)
// while another sends (Purge, Write, Drain); LastError from any thread.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Sets the baud rate (any rate, also a non-standard one), raw byte mode,
    // and DTR and RTS on. Byte size, parity, stop bits and flow control stay
    // as the driver reports them. False when the settings cannot be read or
    // written; modem lines that the port does not have are not a failure.
    [[nodiscard]] virtual bool Configure(uint32_t baudRate) = 0;

    // Bytes received and not yet read; -1 when the port is gone.
    [[nodiscard]] virtual int BytesWaiting() = 0;

    // Waits at most timeoutMs for received bytes: 1 bytes wait, 0 time-out,
    // -1 the port hung up or failed.
    [[nodiscard]] virtual int WaitReadable(int32_t timeoutMs) = 0;

    // Reads what is there, up to capacity, without waiting: the count read
    // (0 when none), or -1 on failure.
    [[nodiscard]] virtual long Read(uint8_t* buffer, size_t capacity) = 0;

    // Writes all bytes, waiting at most 100 ms for room: the count written,
    // or -1 on failure.
    [[nodiscard]] virtual long Write(const uint8_t* data, size_t length) = 0;

    // Discards what is queued in both directions.
    virtual bool Purge() = 0;

    // Waits at most timeoutMs until the queued output has left; false on
    // time-out or failure.
    virtual bool Drain(int32_t timeoutMs) = 0;

    [[nodiscard]] virtual std::string LastError() const = 0;
};

// The present ports and how to open them.
//
// Thread safety: both operations may be called from any thread.
class SerialPortSystem {
public:
    virtual ~SerialPortSystem() = default;

    // Replaces ports with the present serial ports; false (and the failing
    // call in *error) when the list cannot be obtained.
    [[nodiscard]] virtual bool ListPorts(std::vector<SerialPortInfo>& ports,
                                         std::string* error) = 0;

    // Opens path exclusively for reading and writing; null on failure.
    [[nodiscard]] virtual std::unique_ptr<SerialPort> OpenPort(const std::string& path,
                                                               std::string* error) = 0;
};

// The system's ports: ListSystemSerialPorts and OpenSystemSerialPort.
[[nodiscard]] SerialPortSystem& SystemSerialPorts();

// The present serial ports as libserialport lists them.
[[nodiscard]] bool ListSystemSerialPorts(std::vector<SerialPortInfo>& ports, std::string* error);

// Opens a serial device node (also a pseudo-terminal) without making it the
// controlling terminal, non-blocking, and exclusive where the system allows.
[[nodiscard]] std::unique_ptr<SerialPort> OpenSystemSerialPort(const std::string& path,
                                                               std::string* error);

// "USB\VID_16C0&PID_06F6": the hardware-id text of a USB port.
[[nodiscard]] std::string UsbHardwareId(uint16_t vendorId, uint16_t productId);

} // namespace platform
