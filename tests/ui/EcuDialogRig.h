#pragma once

// The shared page rig (a simulated ECU behind the bridge, the tool's device
// and ECU object on it, an engine that only moves when the test steps it) as
// the test dialogs use it: the engine stepped by the dialogs' ticks, the link
// dropped and restored, and what the ECU received told as one word a frame.

#include "EcuPanelRig.h"

#include <algorithm>
#include <string>
#include <vector>

struct EcuDialogRig : EcuPanelRig {
    using EcuPanelRig::EcuPanelRig;

    // Online, the parameter block read and a telemetry set decoded (the
    // TCU's flags known).
    bool WaitOnlineWithTelemetry() { return WaitReady() && WaitFreshTelemetry(); }
    // Advances the simulated engine.
    void Step(uint32_t ms) {
        if (ms > 0) {
            system.Step(ms);
        }
    }
    // The loss of the link: the bridge closes the connection and refuses new
    // ones until Reconnect.
    void Disconnect() {
        bridge.faults.acceptAndClose = -1;
        bridge.DropConnection();
    }
    void Reconnect() { bridge.faults.acceptAndClose = 0; }

    // What the simulated ECU received on registers 1 and 2 (poll requests
    // left out), oldest first, one word each: a register-1 command by its
    // code ("12"; the long form with its first argument, "13L1"), a
    // calibration as "calibrate N" (the ambient), its prepare command as
    // "prepare", any other register-2 write as "parameters" (consecutive ones
    // as one).
    std::vector<std::string> Received() {
        std::vector<std::string> out;
        Do([&] {
            for (const sim::EcuCommand& e : system.ecu.Log().Entries()) {
                if ((e.reg != 1 && e.reg != 2) || e.IsPollRequest()) {
                    continue;
                }
                const std::string word = Describe(e);
                if (word == "parameters" && !out.empty() && out.back() == word) {
                    continue;
                }
                out.push_back(word);
            }
        });
        return out;
    }
    static std::string Describe(const sim::EcuCommand& e) {
        const std::vector<uint8_t>& b = e.bytes;
        if (e.reg == 1) {
            if (b.size() == 4 && b[0] == 0x02) {
                return std::to_string(b[1]);
            }
            if (b.size() == 10 && b[0] == 0x02) {
                return std::to_string(b[1]) + "L" + std::to_string(b[2] | (b[3] << 8));
            }
            return "register 1 ?";
        }
        const auto starts = [&](std::initializer_list<uint8_t> head) {
            return b.size() == head.size() + 1 && std::equal(head.begin(), head.end(), b.begin());
        };
        if (starts({0xAA, 0x55, 0xD4, 0x37}) || starts({0xAA, 0x66, 0x04, 0xD4, 0x37}) ||
            starts({0xFF, 0x09, 0x37, 0xC8, 0xF4, 0x01})) {
            return "calibrate " + std::to_string(b.back());
        }
        if (b == std::vector<uint8_t>{0xFF, 0x09, 0x37, 0xC8}) {
            return "prepare";
        }
        return "parameters";
    }
};
