#include "sim/EcuRadioSimulator.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

std::string Line(const char* text) {
    std::string line(text);
    line.resize(16, ' ');
    return line;
}

void CopyLine(const std::string& line, uint8_t* to) {
    std::copy_n(line.begin(), 16, to);
}

} // namespace

std::array<std::string, 2>
EcuRadioSimulator::PageLines(int page, const LiveValues& live, bool fahrenheit) {
    char a[32];
    char b[32];
    switch (page) {
    case 0: {
        const int egt = fahrenheit ? live.egt * 9 / 5 + 32 : live.egt;
        std::snprintf(a, sizeof a, "RPM %d", live.rpm);
        std::snprintf(b, sizeof b, "EGT %d%c", egt, fahrenheit ? 'F' : 'C');
        break;
    }
    case 1:
        std::snprintf(a, sizeof a, "BAT %.1fV", live.batteryVoltage);
        std::snprintf(b, sizeof b, "CUR %.1fA", live.current);
        break;
    case 2:
        std::snprintf(a, sizeof a, "PUMP %.2fV", live.pumpVoltage);
        std::snprintf(b, sizeof b, "FUEL %.3fMPa", live.fuelPressure);
        break;
    default:
        std::snprintf(a, sizeof a, "STATE %d ERR %d", live.engineState, live.errorCode);
        std::snprintf(b, sizeof b, "THR %dus", live.rcThrottleUs);
        break;
    }
    return {Line(a), Line(b)};
}

EcuRadioSimulator::Page EcuRadioSimulator::ReadRegister11(const LiveValues& live) {
    if (m_served) {
        return *m_served;
    }
    Page page{};
    page[0] = static_cast<uint8_t>(m_mode);
    uint8_t* data = page.data() + 2;
    if (m_mode == 2) {
        page[1] = 1;
        const int32_t rpm5 = std::clamp<int32_t>(live.rpm / 5, 0, 0xFFFF);
        const int32_t temp = std::clamp<int32_t>(live.egt + 100, 0, 0x7FFF);
        m_lastRpm = rpm5 * 5;
        m_lastTemperature = temp - 100;
        data[0] = 0x83;
        data[1] = static_cast<uint8_t>(rpm5 & 0xFF);
        data[2] = static_cast<uint8_t>(rpm5 >> 8);
        data[3] = 0x43;
        const uint32_t word = static_cast<uint32_t>(temp) | 0x8000u;
        data[4] = static_cast<uint8_t>(word & 0xFF);
        data[5] = static_cast<uint8_t>(word >> 8);
    } else if (m_mode == 3) {
        const uint8_t kind = m_nextJetiKind;
        m_nextJetiKind = static_cast<uint8_t>(kind % 3 + 1);
        page[1] = kind;
        if (kind == 1 || kind == 2) {
            const auto lines = PageLines(m_jetiPage, live, m_jetiFahrenheit);
            CopyLine(lines[kind - 1], data);
        } else {
            const int32_t rpm = std::clamp<int32_t>(live.rpm, -(1 << 20), (1 << 20) - 1);
            const int32_t temp = std::clamp<int32_t>(live.egt, -(1 << 12), (1 << 12) - 1);
            m_lastRpm = rpm;
            m_lastTemperature = temp;
            const uint32_t rpmBits = static_cast<uint32_t>(rpm) & 0x1FFFFFu;
            data[11] = static_cast<uint8_t>(rpmBits & 0xFF);
            data[12] = static_cast<uint8_t>((rpmBits >> 8) & 0xFF);
            data[13] = static_cast<uint8_t>((rpmBits >> 16) & 0xFF);
            const uint32_t tempBits = static_cast<uint32_t>(temp) & 0x1FFFu;
            data[15] = static_cast<uint8_t>(tempBits & 0xFF);
            data[16] = static_cast<uint8_t>((tempBits >> 8) & 0xFF);
        }
    }
    return page;
}

EcuRadioSimulator::Page EcuRadioSimulator::ReadRegister10(const LiveValues& live) const {
    Page page{};
    const auto lines = PageLines(m_gsuPage, live, m_gsuFahrenheit);
    CopyLine(lines[0], page.data());
    CopyLine(lines[1], page.data() + 16);
    return page;
}

EcuRadioSimulator::ReceiverFrame EcuRadioSimulator::WriteRegister11(std::span<const uint8_t> d) {
    ReceiverFrame frame;
    if (d.size() == 1 && d[0] == 1) {
        frame.accepted = true;
    } else if (d.size() == 3 && d[0] == 2 && d[1] <= 100 && d[2] <= 100) {
        frame.accepted = true;
        // The ECU only takes the simulated receiver it listens to.
        if (m_mode == 2) {
            frame.receiverInput = true;
            frame.throttle = d[1];
            frame.switchPosition = d[2];
        }
    } else if (d.size() == 2 && d[0] == 3) {
        frame.accepted = true;
        if (m_mode == 3) {
            switch (d[1]) {
            case kJetiRight:
                m_jetiPage = (m_jetiPage + 1) % kPages;
                break;
            case kJetiLeft:
                m_jetiPage = (m_jetiPage + kPages - 1) % kPages;
                break;
            case kJetiUp:
                m_jetiFahrenheit = true;
                break;
            case kJetiDown:
                m_jetiFahrenheit = false;
                break;
            default:
                break;
            }
        }
    }
    return frame;
}

bool EcuRadioSimulator::WriteRegister10(std::span<const uint8_t> d) {
    if (d.size() != 1 || d[0] > kGsuPlus) {
        return false;
    }
    switch (d[0]) {
    case kGsuDown:
        m_gsuPage = (m_gsuPage + 1) % kPages;
        break;
    case kGsuUp:
        m_gsuPage = (m_gsuPage + kPages - 1) % kPages;
        break;
    case kGsuMinus:
        m_gsuFahrenheit = false;
        break;
    case kGsuPlus:
        m_gsuFahrenheit = true;
        break;
    default:
        break;
    }
    return true;
}

} // namespace sim
