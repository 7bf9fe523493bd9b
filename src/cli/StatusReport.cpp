#include "cli/StatusReport.h"

#include "cli/JsonWriter.h"
#include "cli/ParameterNames.h"
#include "device/CDeviceBase.h"
#include "ecu/CDeviceECU.h"
#include "engine/EcuTextId.h"
#include "foundation/CTextTable.h"
#include "foundation/StringPrintf.h"
#include "platform/CodePage.h"

#include <cstdio>

namespace cli {

namespace {

std::string Text(int number, int language) {
    return CTextTable::GetText(number, language);
}

std::string Hex(const uint8_t* bytes, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += StringPrintf("%02X", bytes[i]);
    }
    return out;
}

// The printable ASCII of the device information, for people.
std::string Printable(const std::array<uint8_t, 12>& info) {
    std::string out;
    for (uint8_t b : info) {
        if (b == 0) {
            break;
        }
        out += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '.';
    }
    return out;
}

int DisplayedEgt(const StatusSnapshot& s) {
    return s.live.displayedEgt(s.egtCorrection, s.temperatureUnit != 0);
}

// The starter's type text: "Unsupport", "Fault" or "Normally".
std::string StarterTypeText(const CEcuLiveState& l, int language) {
    return Text(CEcuLiveState::StarterTypeTextNumber(l.starter_fitted, l.starter_answering),
                language);
}

// The TCU box's version text: the version, "Offline" or "Unsupport".
std::string TcuText(const CEcuLiveState& l, int language) {
    const int number = CEcuLiveState::TcuStatusTextNumber(l.tcu_fitted, l.tcu_answering);
    return number < 0 ? CEcuLiveState::TcuVersionText(l.tcu_version) : Text(number, language);
}

// The main pump box's state text; "" when the pump reports no state.
std::string MainPumpStateText(const CEcuLiveState& l, int language) {
    if (!CEcuLiveState::MainPumpReported(l.main_pump_ecu_kind, l.main_pump_tcu_kind)) {
        return "";
    }
    return RunStateText(l.main_pump_state, language);
}

// The flags that are set, by name.
std::string ActiveFlags(const CEcuLiveState& l) {
    struct Flag {
        bool on;
        const char* name;
    };
    const Flag flags[] = {
        {l.throttle_lock, "throttle-lock"},
        {l.low_voltage, "low-voltage"},
        {l.overload, "overload"},
        {l.pump_limit, "pump-limit"},
        {l.learning_max_min, "learning-max-min"},
        {l.learning_high_end, "learning-high-end"},
        {l.learning_idle, "learning-idle"},
        {l.starter_fault, "starter-fault"},
        {l.glow_plug_fault, "glow-plug-fault"},
        {l.temperature_sensor_fault, "temperature-sensor-fault"},
        {l.valve_fault, "valve-fault"},
        {l.fault_bit5, "fault-bit5"},
        {l.pump_fault, "pump-fault"},
        {l.stick_down_ignition, "stick-down-ignition"},
        {l.stick_down_running, "stick-down-running"},
    };
    std::string out;
    for (const Flag& f : flags) {
        if (f.on) {
            if (!out.empty()) {
                out += ", ";
            }
            out += f.name;
        }
    }
    return out.empty() ? "none" : out;
}

void Line(std::string& out, const char* label, const std::string& value) {
    out += StringPrintf("%-22s %s\n", label, value.c_str());
}

} // namespace

StatusSnapshot TakeSnapshot(CDeviceBase& device, CDeviceECU& ecu, bool withEcu) {
    StatusSnapshot s;
    s.linkType = device.GetActiveLinkType();
    s.linkUp = device.IsLinkUp() != 0;
    s.online = device.IsOnline() != 0;
    s.unitId = device.GetUnitId();
    s.unitType = device.GetUnitType();
    s.mode = device.GetMode();
    s.hardwareId = device.GetHardwareId();
    s.bootLoader = device.IsBootLoader() != 0;
    s.version1 = device.GetVersion1();
    s.version2 = device.GetVersion2();
    s.version3 = device.GetVersion3();
    s.appVersion = device.GetAppVersion();
    s.bootExtra = device.GetBootExtra();
    s.marker = device.GetMarker() != 0;
    s.deviceInfo = device.GetDeviceInfo();
    if (!withEcu) {
        return s;
    }
    s.ecu = true;
    s.live = ecu.liveState();
    ecu.withParameters([&](CEcuParameters& p) {
        s.generation = p.generation();
        s.formatVersion = p.formatVersion();
        s.doubleRange = p.doubleRange();
        s.extendedItems = p.extendedItems();
        s.engineName = platform::GbkToUtf8(p.engineName());
        s.temperatureUnit = p.temperatureUnit();
        s.pumpMode = p.pumpMode();
        s.telemetryProtocol = p.telemetryProtocol();
        s.egtCorrection = p.egtCorrection();
        CEcuParameters::Text t;
        if (p.getText(EcuTextId::ThrottleMax, t) == 1) {
            s.throttleMax = t.value;
        }
        if (p.getText(EcuTextId::ThrottleMin, t) == 1) {
            s.throttleMin = t.value;
        }
        if (p.getText(EcuTextId::ThrottleIdle, t) == 1) {
            s.throttleIdle = t.value;
        }
        return 0;
    });
    return s;
}

std::string LinkTypeName(int32_t linkType) {
    switch (linkType) {
    case 0:
        return "HID";
    case 1:
        return "socket";
    case 2:
        return "serial";
    case 10:
        return "none";
    default:
        return StringPrintf("link %d", linkType);
    }
}

std::string VersionText(const StatusSnapshot& s) {
    if (s.unitType > 255) {
        return "";
    }
    if (s.bootLoader) {
        return StringPrintf("BOOT:V%d.%02d", s.version1, s.version2);
    }
    return StringPrintf("APP:V%d.%02d.%02d", s.version1, s.version2, s.version3);
}

std::string StateText(const CEcuLiveState& live, int language) {
    return Text(CEcuLiveState::DisplayStateTextNumber(live.displayState()), language);
}

std::string ErrorText(const CEcuLiveState& live, int language) {
    const int code = live.displayError();
    const int number = CEcuLiveState::ErrorTextNumber(code);
    if (number < 0) {
        return StringPrintf("%d", code); // a code without a text
    }
    return Text(number, language);
}

std::string IgnitionPumpStateText(int state, int language) {
    const int number = CEcuLiveState::IgnitionPumpStateTextNumber(state);
    return number < 0 ? StringPrintf("%d", state) : Text(number, language);
}

std::string RunStateText(int state, int language) {
    const int number = CEcuLiveState::RunStateTextNumber(state);
    return number < 0 ? StringPrintf("%d", state) : Text(number, language);
}

std::string FormatStatusText(const StatusSnapshot& s, int language) {
    std::string out;
    Line(out, "Link:", LinkTypeName(s.linkType) + (s.linkUp ? ", up" : ", down"));
    if (!s.online) {
        Line(out, "Unit:", "offline");
        return out;
    }
    Line(out,
         "Unit:",
         StringPrintf("online, id %u, type %u%s, mode %u, hardware id 0x%03X",
                      s.unitId,
                      s.unitType,
                      s.unitType == 2 ? " (ECU)" : "",
                      s.mode,
                      s.hardwareId));
    Line(out, "Version:", VersionText(s) + (s.bootLoader ? " (boot loader)" : ""));
    Line(out, "Device info:", Printable(s.deviceInfo) + " [" + Hex(s.deviceInfo.data(), 12) + "]");
    if (!s.ecu) {
        return out;
    }
    const CEcuLiveState& l = s.live;
    std::string gen = GenerationName(s.generation);
    if (s.generation == EcuGeneration::Block) {
        gen += StringPrintf(
            " generation, format %u%s", s.formatVersion, s.doubleRange ? ", double range" : "");
    } else {
        gen += std::string(" generation") + (s.extendedItems ? ", extended items" : "");
    }
    Line(out, "ECU:", gen);
    Line(out, "Engine name:", s.engineName);
    Line(out, "State:", StateText(l, language) + StringPrintf(" (ECU state %u)", l.engine_state));
    Line(out, "Error:", ErrorText(l, language) + StringPrintf(" (code %u)", l.error_code));
    Line(out, "Flags:", ActiveFlags(l));
    Line(out, "RPM:", StringPrintf("%d", l.engine_rpm));
    Line(out,
         "EGT:",
         StringPrintf("%d %s (reading %d, correction %+d)",
                      DisplayedEgt(s),
                      s.temperatureUnit != 0 ? "degF" : "degC",
                      l.egt,
                      s.egtCorrection));
    Line(out,
         "Pump voltage:",
         StringPrintf(
             "%.2f V (second reading %.2f V)", l.pump_voltage_centivolts / 100.0, l.pump_voltage));
    Line(out, "Battery voltage:", StringPrintf("%.1f V", l.battery_voltage));
    Line(out, "RC voltage:", StringPrintf("%.1f V", l.rc_voltage));
    Line(out, "Current:", StringPrintf("%.2f A", l.current));
    Line(out, "CPU load:", StringPrintf("%u %%", l.cpu_load));
    Line(out,
         "CPU temperature:",
         l.cpu_temperature < -59 ? "???" : StringPrintf("%d degC", l.cpu_temperature));
    Line(out, "Air pressure:", StringPrintf("%.3f kPa", l.air_pressure / 1000.0));
    Line(out, "Altitude:", StringPrintf("%d m", l.altitude));
    Line(out, "Record storage:", StringPrintf("%u", l.record_storage));
    Line(out, "Throttle input:", StringPrintf("%u us", l.rc_throttle_input));
    Line(out, "Switch input:", StringPrintf("%u us", l.rc_switch_input));
    Line(out,
         "Learned throttle:",
         StringPrintf(
             "max %d us, idle %d us, min %d us", s.throttleMax, s.throttleIdle, s.throttleMin));
    // The main pump and the units beside the ECU as the window's boxes show
    // them: values only where the box shows them.
    std::string mainPump =
        "ECU pump " + Text(CEcuLiveState::EcuPumpKindTextNumber(l.main_pump_ecu_kind), language) +
        ", TCU pump " + Text(CEcuLiveState::TcuPumpKindTextNumber(l.main_pump_tcu_kind), language);
    if (CEcuLiveState::MainPumpReported(l.main_pump_ecu_kind, l.main_pump_tcu_kind)) {
        mainPump += ", " + RunStateText(l.main_pump_state, language) +
                    StringPrintf(", %d rpm, %d degC", l.main_pump_rpm, l.main_pump_temperature);
    }
    Line(out, "Main pump:", mainPump);
    std::string starter = StarterTypeText(l, language);
    if (CEcuLiveState::StarterWorking(l.starter_fitted, l.starter_answering)) {
        starter += ", " + RunStateText(l.starter_state, language) +
                   StringPrintf(", %d rpm, %d degC", l.starter_rpm, l.starter_temperature);
    }
    Line(out, "Starter:", starter);
    std::string tcu = TcuText(l, language);
    if (CEcuLiveState::TcuPresent(l.tcu_fitted, l.tcu_answering)) {
        tcu += StringPrintf(", voltage %u, %d degC", l.tcu_voltage, l.tcu_temperature);
    }
    Line(out, "TCU:", tcu);
    std::string ignition = IgnitionPumpStateText(l.ignition_pump_state, language);
    if (CEcuLiveState::IgnitionPumpReported(l.ignition_pump_state)) {
        ignition +=
            StringPrintf(", %d rpm, %d degC", l.ignition_pump_rpm, l.ignition_pump_temperature);
    }
    Line(out, "Ignition pump:", ignition);
    Line(out,
         "Alternator:",
         l.alternator_present ? StringPrintf("%.1f V", l.alternator_voltage) : Text(87, language));
    Line(out,
         "Fuel:",
         StringPrintf("%d degC, %.3f MPa, combustion %.3f MPa",
                      l.fuel_temperature,
                      l.fuel_pressure,
                      l.combustion_pressure));
    return out;
}

void WriteLiveFields(JsonWriter& w, const CEcuLiveState& l) {
    w.field("cpu_load", l.cpu_load)
        .field("engine_state", l.engine_state)
        .field("error_code", l.error_code)
        .field("throttle_lock", l.throttle_lock)
        .field("low_voltage", l.low_voltage)
        .field("learning_max_min", l.learning_max_min)
        .field("learning_high_end", l.learning_high_end)
        .field("learning_idle", l.learning_idle)
        .field("starter_fault", l.starter_fault)
        .field("glow_plug_fault", l.glow_plug_fault)
        .field("temperature_sensor_fault", l.temperature_sensor_fault)
        .field("valve_fault", l.valve_fault)
        .field("fault_bit5", l.fault_bit5)
        .field("pump_fault", l.pump_fault)
        .field("stick_down_ignition", l.stick_down_ignition)
        .field("stick_down_running", l.stick_down_running)
        .field("overload", l.overload)
        .field("pump_limit", l.pump_limit)
        .field("engine_rpm", l.engine_rpm)
        .field("egt", l.egt)
        .field("pump_voltage_centivolts", l.pump_voltage_centivolts)
        .field("pump_voltage", l.pump_voltage)
        .field("rc_voltage", l.rc_voltage)
        .field("battery_voltage", l.battery_voltage)
        .field("current", l.current)
        .field("rc_throttle_input", l.rc_throttle_input)
        .field("rc_switch_input", l.rc_switch_input)
        .field("cpu_temperature", l.cpu_temperature)
        .field("air_pressure", l.air_pressure)
        .field("altitude", l.altitude)
        .field("record_storage", l.record_storage)
        .field("alternator_present", l.alternator_present)
        .field("alternator_voltage", l.alternator_voltage)
        .field("ignition_pump_state", l.ignition_pump_state)
        .field("ignition_pump_rpm", l.ignition_pump_rpm)
        .field("ignition_pump_temperature", l.ignition_pump_temperature)
        .field("fuel_temperature", l.fuel_temperature)
        .field("fuel_pressure", l.fuel_pressure)
        .field("combustion_pressure", l.combustion_pressure)
        .field("tcu_fitted", l.tcu_fitted)
        .field("tcu_answering", l.tcu_answering);
    w.key("tcu_version").beginArray();
    for (uint8_t v : l.tcu_version) {
        w.value(v);
    }
    w.endArray();
    w.field("tcu_voltage", l.tcu_voltage)
        .field("tcu_temperature", l.tcu_temperature)
        .field("starter_fitted", l.starter_fitted)
        .field("starter_answering", l.starter_answering)
        .field("starter_state", l.starter_state)
        .field("starter_rpm", l.starter_rpm)
        .field("starter_temperature", l.starter_temperature)
        .field("main_pump_ecu_kind", l.main_pump_ecu_kind)
        .field("main_pump_tcu_kind", l.main_pump_tcu_kind)
        .field("main_pump_state", l.main_pump_state)
        .field("main_pump_rpm", l.main_pump_rpm)
        .field("main_pump_temperature", l.main_pump_temperature)
        .field("rpm_control_state", l.rpm_control_state)
        .field("record_format", l.record_format)
        .field("record_rate_code", l.record_rate_code)
        .field("sensor_mask", l.sensor_mask)
        .field("sensor_value1", l.sensor_value1)
        .field("sensor_value2", l.sensor_value2)
        .field("sensor_thrust", l.sensor_thrust);
}

namespace {

void WriteStateObject(JsonWriter& w, const StatusSnapshot& s, int language) {
    const CEcuLiveState& l = s.live;
    w.key("state")
        .beginObject()
        .field("display_state", l.displayState())
        .field("text", StateText(l, language))
        .field("display_error", l.displayError())
        .field("error_text", ErrorText(l, language))
        .field("displayed_egt", DisplayedEgt(s))
        .field("ignition_pump_text", IgnitionPumpStateText(l.ignition_pump_state, language))
        .field("main_pump_text", MainPumpStateText(l, language))
        .field("ecu_pump_text",
               Text(CEcuLiveState::EcuPumpKindTextNumber(l.main_pump_ecu_kind), language))
        .field("tcu_pump_text",
               Text(CEcuLiveState::TcuPumpKindTextNumber(l.main_pump_tcu_kind), language))
        .field("starter_text", StarterTypeText(l, language))
        .field("tcu_text", TcuText(l, language))
        .endObject();
}

} // namespace

std::string FormatStatusJson(const StatusSnapshot& s, int language, bool pretty) {
    JsonWriter w(pretty);
    w.beginObject();
    w.key("link")
        .beginObject()
        .field("type", LinkTypeName(s.linkType))
        .field("type_code", s.linkType)
        .field("up", s.linkUp)
        .endObject();
    w.field("online", s.online);
    w.key("unit");
    if (!s.online) {
        w.null();
    } else {
        w.beginObject()
            .field("id", s.unitId)
            .field("type", s.unitType)
            .field("mode", s.mode)
            .field("hardware_id", s.hardwareId)
            .field("boot_loader", s.bootLoader)
            .field("version", VersionText(s));
        w.key("version_bytes")
            .beginArray()
            .value(s.version1)
            .value(s.version2)
            .value(s.version3)
            .endArray();
        w.field("app_version", s.appVersion)
            .field("boot_extra", s.bootExtra)
            .field("marker", s.marker)
            .field("device_info", Hex(s.deviceInfo.data(), s.deviceInfo.size()))
            .endObject();
    }
    w.key("ecu");
    if (!s.ecu) {
        w.null();
    } else {
        w.beginObject()
            .field("generation", GenerationName(s.generation))
            .field("format_version", s.formatVersion)
            .field("double_range", s.doubleRange)
            .field("extended_items", s.extendedItems)
            .field("engine_name", s.engineName)
            .field("temperature_unit", s.temperatureUnit)
            .field("pump_mode", s.pumpMode)
            .field("telemetry_protocol", s.telemetryProtocol)
            .field("egt_correction", s.egtCorrection);
        w.key("throttle_points")
            .beginObject()
            .field("max", s.throttleMax)
            .field("min", s.throttleMin)
            .field("idle", s.throttleIdle)
            .endObject();
        w.endObject();
        WriteStateObject(w, s, language);
        w.key("live").beginObject();
        WriteLiveFields(w, s.live);
        w.endObject();
    }
    w.endObject();
    return w.str();
}

std::string FormatWatchText(const StatusSnapshot& s, uint32_t elapsedMs, int language) {
    const CEcuLiveState& l = s.live;
    return StringPrintf(
        "%7.1f s  %s | %s | rpm %d | egt %d | pump %.2f V | batt %.1f V | rc %.1f V | "
        "%.2f A | throttle %u us",
        elapsedMs / 1000.0,
        StateText(l, language).c_str(),
        ErrorText(l, language).c_str(),
        l.engine_rpm,
        DisplayedEgt(s),
        l.pump_voltage_centivolts / 100.0,
        l.battery_voltage,
        l.rc_voltage,
        l.current,
        l.rc_throttle_input);
}

std::string FormatWatchJson(const StatusSnapshot& s, uint32_t elapsedMs, int language) {
    JsonWriter w(false);
    w.beginObject().field("elapsed_ms", elapsedMs);
    WriteStateObject(w, s, language);
    w.key("live").beginObject();
    WriteLiveFields(w, s.live);
    w.endObject().endObject();
    return w.str();
}

} // namespace cli
