#pragma once

#include "engine/CEcuLiveState.h"
#include "engine/EcuTypes.h"

#include <array>
#include <cstdint>
#include <string>

class CDeviceBase;
class CDeviceECU;

namespace cli {

class JsonWriter;

// Everything "turbexctl status" reports, copied from the device and the ECU
// protocol object at one moment, so that formatting is a pure function.
struct StatusSnapshot {
    // Link and identity (CDeviceBase).
    int32_t linkType = 10; // 0 HID, 1 socket, 2 serial, 10 none
    bool linkUp = false;
    bool online = false;
    uint8_t unitId = 0;
    uint16_t unitType = 256; // 256: no unit seen
    uint8_t mode = 0;
    uint16_t hardwareId = 0;
    bool bootLoader = false;
    uint8_t version1 = 0, version2 = 0, version3 = 0;
    uint32_t appVersion = 0;
    uint16_t bootExtra = 0;
    bool marker = false;
    std::array<uint8_t, 12> deviceInfo{};

    // ECU (valid when ecu is set: an ECU in application mode whose
    // parameter block and live state were read).
    bool ecu = false;
    EcuGeneration generation = EcuGeneration::Unknown;
    uint8_t formatVersion = 0;
    bool doubleRange = false;
    bool extendedItems = false;
    std::string engineName;  // UTF-8
    int temperatureUnit = 0; // 0 Celsius, 1 Fahrenheit
    int pumpMode = 0;
    int telemetryProtocol = 0;
    int egtCorrection = 0;                                      // °C
    int32_t throttleMax = 0, throttleMin = 0, throttleIdle = 0; // µs, learned points
    CEcuLiveState live;
};

// Copies the state of device and ecu; withEcu: also the ECU part (the caller
// knows it has been read).
[[nodiscard]] StatusSnapshot TakeSnapshot(CDeviceBase& device, CDeviceECU& ecu, bool withEcu);

// "socket", "HID", "serial", "none" (or "link N").
[[nodiscard]] std::string LinkTypeName(int32_t linkType);
// "APP:V1.02.03", "BOOT:V1.02", or "" before a unit answered.
[[nodiscard]] std::string VersionText(const StatusSnapshot& s);

// Texts of the live state in language (CTextTable: 0 Chinese, 1 English).
[[nodiscard]] std::string StateText(const CEcuLiveState& live, int language);
[[nodiscard]] std::string ErrorText(const CEcuLiveState& live, int language);
// Ignition pump state 0..5: "Unsupport", "Offline", "Stop", "Start", "Run", "Brake".
[[nodiscard]] std::string IgnitionPumpStateText(int state, int language);
// Starter or main pump state 0..3: "Stop", "Start", "Run", "Brake".
[[nodiscard]] std::string RunStateText(int state, int language);

// The report, human-readable (lines "Label: value").
[[nodiscard]] std::string FormatStatusText(const StatusSnapshot& s, int language);
// The report as one JSON document.
[[nodiscard]] std::string FormatStatusJson(const StatusSnapshot& s, int language, bool pretty);

// One update of "turbexctl watch" at elapsedMs since the start: a line of
// text, or a compact JSON object on one line (no line end in either).
[[nodiscard]] std::string
FormatWatchText(const StatusSnapshot& s, uint32_t elapsedMs, int language);
[[nodiscard]] std::string
FormatWatchJson(const StatusSnapshot& s, uint32_t elapsedMs, int language);

// The named live-state fields as members of the open object of w.
void WriteLiveFields(JsonWriter& w, const CEcuLiveState& live);

} // namespace cli
