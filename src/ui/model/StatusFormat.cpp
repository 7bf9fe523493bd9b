#include "ui/model/StatusFormat.h"

#include "engine/CEcuLiveState.h"
#include "foundation/CTextTable.h"
#include "foundation/StringPrintf.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Text(int32_t number, int32_t language) {
    return CTextTable::GetText(number, language);
}

// "Stop", "Start", "Run", "Brake" of a four-valued state; "" outside.
std::string RunStateText(int32_t state, int32_t language) {
    return Text(CEcuLiveState::RunStateTextNumber(state), language);
}

void Empty(std::vector<StatusValue>& out, std::initializer_list<int32_t> ids) {
    for (int32_t id : ids) {
        out.push_back({id, std::string()});
    }
}

void Append(std::vector<StatusValue>& out, const std::vector<StatusValue>& more) {
    out.insert(out.end(), more.begin(), more.end());
}

} // namespace

std::vector<StatusValue> StatusFormat::LiveValues(const EcuLiveView* live, int32_t language) {
    std::vector<StatusValue> out;
    Append(out, StateGroup(live, language));
    Append(out, StarterGroup(live, language));
    Append(out, AlternatorGroup(live));
    Append(out, MainPumpGroup(live, language));
    Append(out, TcuGroup(live, language));
    Append(out, IgnitionPumpGroup(live, language));
    Append(out, RcInputs(live));
    Append(out, FuelGroup(live));
    Append(out, Records(live));
    return out;
}

std::vector<StatusValue> StatusFormat::StateGroup(const EcuLiveView* live, int32_t language) {
    std::vector<StatusValue> out;
    if (live == nullptr) {
        Empty(out,
              {kState,
               kCpuUsage,
               kCpuTemp,
               kRcVoltage,
               kPowerVoltage,
               kCurrent,
               kPressure,
               kAltitude});
        return out;
    }
    out.push_back({kState, DisplayStateText(live->display_state, language)});
    out.push_back({kCpuUsage, StringPrintf("%d", live->cpu_load)});
    out.push_back({kCpuTemp,
                   live->cpu_temperature < -59 ? std::string("???")
                                               : StringPrintf("%d", live->cpu_temperature)});
    out.push_back({kRcVoltage, StringPrintf("%0.1f", static_cast<double>(live->rc_voltage))});
    out.push_back(
        {kPowerVoltage, StringPrintf("%0.1f", static_cast<double>(live->battery_voltage))});
    out.push_back({kCurrent, StringPrintf("%.2f", static_cast<double>(live->current))});
    out.push_back({kPressure, StringPrintf("%.3f", live->air_pressure / 1000.0)});
    out.push_back({kAltitude, StringPrintf("%d", live->altitude)});
    return out;
}

std::vector<StatusValue> StatusFormat::StarterGroup(const EcuLiveView* live, int32_t language) {
    std::vector<StatusValue> out;
    if (live == nullptr) {
        Empty(out, {kStarterType, kStarterState, kStarterRpm, kStarterTemp});
        return out;
    }
    out.push_back(
        {kStarterType,
         Text(CEcuLiveState::StarterTypeTextNumber(live->starter_fitted, live->starter_answering),
              language)});
    if (CEcuLiveState::StarterWorking(live->starter_fitted, live->starter_answering)) {
        out.push_back({kStarterState, RunStateText(live->starter_state, language)});
        out.push_back({kStarterRpm, StringPrintf("%d", live->starter_rpm)});
        out.push_back({kStarterTemp, StringPrintf("%d", live->starter_temperature)});
    } else {
        Empty(out, {kStarterState, kStarterRpm, kStarterTemp});
    }
    return out;
}

std::vector<StatusValue> StatusFormat::AlternatorGroup(const EcuLiveView* live) {
    std::vector<StatusValue> out;
    // The live state carries the alternator's output voltage only; the input
    // side and the currents have no field, so they stay empty.
    Empty(out, {kAltInputVoltage, kAltInputCurrent});
    if (live != nullptr && live->alternator_present) {
        out.push_back({kAltOutputVoltage,
                       StringPrintf("%0.1f", static_cast<double>(live->alternator_voltage))});
    } else {
        Empty(out, {kAltOutputVoltage});
    }
    Empty(out, {kAltOutputCurrent});
    return out;
}

bool StatusFormat::MainPumpReported(const EcuLiveView& live) {
    return CEcuLiveState::MainPumpReported(live.main_pump_ecu_kind, live.main_pump_tcu_kind);
}

std::vector<StatusValue> StatusFormat::MainPumpGroup(const EcuLiveView* live, int32_t language) {
    std::vector<StatusValue> out;
    if (live == nullptr) {
        Empty(out, {kEcuPump, kTcuPump, kPumpState, kPumpRpm, kPumpTemp});
        return out;
    }
    out.push_back(
        {kEcuPump, Text(CEcuLiveState::EcuPumpKindTextNumber(live->main_pump_ecu_kind), language)});
    out.push_back(
        {kTcuPump, Text(CEcuLiveState::TcuPumpKindTextNumber(live->main_pump_tcu_kind), language)});
    if (MainPumpReported(*live)) {
        out.push_back({kPumpState, RunStateText(live->main_pump_state, language)});
        out.push_back({kPumpRpm, StringPrintf("%d", live->main_pump_rpm)});
        out.push_back({kPumpTemp, StringPrintf("%d", live->main_pump_temperature)});
    } else {
        Empty(out, {kPumpState, kPumpRpm, kPumpTemp});
    }
    return out;
}

std::vector<StatusValue> StatusFormat::TcuGroup(const EcuLiveView* live, int32_t language) {
    std::vector<StatusValue> out;
    if (live == nullptr) {
        Empty(out, {kTcuVersion, kTcuVoltage, kTcuTemp});
        return out;
    }
    const int32_t tcuText =
        CEcuLiveState::TcuStatusTextNumber(live->tcu_fitted, live->tcu_answering);
    if (tcuText < 0) {
        out.push_back({kTcuVersion, CEcuLiveState::TcuVersionText(live->tcu_version)});
    } else {
        out.push_back({kTcuVersion, Text(tcuText, language)});
    }
    if (CEcuLiveState::TcuPresent(live->tcu_fitted, live->tcu_answering)) {
        out.push_back({kTcuVoltage, StringPrintf("%d", live->tcu_voltage)});
        out.push_back({kTcuTemp, StringPrintf("%d", live->tcu_temperature)});
    } else {
        Empty(out, {kTcuVoltage, kTcuTemp});
    }
    return out;
}

std::vector<StatusValue> StatusFormat::IgnitionPumpGroup(const EcuLiveView* live,
                                                         int32_t language) {
    std::vector<StatusValue> out;
    if (live == nullptr) {
        Empty(out, {kIgnPumpState, kIgnPumpRpm, kIgnPumpTemp});
        return out;
    }
    const int32_t state = live->ignition_pump_state;
    out.push_back(
        {kIgnPumpState, Text(CEcuLiveState::IgnitionPumpStateTextNumber(state), language)});
    if (CEcuLiveState::IgnitionPumpReported(state)) {
        out.push_back({kIgnPumpRpm, StringPrintf("%d", live->ignition_pump_rpm)});
        out.push_back({kIgnPumpTemp, StringPrintf("%d", live->ignition_pump_temperature)});
    } else {
        Empty(out, {kIgnPumpRpm, kIgnPumpTemp});
    }
    return out;
}

std::vector<StatusValue> StatusFormat::RcInputs(const EcuLiveView* live) {
    std::vector<StatusValue> out;
    if (live == nullptr) {
        Empty(out, {kRcThrottle, kRcSwitch});
        return out;
    }
    out.push_back({kRcThrottle, StringPrintf("%d", live->rc_throttle_input)});
    out.push_back({kRcSwitch, StringPrintf("%d", live->rc_switch_input)});
    return out;
}

std::vector<StatusValue> StatusFormat::FuelGroup(const EcuLiveView* live) {
    std::vector<StatusValue> out;
    if (live == nullptr) {
        Empty(out, {kFuelTemp, kFuelPress, kCombPress});
        return out;
    }
    out.push_back({kFuelTemp, StringPrintf("%d", live->fuel_temperature)});
    out.push_back({kFuelPress, StringPrintf("%0.03f", static_cast<double>(live->fuel_pressure))});
    out.push_back(
        {kCombPress, StringPrintf("%0.03f", static_cast<double>(live->combustion_pressure))});
    return out;
}

std::vector<StatusValue> StatusFormat::Records(const EcuLiveView* live) {
    if (live == nullptr) {
        return {{kRecords, std::string()}};
    }
    return {{kRecords, StringPrintf("%u", live->record_storage)}};
}

std::vector<StatusValue> StatusFormat::LearnedThrottle(const std::string& maximum,
                                                       const std::string& minimum,
                                                       const std::string& idle) {
    return {{kThrottleMax, maximum}, {kThrottleMin, minimum}, {kThrottleIdle, idle}};
}

std::string
StatusFormat::Version(bool bootLoader, int32_t version1, int32_t version2, int32_t version3) {
    return bootLoader ? StringPrintf("BOOT:V%d.%02d", version1, version2)
                      : StringPrintf("APP:V%d.%02d.%02d", version1, version2, version3);
}

std::string StatusFormat::DisplayStateText(int32_t displayState, int32_t language) {
    return Text(CEcuLiveState::DisplayStateTextNumber(displayState), language);
}

std::string StatusFormat::ErrorText(int32_t errorCode, int32_t language) {
    return Text(CEcuLiveState::ErrorTextNumber(errorCode), language);
}

bool StatusFormat::ParseInt(const std::string& text, int32_t* value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) {
        return false;
    }
    *value = static_cast<int32_t>(v);
    return true;
}
