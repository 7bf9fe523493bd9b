#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <utility>
#include <vector>

// Builds record bytes field by field, least significant bit first, for the
// tracker's tests (kept apart from the simulator's encoder on purpose).
class RecordBits {
public:
    RecordBits& put(uint32_t value, unsigned width) {
        for (unsigned i = 0; i < width; ++i, ++m_bit) {
            if (m_bit / 8 >= m_bytes.size()) {
                m_bytes.push_back(0);
            }
            if (((value >> i) & 1u) != 0) {
                m_bytes[m_bit / 8] = static_cast<uint8_t>(m_bytes[m_bit / 8] | (1u << (m_bit % 8)));
            }
        }
        return *this;
    }
    // The bytes, zero-padded to length.
    [[nodiscard]] std::vector<uint8_t> bytes(size_t length) const {
        std::vector<uint8_t> out = m_bytes;
        out.resize(length, 0);
        return out;
    }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_bit = 0;
};

// Raw field values of a format-2 record (the head, then one group).
struct Format2Raw {
    uint32_t counter = 0;
    uint8_t subtype = 0;
    uint32_t state = 0, temperature = 0, rpm = 0, pump = 0;
    // group 0
    uint32_t radio = 0, battery = 0, rc1 = 0, rc2 = 0, pressure = 0, pumpState = 0, pumpRpm = 0;
    // group 1
    uint32_t error = 0, current = 0, tcu = 0, ecu = 0, pumpTemp = 0, step = 0, thrust = 0;
    // group 2
    uint32_t fuelTemp = 0, fuelPress = 0, combustion = 0, starterRpm = 0, starterVol = 0;

    [[nodiscard]] std::vector<uint8_t> bytes() const {
        RecordBits b;
        b.put(counter, 25).put(subtype, 2).put(0, 1).put(state, 5).put(temperature, 8);
        b.put(rpm, 13).put(pump, 11);
        if (subtype == 0) {
            b.put(radio, 7).put(battery, 7).put(rc1, 8).put(rc2, 8).put(pressure, 14);
            b.put(pumpState, 2).put(pumpRpm, 9);
        } else if (subtype == 1) {
            b.put(error, 12).put(current, 10).put(tcu, 7).put(ecu, 7).put(pumpTemp, 7);
            b.put(step, 1).put(thrust, 11);
        } else if (subtype == 2) {
            b.put(fuelTemp, 8).put(fuelPress, 11).put(combustion, 10).put(starterRpm, 12);
            b.put(starterVol, 9);
        }
        return b.bytes(15);
    }
};

// A format-1 record with the given counter and raw RPM, other fields 0.
inline std::vector<uint8_t> Format1Record(uint32_t counter, uint32_t rpmRaw = 0) {
    return RecordBits().put(counter, 21).put(0, 5).put(0, 7).put(rpmRaw, 13).bytes(14);
}
