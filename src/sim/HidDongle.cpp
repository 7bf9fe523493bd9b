#include "sim/HidDongle.h"

#include "platform/HidPort.h"
#include "sim/Bus.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <span>

namespace sim {

struct HidDongle::State {
    std::mutex lock;
    std::condition_variable changed;
    Bus* bus = nullptr; // null once the dongle is gone

    bool plugged = true;
    uint32_t generation = 0; // a new device node on every replug
    int openHandles = 0;
    uint16_t version = kDefaultVersion;

    int busyNext = 0;
    int repeatNext = 0;
    int statusNext = 0;
    uint8_t statusValue = 0;
    int failOutput = 0;
    int failInput = 0;
    bool hung = false;
    int blocked = 0;

    // The request being answered.
    int busyLeft = 0;
    uint8_t finalStatus = 0;
    std::array<uint8_t, 32> data{};

    uint32_t opens = 0;
    uint32_t outputReports = 0;
    uint32_t versionReports = 0;
    uint32_t statusReports = 0;
    uint32_t transactions = 0;

    // The dongle's side of output report 2; called with the lock held.
    void Request(std::span<const uint8_t> report) {
        const uint8_t unit = report[1];
        const uint8_t reg = static_cast<uint8_t>((report[2] >> 3) & 0x0F);
        const bool write = (report[2] & 0x80) != 0;
        const uint8_t length = static_cast<uint8_t>((report[3] & 0x1F) + 1);
        busyLeft = busyNext;
        busyNext = 0;
        data.fill(0);
        if (repeatNext > 0) {
            --repeatNext;
            finalStatus = 4;
            return;
        }
        if (statusNext > 0) {
            --statusNext;
            finalStatus = statusValue;
            return;
        }
        bool ok = false;
        if (bus != nullptr) {
            std::array<uint8_t, 32> payload{};
            const size_t n = std::min<size_t>(length, report.size() > 4 ? report.size() - 4 : 0);
            std::copy_n(report.begin() + 4, n, payload.begin());
            ok = write ? bus->Write(unit, reg, std::span<const uint8_t>(payload.data(), length))
                       : bus->Read(unit, reg, length, data.data());
        }
        // Guess: the dongle answers status 3 when the unit stays silent.
        finalStatus = ok ? 2 : 3;
        if (ok) {
            ++transactions;
        }
    }
};

namespace {

class DongleHandle final : public platform::HidDevice {
public:
    explicit DongleHandle(std::shared_ptr<HidDongle::State> state)
        : m_state(std::move(state))
        , m_generation(m_state->generation) {}

    ~DongleHandle() override {
        std::lock_guard lock(m_state->lock);
        --m_state->openHandles;
    }

    uint16_t InputReportLength() const override { return HidDongle::kInputReportLength; }
    uint16_t OutputReportLength() const override { return HidDongle::kOutputReportLength; }

    bool SendOutputReport(const uint8_t* report, size_t length) override {
        std::lock_guard lock(m_state->lock);
        if (!Usable("hid_write")) {
            return false;
        }
        if (m_state->failOutput > 0) {
            --m_state->failOutput;
            m_error = "hid_write: injected failure";
            return false;
        }
        if (length < 4 || report[0] != 2) {
            m_error = "hid_write: Broken pipe";
            return false;
        }
        ++m_state->outputReports;
        m_state->Request(std::span<const uint8_t>(report, length));
        return true;
    }

    int GetInputReport(uint8_t* report, size_t length) override {
        std::unique_lock lock(m_state->lock);
        if (m_state->hung) {
            ++m_state->blocked;
            m_state->changed.notify_all();
            m_state->changed.wait(lock, [&] { return !m_state->hung || !Current(); });
            --m_state->blocked;
        }
        if (!Usable("hid_get_input_report")) {
            return -1;
        }
        if (m_state->failInput > 0) {
            --m_state->failInput;
            m_error = "hid_get_input_report: injected failure";
            return -1;
        }
        if (length == 0) {
            return -1;
        }
        const uint8_t id = report[0];
        std::array<uint8_t, HidDongle::kInputReportLength> answer{};
        if (id == 1) {
            ++m_state->versionReports;
            answer[0] = static_cast<uint8_t>(m_state->version >> 8);
            answer[1] = static_cast<uint8_t>(m_state->version & 0xFF);
        } else if (id == 3) {
            ++m_state->statusReports;
            answer[0] = 3;
            if (m_state->busyLeft > 0) {
                --m_state->busyLeft;
                answer[1] = 1;
            } else {
                answer[1] = m_state->finalStatus;
                if (m_state->finalStatus == 2) {
                    std::copy(m_state->data.begin(), m_state->data.end(), answer.begin() + 3);
                }
            }
        } else {
            m_error = "hid_get_input_report: Broken pipe";
            return -1;
        }
        const size_t n = std::min(length, answer.size());
        std::memcpy(report, answer.data(), n);
        return static_cast<int>(n);
    }

    void Interrupt() override {
        std::lock_guard lock(m_state->lock);
        m_interrupted = true;
        m_state->changed.notify_all();
    }

    std::string LastError() const override {
        std::lock_guard lock(m_state->lock);
        return m_error;
    }

private:
    // Lock held.
    bool Current() const {
        return !m_interrupted && m_state->plugged && m_state->bus != nullptr &&
               m_state->generation == m_generation;
    }
    bool Usable(const char* call) {
        if (Current()) {
            return true;
        }
        m_error = std::string(call) + (m_interrupted ? ": interrupted" : ": No such device");
        return false;
    }

    std::shared_ptr<HidDongle::State> m_state;
    const uint32_t m_generation;
    bool m_interrupted = false; // under the state lock
    std::string m_error;        // likewise
};

} // namespace

HidDongle::HidDongle(Bus& bus, std::string path, uint16_t vendorId, uint16_t productId)
    : m_path(std::move(path))
    , m_vendorId(vendorId)
    , m_productId(productId)
    , m_state(std::make_shared<State>()) {
    m_state->bus = &bus;
}

HidDongle::~HidDongle() {
    std::lock_guard lock(m_state->lock);
    m_state->bus = nullptr;
    m_state->plugged = false;
    m_state->changed.notify_all();
}

void HidDongle::SetVersion(uint16_t version) {
    std::lock_guard lock(m_state->lock);
    m_state->version = version;
}

void HidDongle::InjectBusy(int count) {
    std::lock_guard lock(m_state->lock);
    m_state->busyNext = count;
}

void HidDongle::InjectRepeat(int count) {
    std::lock_guard lock(m_state->lock);
    m_state->repeatNext = count;
}

void HidDongle::InjectStatus(uint8_t status, int count) {
    std::lock_guard lock(m_state->lock);
    m_state->statusValue = status;
    m_state->statusNext = count;
}

void HidDongle::FailOutputReports(int count) {
    std::lock_guard lock(m_state->lock);
    m_state->failOutput = count;
}

void HidDongle::FailInputReports(int count) {
    std::lock_guard lock(m_state->lock);
    m_state->failInput = count;
}

void HidDongle::SetHung(bool hung) {
    std::lock_guard lock(m_state->lock);
    m_state->hung = hung;
    m_state->changed.notify_all();
}

void HidDongle::Unplug() {
    std::lock_guard lock(m_state->lock);
    m_state->plugged = false;
    m_state->changed.notify_all();
}

void HidDongle::Replug() {
    std::lock_guard lock(m_state->lock);
    if (!m_state->plugged) {
        m_state->plugged = true;
        ++m_state->generation;
        m_state->busyLeft = 0;
        m_state->finalStatus = 0;
    }
}

bool HidDongle::IsPlugged() const {
    std::lock_guard lock(m_state->lock);
    return m_state->plugged;
}

std::unique_ptr<platform::HidDevice> HidDongle::Open(std::string* error) {
    std::lock_guard lock(m_state->lock);
    const char* reason = nullptr;
    if (!m_state->plugged || m_state->bus == nullptr) {
        reason = "No such device";
    } else if (m_state->openHandles > 0) {
        // Opened without sharing, as the tool opens it.
        reason = "Device or resource busy";
    }
    if (reason != nullptr) {
        if (error != nullptr) {
            *error = "hid_open_path " + m_path + ": " + reason;
        }
        return nullptr;
    }
    ++m_state->openHandles;
    ++m_state->opens;
    return std::make_unique<DongleHandle>(m_state);
}

uint32_t HidDongle::Opens() const {
    std::lock_guard lock(m_state->lock);
    return m_state->opens;
}

int HidDongle::OpenHandles() const {
    std::lock_guard lock(m_state->lock);
    return m_state->openHandles;
}

uint32_t HidDongle::OutputReports() const {
    std::lock_guard lock(m_state->lock);
    return m_state->outputReports;
}

uint32_t HidDongle::InputReports(uint8_t reportId) const {
    std::lock_guard lock(m_state->lock);
    return reportId == 1 ? m_state->versionReports : reportId == 3 ? m_state->statusReports : 0;
}

uint32_t HidDongle::Transactions() const {
    std::lock_guard lock(m_state->lock);
    return m_state->transactions;
}

int HidDongle::BlockedReports() const {
    std::lock_guard lock(m_state->lock);
    return m_state->blocked;
}

} // namespace sim
