#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

class CEcuParameters;

namespace platform {
class ProfileFile;
}

// engine_cfg.txt, the parameter file: one section "ENGINE" of a profile (INI)
// file, one key per row of the parameter-control table below (the Chinese
// keys are the file's own and must stay as they are), then the temperature
// unit, pump mode and telemetry protocol under "温度单位", "油泵模式" and
// "回传协议". The settings dialog and turbexctl share this module.
//
// Loading turns every key into one setFromText call on the parameter block
// (the caller commits afterwards); saving writes every row as getText shows
// it. Baud rate (text id 8) and stop bits (text id 9) are list indexes in the
// block but 1-based entries in the file: "3" is the third list entry.
//
// The work is split so that a caller holding the protocol object's lock does
// no file I/O under it: Read (file -> settings) and Apply (settings -> block)
// for a load, Collect (block -> texts) and Write (texts -> file) for a save;
// load and save do both steps for a caller that owns its CEcuParameters.
//
// Thread safety: pure functions over their arguments; CEcuParameters has none
// of its own (see its header).
class CEngineParameterFile {
public:
    // How the settings dialog shows a row.
    enum class Control : uint8_t { Edit, Combo, Check };

    // One row of the parameter-control table.
    struct Row {
        const char* key;          // file key, UTF-8
        const char* defaultValue; // taken when the key is missing
        int blankWhenZero;        // 1: the dialog shows an empty, disabled edit for 0
        int textId;               // parameter key 1..79 of CEcuParameters
        Control control;
    };

    static constexpr size_t kRowCount = 68;
    static constexpr const char* kSection = "ENGINE";
    static constexpr const char* kKeyTemperatureUnit = "温度单位";
    static constexpr const char* kKeyPumpMode = "油泵模式";
    static constexpr const char* kKeyTelemetryProtocol = "回传协议";
    // A value is read into a buffer of 64 characters, the terminator
    // included: longer values are cut to 63 characters.
    static constexpr size_t kValueBufferChars = 64;

    // The 68 rows, in file order.
    [[nodiscard]] static std::span<const Row> Rows();
    // The row of textId, or null when no row carries it.
    [[nodiscard]] static const Row* RowOf(int textId);

    // --- load -------------------------------------------------------------
    // One setFromText call.
    struct Setting {
        int textId = 0;
        std::string text;
        int32_t integer = 0;
    };
    // Everything a load applies, in order.
    struct Settings {
        std::array<Setting, kRowCount> rows{};
        int temperatureUnit = 0;   // 0 or 1
        int pumpMode = 0;          // as read (the setter ignores values above 3)
        int telemetryProtocol = 0; // low 8 bits of what was read
    };

    enum class LoadResult {
        Loaded,  // the file was read
        Missing, // no such file: every key took its default
        Failed,  // the file could not be read; nothing was applied
    };

    // The settings of a parsed file: each row's value (its default when the
    // key is missing), cut to 63 characters, and its leading decimal integer
    // (0 when there is none); for text ids 8 and 9 a positive number is taken
    // down by one and the text becomes that number.
    [[nodiscard]] static Settings Read(const platform::ProfileFile& file);
    // Calls setFromText for every row, then the three setters. Does not commit.
    static void Apply(const Settings& settings, CEcuParameters& parameters);
    // Read the file at path (UTF-8), then Apply unless it Failed; a missing
    // file applies the defaults. *error names the failing call on Failed.
    static LoadResult
    load(const std::string& path, CEcuParameters& parameters, std::string* error = nullptr);

    // --- save -------------------------------------------------------------
    // (key, value) in file order: the 68 rows as getText gives them (text
    // ids 8 and 9 as the 1-based entry, "0" while unsupported), then the
    // three extra keys as "%d".
    using Texts = std::vector<std::pair<std::string, std::string>>;
    [[nodiscard]] static Texts Collect(const CEcuParameters& parameters);
    // Sets every key in section "ENGINE" of file; other lines stay.
    [[nodiscard]] static bool Write(const Texts& texts, platform::ProfileFile& file);
    // Collects, then writes the file at path through a temporary file and a
    // rename (an existing file keeps its other sections and keys). 1 on
    // success; 0 with *error naming the failing step, the old file intact.
    [[nodiscard]] static int
    save(const std::string& path, const CEcuParameters& parameters, std::string* error = nullptr);
    // As save, for texts already collected.
    [[nodiscard]] static int
    saveTexts(const std::string& path, const Texts& texts, std::string* error = nullptr);
    // As load, reading only (no parameter block needed).
    [[nodiscard]] static LoadResult
    readFile(const std::string& path, Settings& out, std::string* error = nullptr);
};
