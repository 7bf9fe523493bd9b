#pragma once

#include "ui/model/EcuLiveView.h"

#include <cstdint>
#include <string>
#include <vector>

// One value control of the main window's status panel and the text it shows.
struct StatusValue {
    int32_t controlId;
    std::string text; // UTF-8; "" means no value
};

// The display rules of the main window's status panel, as pure functions of
// plain values: formats, presence rules and state texts. The presence rules
// and text numbers are the live state's (CEcuLiveState), which turbexctl
// uses too. Texts come from the
// text table in the language given (0 Chinese, 1 English).
//
// Thread safety: pure functions; any thread.
class StatusFormat {
public:
    // Value controls of the status panel.
    enum ControlId : int32_t {
        kVersion = 1004,
        kCpuUsage = 1023,
        kStarterType = 1024,
        kThrottleMax = 1025,
        kTcuPump = 1026,
        kThrottleIdle = 1029,
        kRcVoltage = 1030,
        kPowerVoltage = 1031,
        kRcThrottle = 1032,
        kCurrent = 1033,
        kAltInputVoltage = 1035,
        kThrottleMin = 1036,
        kStarterState = 1037,
        kPressure = 1038,
        kStarterRpm = 1039,
        kStarterTemp = 1040,
        kPumpState = 1041,
        kPumpRpm = 1043,
        kState = 1044,
        kTcuVersion = 1045,
        kPumpTemp = 1046,
        kEcuPump = 1047,
        kAltInputCurrent = 1048,
        kAltOutputVoltage = 1049,
        kAltOutputCurrent = 1050,
        kCpuTemp = 1051,
        kIgnPumpState = 1052,
        kIgnPumpRpm = 1053,
        kTcuVoltage = 1054,
        kRcSwitch = 1055,
        kTcuTemp = 1056,
        kAltitude = 1057,
        kIgnPumpTemp = 1058,
        kFuelTemp = 1059,
        kFuelPress = 1060,
        kCombPress = 1061,
        kRecords = 1069,
        kLinkRate = 1070,
    };

    // Every value refreshed from the live state (all groups but the learned
    // throttle points): null live means nothing is connected, and every one
    // of them is "".
    [[nodiscard]] static std::vector<StatusValue> LiveValues(const EcuLiveView* live,
                                                             int32_t language);

    // The groups one by one (null: every value of the group "").
    [[nodiscard]] static std::vector<StatusValue> StateGroup(const EcuLiveView* live,
                                                             int32_t language);
    [[nodiscard]] static std::vector<StatusValue> StarterGroup(const EcuLiveView* live,
                                                               int32_t language);
    [[nodiscard]] static std::vector<StatusValue> AlternatorGroup(const EcuLiveView* live);
    [[nodiscard]] static std::vector<StatusValue> MainPumpGroup(const EcuLiveView* live,
                                                                int32_t language);
    [[nodiscard]] static std::vector<StatusValue> TcuGroup(const EcuLiveView* live,
                                                           int32_t language);
    [[nodiscard]] static std::vector<StatusValue> IgnitionPumpGroup(const EcuLiveView* live,
                                                                    int32_t language);
    [[nodiscard]] static std::vector<StatusValue> RcInputs(const EcuLiveView* live);
    [[nodiscard]] static std::vector<StatusValue> FuelGroup(const EcuLiveView* live);
    [[nodiscard]] static std::vector<StatusValue> Records(const EcuLiveView* live);

    // The learned throttle points (parameter texts of text ids 1, 2, 3),
    // shown as given; all "" while no ECU is connected.
    [[nodiscard]] static std::vector<StatusValue> LearnedThrottle(const std::string& maximum,
                                                                  const std::string& minimum,
                                                                  const std::string& idle);

    // The main-pump presence rule of the live state (CEcuLiveState, shared
    // with turbexctl): state, RPM and temperature are shown (and the BLDC
    // pump page is fed) when the ECU pump kind is not 0 or the TCU pump kind
    // is above 1.
    [[nodiscard]] static bool MainPumpReported(const EcuLiveView& live);

    // "APP:V%d.%02d.%02d" (major, minor, patch) or, in boot-loader mode,
    // "BOOT:V%d.%02d" (version 1, version 2).
    [[nodiscard]] static std::string
    Version(bool bootLoader, int32_t version1, int32_t version2, int32_t version3);

    // Text of a display state 0..20 and of an error code 0..19; "" outside.
    [[nodiscard]] static std::string DisplayStateText(int32_t displayState, int32_t language);
    [[nodiscard]] static std::string ErrorText(int32_t errorCode, int32_t language);

    // A whole decimal number at the start of text (blanks allowed before it);
    // false when there is none.
    [[nodiscard]] static bool ParseInt(const std::string& text, int32_t* value);
};
