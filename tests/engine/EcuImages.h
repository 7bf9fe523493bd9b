#pragma once

#include "BitPacker.h"

#include "engine/CEcuParameterRead.h"
#include "engine/CEcuParameters.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

// Register images for the engine tests, built field by field from the layout
// tables (raw field values, in layout order).

struct ItemParamFields {
    // Packet 1.
    uint32_t aux = 5, pumpTypes = 0x7, highestCurrent = 21, minBattery = 50, tempScale = 100,
             cooling = 50, ignition = 30, preheat = 50, clutch = 125, runMin = 64, runIdle = 100,
             runMax = 160, designMax = 165, ignPumpVoltage = 5, pumpTestMax = 30, pumpLimit = 18,
             maxCurrentIndex = 12, decel = 40, accel = 45, idleSensitivity = 6, pumpMode = 1,
             ejectTime = 4, ejectVoltage = 12, runVoltage = 8, stability = 20, glowStart = 60,
             glowRestart = 62, preheatTime = 8, throttle1 = 190, throttle2 = 110, throttle3 = 120,
             lostSignal = 25, busThrottle = 3, busSwitch = 0, busTelemetry = 2, ignConfirm = 2,
             switches = 0x0019;
    // Packet 2.
    uint32_t protocols = 0x3F, protocol = 2, baud = 3, maxEgt = 90, preheatEnd = 7, forcedDelay = 1,
             valveDuty = 8, starterRamp = 10, pumpRamp = 3, egtCorrection = 31 + 5, polePairs = 7,
             stopCoefficient = 13, pulses = 1, valveVoltage1 = 6, valveVoltage2 = 7,
             valveSupply = 0x05, ramp1Rpm = 150, ramp2Rpm = 250, ramp1Pump = 4, ramp2Pump = 6,
             altRun = 1, altRunRpm = 80, altRunPressure = 10, altStart = 1, altStartRamp = 5,
             altStartPressure = 20, calibration = 1, cal1 = 100, cal2 = 150, cal3 = 400,
             extended = 0, cal4 = 9, oxygen = 1, oxRpm = 100, oxDelay = 25, oxPump = 72,
             oxRamp = 15, stopBits = 2, ignitionPump = 8;

    [[nodiscard]] std::array<uint8_t, 32> packet1(uint8_t header = BitPacker::Header(2, 1)) const {
        BitPacker p(header);
        p.put({{aux, 4},         {pumpTypes, 4},       {highestCurrent, 5},
               {minBattery, 8},  {tempScale, 8},       {cooling, 8},
               {ignition, 8},    {preheat, 8},         {clutch, 8},
               {runMin, 8},      {runIdle, 8},         {runMax, 8},
               {designMax, 8},   {ignPumpVoltage, 8},  {pumpTestMax, 7},
               {pumpLimit, 8},   {maxCurrentIndex, 5}, {decel, 7},
               {accel, 7},       {idleSensitivity, 4}, {pumpMode, 2},
               {ejectTime, 4},   {ejectVoltage, 8},    {runVoltage, 8},
               {stability, 8},   {glowStart, 8},       {glowRestart, 8},
               {preheatTime, 4}, {throttle1, 8},       {throttle2, 8},
               {throttle3, 8},   {lostSignal, 5},      {busThrottle, 3},
               {busSwitch, 5},   {busTelemetry, 3},    {ignConfirm, 3},
               {switches, 16}});
        return p.bytes;
    }

    [[nodiscard]] std::array<uint8_t, 32> packet2(uint8_t header = BitPacker::Header(2, 2)) const {
        BitPacker p(header);
        p.put({{protocols, 8},
               {protocol, 4},
               {baud, 4},
               {maxEgt, 7},
               {preheatEnd, 3},
               {forcedDelay, 3},
               {valveDuty, 4},
               {starterRamp, 4},
               {pumpRamp, 4},
               {egtCorrection, 6},
               {polePairs, 5},
               {stopCoefficient, 8},
               {pulses, 5},
               {valveVoltage1, 5},
               {valveVoltage2, 5},
               {valveSupply, 8},
               {ramp1Rpm, 9},
               {ramp2Rpm, 9},
               {ramp1Pump, 4},
               {ramp2Pump, 4},
               {altRun, 1},
               {altRunRpm, 8},
               {altRunPressure, 8},
               {altStart, 1},
               {altStartRamp, 4},
               {altStartPressure, 8},
               {calibration, 1},
               {cal1, 8},
               {cal2, 8},
               {cal3, 12},
               {0, 1},
               {extended, 1},
               {cal4, 8},
               {0, 19},
               {oxygen, 1},
               {oxRpm, 8},
               {oxDelay, 8},
               {oxPump, 8},
               {oxRamp, 8},
               {stopBits, 2},
               {ignitionPump, 7},
               {0, 9}});
        return p.bytes;
    }
};

struct BlockPages {
    std::array<uint8_t, 32> p1{};
    std::array<uint8_t, 32> p2{};

    // A plausible format-3 block with every "when supported" index present.
    static BlockPages Typical(uint8_t format = 3) {
        BlockPages b;
        auto& p = b.p1;
        p[0] = format;
        p[1] = 0x04;                        // restart allowed
        p[2] = 190, p[3] = 110, p[4] = 120; // throttle points / 10
        p[5] = 25;                          // lost signal 2.5 s
        p[6] = 90;                          // max EGT 900
        p[7] = 100;                         // min battery 10.0 V
        p[8] = 4, p[9] = 12, p[10] = 8, p[11] = 20;
        p[12] = format == 2 ? 5 : 25;  // cooling 5000
        p[13] = format == 2 ? 3 : 15;  // ignition 3000
        p[14] = 10;                    // ignition pump voltage
        p[15] = 0xA0 | 10;             // starter ramp 100 (high bits foreign)
        p[16] = 60;                    // glow start 6.0 V
        p[17] = 0x50 | 8;              // valve duty 40 %
        p[18] = format == 2 ? 5 : 25;  // preheat 5000
        p[19] = 3;                     // pump ramp
        p[20] = 0x20 | 0x03;           // telemetry mode 2, throttle channel 3
        p[21] = format == 2 ? 25 : 50; // clutch 25000
        p[22] = 62;                    // glow restart 6.2 V
        p[23] = 10;                    // block ignition pump voltage
        p[24] = 32, p[25] = 50, p[26] = 160;
        p[28] = 40, p[29] = 45, p[30] = 165;
        p[31] = 0x30 | 0x03; // stop bits index 2, baud index 2
        auto& q = b.p2;
        q[0] = 0x05;           // EGT correction +5, Celsius
        q[1] = 72;             // pump limit 3.6 V (x 20)
        q[2] = 0x40 | 4;       // telemetry protocol 2, switch channel 4
        q[3] = 6;              // idle sensitivity
        q[4] = 30;             // pump test max 3.0 V
        q[5] = 0x70 | 5;       // pump types 7, aux 5
        q[6] = 0x80 | 0x01;    // preheat time index 7, pump mode 1
        q[7] = 100;            // temperature scale
        q[8] = (13 << 3) | 3;  // max current index 12, ignition confirm 2
        q[9] = 0x15;           // switches 73, 75, 77
        q[10] = (22 << 3) | 7; // highest current 21, preheat end 6
        q[12] = (2 << 5) | 7;  // forced delay index 1, pole pairs 7
        q[13] = 6, q[14] = 7;
        q[17] = 13;
        return b;
    }
};

inline std::array<uint8_t, 32> NamePage(const char* name) {
    std::array<uint8_t, 32> page{};
    page[0] = 0x11;
    std::memcpy(page.data() + 1, name, std::min<size_t>(std::strlen(name), 28));
    page[29] = 0x34;
    page[30] = 0x12;
    page[31] = 0x77;
    return page;
}

// Runs a read sequence over the given register images (a missing register
// fails its read) and applies it.
struct FakeEcuRegisters {
    std::vector<std::array<uint8_t, 32>> reg2; // successive register-2 reads
    std::array<uint8_t, 32> reg3{};
    std::array<uint8_t, 32> reg14{};
    bool hasReg3 = true;
    bool hasReg14 = true;
    int reads = 0;

    int load(CEcuParameters& parameters) {
        CEcuParameterRead read = parameters.beginRead();
        size_t next2 = 0;
        while (auto request = read.next()) {
            ++reads;
            if (request->reg == 2 && next2 < reg2.size()) {
                read.feed(reg2[next2++]);
            } else if (request->reg == 3 && hasReg3) {
                read.feed(reg3);
            } else if (request->reg == 14 && hasReg14) {
                read.feed(reg14);
            } else {
                read.fail();
            }
            if (reads > 100) {
                return -1;
            }
        }
        return parameters.applyRead(read);
    }
};

inline int LoadItem(CEcuParameters& parameters, const ItemParamFields& f = {}) {
    FakeEcuRegisters regs;
    regs.reg2 = {f.packet1(), f.packet2()};
    regs.reg14 = NamePage("Item Jet");
    return regs.load(parameters);
}

inline int LoadBlock(CEcuParameters& parameters, const BlockPages& b = BlockPages::Typical()) {
    FakeEcuRegisters regs;
    regs.reg2 = {b.p1};
    regs.reg3 = b.p2;
    regs.reg14 = NamePage("Block Jet");
    return regs.load(parameters);
}

inline std::vector<uint8_t> Bytes(std::span<const uint8_t> s) {
    return {s.begin(), s.end()};
}
