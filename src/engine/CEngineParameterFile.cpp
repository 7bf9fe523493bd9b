#include "engine/CEngineParameterFile.h"

#include "engine/CEcuParameters.h"
#include "engine/EcuTextId.h"
#include "platform/ProfileFile.h"

#include <climits>

namespace {

using C = CEngineParameterFile::Control;

// clang-format off
constexpr CEngineParameterFile::Row kRows[CEngineParameterFile::kRowCount] = {
    {"遥控器--丢失保护",          "2.5",    0, 4,  C::Edit},
    {"遥控器--总线油门通道",      "3",      0, 5,  C::Combo},
    {"遥控器--总线开关通道",      "0",      0, 6,  C::Combo},
    {"遥控器--总线回传模式",      "0",      0, 7,  C::Combo},
    {"遥控器--回传波特率",        "0",      0, 8,  C::Combo},
    {"遥控器--回传停止位",        "3",      0, 9,  C::Combo},
    {"遥控器--CANBus地址",        "0",      0, 10, C::Edit},
    {"保护--最高温度",            "900",    0, 13, C::Edit},
    {"保护--最低电压",            "10.0",   0, 14, C::Edit},
    {"启动器--弹出时间",          "0.4",    0, 15, C::Edit},
    {"启动器--弹出电压",          "1.2",    0, 16, C::Edit},
    {"启动器--运行电压",          "0.8",    0, 17, C::Edit},
    {"启动器--稳定系数",          "20",     0, 18, C::Edit},
    {"启动器--关闭系数",          "13",     1, 70, C::Edit},
    {"启动器--磁极对数",          "7",      1, 19, C::Edit},
    {"冷却--转速",                "5000",   0, 20, C::Edit},
    {"点火--转速",                "3000",   0, 21, C::Edit},
    {"点火--油泵电压",            "0.1",    0, 22, C::Edit},
    {"点火--电磁阀占空比",        "40",     0, 23, C::Edit},
    {"电磁阀--电压1",             "6",      0, 25, C::Edit},
    {"电磁阀--电压2",             "6",      0, 26, C::Edit},
    {"电磁阀--点火",              "6",      0, 27, C::Combo},
    {"电磁阀--主油路",            "6",      0, 28, C::Combo},
    {"电磁阀--扩展1",             "6",      0, 29, C::Combo},
    {"电磁阀--扩展2",             "6",      0, 30, C::Combo},
    {"热火头电压--启动",          "6.0",    0, 45, C::Edit},
    {"热火头电压--重启",          "6.0",    0, 46, C::Edit},
    {"热火头--预热时间",          "7",      1, 47, C::Combo},
    {"启动--电机斜率",            "100",    0, 31, C::Edit},
    {"启动--油泵斜率",            "3",      0, 32, C::Edit},
    {"加速--转速1",               "0",      1, 33, C::Edit},
    {"加速--油泵1",               "0",      1, 35, C::Edit},
    {"加速--转速2",               "0",      1, 34, C::Edit},
    {"加速--油泵2",               "0",      1, 36, C::Edit},
    {"高海拔--最低转速",          "0",      1, 37, C::Edit},
    {"高海拔--最低转速气压",      "0",      1, 38, C::Edit},
    {"高海拔--油泵斜率",          "0",      1, 39, C::Edit},
    {"高海拔--油泵斜率气压",      "0",      1, 40, C::Edit},
    {"加氧启动--转速",            "0",      0, 41, C::Edit},
    {"加氧启动--延时",            "0",      0, 42, C::Edit},
    {"加氧启动--油泵电压",        "0",      0, 43, C::Edit},
    {"加氧启动--爬坡时间",        "0",      0, 44, C::Edit},
    {"预热--转速",                "5000",   0, 48, C::Edit},
    {"加速--离合器分离转速",      "25000",  0, 49, C::Edit},
    {"运行--最低转速",            "32000",  0, 51, C::Edit},
    {"运行--待机转速",            "50000",  0, 52, C::Edit},
    {"运行--最高转速",            "160000", 0, 53, C::Edit},
    {"运行--油泵限制",            "3.6",    0, 67, C::Edit},
    {"运行--允许重启",            "1",      0, 54, C::Check},
    {"油门曲线--加速",            "40",     0, 66, C::Edit},
    {"油门曲线--減速",            "40",     0, 65, C::Edit},
    {"设计极限--最高转速",        "160000", 0, 68, C::Edit},
    {"油泵--测试最高电压",        "3.0",    0, 55, C::Edit},
    {"油泵--待机灵敏度",          "40",     0, 56, C::Edit},
    {"油泵--最高电流",            "11",     1, 57, C::Combo},
    {"点火油泵--电压",            "0.5",    0, 62, C::Edit},
    {"特性参数-转速系数",         "1",      0, 69, C::Edit},
    {"特性参数-温度缩放系数",     "100",    0, 71, C::Edit},
    {"特性参数-点火确认温度",     "1",      1, 24, C::Combo},
    {"预热--预热完成温度",        "7",      0, 63, C::Combo},
    {"预热--预热强制延时",        "0",      0, 64, C::Combo},
    {"开关--转速控制",            "0",      0, 72, C::Check},
    {"开关--线性转速",            "0",      0, 79, C::Check},
    {"开关--不检查火头",          "0",      0, 74, C::Check},
    {"开关--减少冷却时间",        "0",      0, 73, C::Check},
    {"开关--允许异常熄火后冷却",  "0",      0, 76, C::Check},
    {"开关--待机BEEP声音",        "1",      0, 77, C::Check},
    {"开关--取消遥控超时",        "0",      0, 78, C::Check},
};
// clang-format on

// The file holds these as 1-based list entries.
bool IsOneBased(int textId) {
    return textId == EcuTextId::TelemetryBaudIndex || textId == EcuTextId::TelemetryStopBitsIndex;
}

// The leading decimal integer of text as _wtoi reads it: blanks, a sign,
// digits; 0 when there is none; saturated instead of overflowing.
int32_t LeadingInteger(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<int64_t>(INT32_MAX) + 1) {
            v = static_cast<int64_t>(INT32_MAX) + 1;
        }
    }
    if (negative) {
        v = -v;
    }
    if (v > INT32_MAX) {
        v = INT32_MAX;
    }
    return static_cast<int32_t>(v);
}

// text cut to at most maxUnits UTF-16 code units, never inside a character.
std::string CutToUtf16Units(const std::string& text, size_t maxUnits) {
    size_t units = 0;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        const size_t bytes = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const size_t width = bytes == 4 ? 2 : 1;
        if (units + width > maxUnits) {
            break;
        }
        units += width;
        i += bytes;
    }
    return text.substr(0, i < text.size() ? i : text.size());
}

} // namespace

std::span<const CEngineParameterFile::Row> CEngineParameterFile::Rows() {
    return kRows;
}

const CEngineParameterFile::Row* CEngineParameterFile::RowOf(int textId) {
    for (const Row& row : kRows) {
        if (row.textId == textId) {
            return &row;
        }
    }
    return nullptr;
}

CEngineParameterFile::Settings CEngineParameterFile::Read(const platform::ProfileFile& file) {
    Settings out;
    auto value = [&](const char* key, const char* defaultValue) {
        return CutToUtf16Units(file.GetString(kSection, key, defaultValue), kValueBufferChars - 1);
    };
    for (size_t i = 0; i < kRowCount; ++i) {
        const Row& row = kRows[i];
        Setting& s = out.rows[i];
        s.textId = row.textId;
        s.text = value(row.key, row.defaultValue);
        s.integer = LeadingInteger(s.text);
        if (IsOneBased(row.textId) && s.integer > 0) {
            --s.integer;
            s.text = std::to_string(s.integer);
        }
    }
    out.temperatureUnit = LeadingInteger(value(kKeyTemperatureUnit, "0")) != 0 ? 1 : 0;
    out.pumpMode = LeadingInteger(value(kKeyPumpMode, "0"));
    out.telemetryProtocol = LeadingInteger(value(kKeyTelemetryProtocol, "0")) & 0xFF;
    return out;
}

void CEngineParameterFile::Apply(const Settings& settings, CEcuParameters& parameters) {
    for (const Setting& s : settings.rows) {
        (void)parameters.setFromText(s.textId, s.text, s.integer);
    }
    (void)parameters.setTemperatureUnit(settings.temperatureUnit);
    (void)parameters.setPumpMode(settings.pumpMode);
    (void)parameters.setTelemetryProtocol(settings.telemetryProtocol);
}

CEngineParameterFile::LoadResult
CEngineParameterFile::readFile(const std::string& path, Settings& out, std::string* error) {
    platform::ProfileFile file;
    const auto loaded = file.Load(path, error);
    if (loaded == platform::ProfileFile::LoadResult::Failed) {
        return LoadResult::Failed;
    }
    out = Read(file); // a missing file reads as all defaults
    return loaded == platform::ProfileFile::LoadResult::Missing ? LoadResult::Missing
                                                                : LoadResult::Loaded;
}

CEngineParameterFile::LoadResult CEngineParameterFile::load(const std::string& path,
                                                            CEcuParameters& parameters,
                                                            std::string* error) {
    Settings settings;
    const LoadResult result = readFile(path, settings, error);
    if (result != LoadResult::Failed) {
        Apply(settings, parameters);
    }
    return result;
}

CEngineParameterFile::Texts CEngineParameterFile::Collect(const CEcuParameters& parameters) {
    Texts texts;
    texts.reserve(kRowCount + 3);
    for (const Row& row : kRows) {
        CEcuParameters::Text t;
        if (parameters.getText(row.textId, t) == 0) {
            t.text = "0";
        } else if (IsOneBased(row.textId)) {
            // The block holds the list index; the file the list entry, so
            // that loading (which takes one off) selects the same entry.
            t.text = t.supported ? std::to_string(t.value + 1) : std::string("0");
        }
        texts.emplace_back(row.key, t.text);
    }
    // "%d" of each, as the file has them.
    texts.emplace_back(kKeyTemperatureUnit, std::to_string(parameters.temperatureUnit()));
    texts.emplace_back(kKeyPumpMode, std::to_string(parameters.pumpMode()));
    texts.emplace_back(kKeyTelemetryProtocol, std::to_string(parameters.telemetryProtocol()));
    return texts;
}

bool CEngineParameterFile::Write(const Texts& texts, platform::ProfileFile& file) {
    bool ok = true;
    for (const auto& [key, value] : texts) {
        ok = file.SetString(kSection, key, value) && ok;
    }
    return ok;
}

int CEngineParameterFile::saveTexts(const std::string& path,
                                    const Texts& texts,
                                    std::string* error) {
    platform::ProfileFile file;
    // An existing file keeps what it holds besides our keys, as the
    // profile functions leave it.
    if (file.Load(path, error) == platform::ProfileFile::LoadResult::Failed) {
        return 0;
    }
    if (!Write(texts, file)) {
        if (error != nullptr) {
            *error = "a parameter text cannot be written to a profile file";
        }
        return 0;
    }
    return file.Save(path, error) ? 1 : 0;
}

int CEngineParameterFile::save(const std::string& path,
                               const CEcuParameters& parameters,
                               std::string* error) {
    return saveTexts(path, Collect(parameters), error);
}
