#include "cli/ParameterReport.h"

#include "cli/JsonWriter.h"
#include "cli/ParameterNames.h"
#include "engine/CEcuParameters.h"
#include "engine/CEngineParameterFile.h"
#include "foundation/StringPrintf.h"
#include "platform/CodePage.h"

#include <cstdio>

namespace cli {

namespace {

bool Shows(const ParameterSelection& sel, const std::string& extra) {
    return sel.all || sel.extras.count(extra) != 0;
}

bool Shows(const ParameterSelection& sel, int id) {
    return sel.all || sel.ids.count(id) != 0;
}

// Display width of UTF-8 text, counting each character as one column.
size_t Columns(const std::string& s) {
    size_t n = 0;
    for (const char c : s) {
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            ++n;
        }
    }
    return n;
}

std::string Pad(const std::string& s, size_t width) {
    const size_t w = Columns(s);
    return w >= width ? s : s + std::string(width - w, ' ');
}

} // namespace

ParameterSnapshot TakeParameters(const CEcuParameters& parameters) {
    ParameterSnapshot p;
    p.generation = parameters.generation();
    p.formatVersion = parameters.formatVersion();
    for (int id = 1; id <= 79; ++id) {
        CEcuParameters::Text t;
        if (parameters.getText(id, t) == 0) {
            continue;
        }
        ParameterSnapshot::Entry e;
        e.textId = id;
        e.name = std::string(ParameterName(id));
        if (const auto* row = CEngineParameterFile::RowOf(id)) {
            e.key = row->key;
        }
        e.text = t.text;
        e.value = t.value;
        e.supported = t.supported;
        p.entries.push_back(std::move(e));
    }
    p.temperatureUnit = parameters.temperatureUnit();
    p.pumpMode = parameters.pumpMode();
    p.telemetryProtocol = parameters.telemetryProtocol();
    p.telemetryProtocolMask = parameters.telemetryProtocolMask();
    p.pumpTypeMask = parameters.pumpTypeMask();
    p.engineName = platform::GbkToUtf8(parameters.engineName());
    return p;
}

std::string FormatParametersText(const ParameterSnapshot& p, const ParameterSelection& sel) {
    std::string out;
    if (sel.all) {
        out += p.generation == EcuGeneration::Block
                   ? StringPrintf("ECU: block generation, format %u\n", p.formatVersion)
                   : StringPrintf("ECU: %s generation\n", GenerationName(p.generation));
        out += " id  name                          text           value  supported\n";
    }
    for (const auto& e : p.entries) {
        if (!Shows(sel, e.textId)) {
            continue;
        }
        out += StringPrintf("%3d  ", e.textId);
        out += Pad(e.name, 30);
        out += Pad(e.text, 12);
        out += StringPrintf(" %7d  %s\n", e.value, e.supported ? "yes" : "no");
    }
    auto extra = [&](const char* name, const std::string& value) {
        if (Shows(sel, name)) {
            out += "     " + Pad(name, 30) + value + "\n";
        }
    };
    extra("temperature-unit",
          std::to_string(p.temperatureUnit) +
              (p.temperatureUnit != 0 ? " (Fahrenheit)" : " (Celsius)"));
    extra("pump-mode", std::to_string(p.pumpMode));
    extra("telemetry-protocol", std::to_string(p.telemetryProtocol));
    extra("engine-name", p.engineName);
    return out;
}

std::string
FormatParametersJson(const ParameterSnapshot& p, const ParameterSelection& sel, bool pretty) {
    JsonWriter w(pretty);
    w.beginObject();
    w.field("generation", GenerationName(p.generation)).field("format_version", p.formatVersion);
    w.key("parameters").beginArray();
    for (const auto& e : p.entries) {
        if (!Shows(sel, e.textId)) {
            continue;
        }
        w.beginObject()
            .field("id", e.textId)
            .field("name", e.name)
            .field("file_key", e.key)
            .field("text", e.text)
            .field("value", e.value)
            .field("supported", e.supported)
            .endObject();
    }
    w.endArray();
    if (Shows(sel, "temperature-unit")) {
        w.field("temperature_unit", p.temperatureUnit);
    }
    if (Shows(sel, "pump-mode")) {
        w.field("pump_mode", p.pumpMode);
    }
    if (Shows(sel, "telemetry-protocol")) {
        w.field("telemetry_protocol", p.telemetryProtocol);
    }
    if (Shows(sel, "engine-name")) {
        w.field("engine_name", p.engineName);
    }
    if (sel.all) {
        w.field("telemetry_protocol_mask", p.telemetryProtocolMask)
            .field("pump_type_mask", p.pumpTypeMask);
    }
    w.endObject();
    return w.str();
}

} // namespace cli
