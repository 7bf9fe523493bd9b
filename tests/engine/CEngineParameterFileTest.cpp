#include "EcuImages.h"

#include "engine/CEngineParameterFile.h"
#include "platform/FileIo.h"
#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using platform::ProfileFile;

namespace {

std::string DataPath(const std::string& name) {
    const char* dir = std::getenv("TURBEX_TEST_DATA");
    std::string base;
    if (dir != nullptr && *dir != '\0') {
        base = dir;
    } else {
        std::string here = __FILE__;
        here = here.substr(0, here.rfind('/'));
        base = here.substr(0, here.rfind('/')) + "/data";
    }
    return base + "/profile/" + name;
}

ProfileFile ParseText(std::string_view s) {
    const std::vector<uint8_t> bytes(s.begin(), s.end());
    return ProfileFile::Parse(bytes);
}

CEcuParameters::Text TextOf(const CEcuParameters& p, int id) {
    CEcuParameters::Text t;
    EXPECT_EQ(p.getText(id, t), 1) << "text id " << id;
    return t;
}

class EngineParameterFile : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/turbex_paramfile_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        // Files this test made, then the folder.
        (void)std::system(("rm -rf '" + m_dir + "'").c_str());
    }
    [[nodiscard]] std::string Path(const std::string& name) const { return m_dir + "/" + name; }

    // Every row of a and b reads back the same, and the three extra settings.
    static void ExpectSameParameters(const CEcuParameters& a, const CEcuParameters& b) {
        for (const auto& row : CEngineParameterFile::Rows()) {
            const auto ta = TextOf(a, row.textId);
            const auto tb = TextOf(b, row.textId);
            EXPECT_EQ(ta.text, tb.text) << row.key;
            EXPECT_EQ(ta.value, tb.value) << row.key;
            EXPECT_EQ(ta.supported, tb.supported) << row.key;
        }
        EXPECT_EQ(a.temperatureUnit(), b.temperatureUnit());
        EXPECT_EQ(a.pumpMode(), b.pumpMode());
        EXPECT_EQ(a.telemetryProtocol(), b.telemetryProtocol());
    }

    std::string m_dir;
};

} // namespace

TEST(CEngineParameterFile, TableHasSixtyEightDistinctRowsInFileOrder) {
    const auto rows = CEngineParameterFile::Rows();
    ASSERT_EQ(rows.size(), 68u);
    std::set<std::string> keys;
    std::set<int> ids;
    for (const auto& row : rows) {
        keys.insert(row.key);
        ids.insert(row.textId);
        EXPECT_GE(row.textId, 4);
        EXPECT_LE(row.textId, 79);
    }
    EXPECT_EQ(keys.size(), 68u);
    EXPECT_EQ(ids.size(), 68u);
    EXPECT_STREQ(rows.front().key, "遥控器--丢失保护");
    EXPECT_STREQ(rows[50].key, "油门曲线--減速"); // the file's own character
    EXPECT_EQ(rows[50].textId, 65);
    EXPECT_STREQ(rows.back().key, "开关--取消遥控超时");
    EXPECT_EQ(rows.back().textId, 78);
    ASSERT_NE(CEngineParameterFile::RowOf(70), nullptr);
    EXPECT_EQ(CEngineParameterFile::RowOf(70)->blankWhenZero, 1);
    EXPECT_STREQ(CEngineParameterFile::RowOf(9)->defaultValue, "3");
    EXPECT_EQ(CEngineParameterFile::RowOf(1), nullptr); // read-only throttle points are not kept
}

TEST(CEngineParameterFile, ReadTakesDefaultsAndTheOneBasedEntries) {
    const ProfileFile file = ParseText("[engine]\n"
                                       "遥控器--回传波特率 = 3\n"
                                       "遥控器--回传停止位=-1\n"
                                       "保护--最高温度=950abc\n"
                                       "运行--油泵限制=3.6\n"
                                       "温度单位=7\n"
                                       "油泵模式=2\n"
                                       "回传协议=262\n"
                                       "[OTHER]\n"
                                       "启动--电机斜率=55\n");
    const auto s = CEngineParameterFile::Read(file);
    auto row = [&](int textId) -> const CEngineParameterFile::Setting& {
        for (const auto& r : s.rows) {
            if (r.textId == textId) {
                return r;
            }
        }
        ADD_FAILURE() << "no row " << textId;
        return s.rows[0];
    };
    EXPECT_EQ(row(8).text, "2");
    EXPECT_EQ(row(8).integer, 2);
    // Only a positive entry is taken down by one.
    EXPECT_EQ(row(9).text, "-1");
    EXPECT_EQ(row(9).integer, -1);
    EXPECT_EQ(row(13).text, "950abc");
    EXPECT_EQ(row(13).integer, 950);
    EXPECT_EQ(row(67).text, "3.6");
    EXPECT_EQ(row(67).integer, 3);
    // Missing keys, and keys of another section: the defaults.
    EXPECT_EQ(row(31).text, "100");
    EXPECT_EQ(row(4).text, "2.5");
    EXPECT_EQ(row(4).integer, 2);
    EXPECT_EQ(row(79).text, "0");
    EXPECT_EQ(s.temperatureUnit, 1);
    EXPECT_EQ(s.pumpMode, 2);
    EXPECT_EQ(s.telemetryProtocol, 6); // low 8 bits of 262
    for (size_t i = 0; i < s.rows.size(); ++i) {
        EXPECT_EQ(s.rows[i].textId, CEngineParameterFile::Rows()[i].textId);
    }

    // A missing default entry of the stop bits ("3") selects the third entry.
    const auto defaults = CEngineParameterFile::Read(ProfileFile());
    EXPECT_EQ(defaults.rows[5].textId, 9);
    EXPECT_EQ(defaults.rows[5].integer, 2);
    EXPECT_EQ(defaults.rows[4].integer, 0);
    EXPECT_EQ(defaults.temperatureUnit, 0);
}

TEST(CEngineParameterFile, ValuesAreCutToTheSixtyFourCharacterBuffer) {
    const std::string longValue(100, '7');
    std::string wide;
    for (int i = 0; i < 70; ++i) {
        wide += "温";
    }
    const ProfileFile file =
        ParseText("[ENGINE]\n保护--最高温度=" + longValue + "\n保护--最低电压=" + wide + "\n");
    const auto s = CEngineParameterFile::Read(file);
    EXPECT_EQ(s.rows[7].text, std::string(63, '7'));
    EXPECT_EQ(s.rows[7].integer, INT32_MAX); // saturated, not wrapped
    std::string cut;
    for (int i = 0; i < 63; ++i) {
        cut += "温";
    }
    EXPECT_EQ(s.rows[8].text, cut);
    EXPECT_EQ(s.rows[8].integer, 0);
}

TEST_F(EngineParameterFile, SaveThenLoadReproducesEveryParameterOfBothGenerations) {
    struct Case {
        const char* name;
        int (*loadEcu)(CEcuParameters&);
    };
    const Case cases[] = {
        {"item", [](CEcuParameters& p) { return LoadItem(p); }},
        {"block", [](CEcuParameters& p) { return LoadBlock(p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CEcuParameters edited;
        ASSERT_EQ(c.loadEcu(edited), 1);
        // Values the fresh ECU does not hold, baud rate and stop bits among them.
        ASSERT_EQ(edited.setFromText(8, "", 5), 1);
        ASSERT_EQ(edited.setFromText(9, "", 0), 1);
        ASSERT_EQ(edited.setFromText(13, "980", 0), 1);
        ASSERT_EQ(edited.setFromText(4, "1.5", 0), 1);
        ASSERT_EQ(edited.setFromText(53, "150000", 0), 1);
        ASSERT_EQ(edited.setFromText(77, "", 0), 1);
        (void)edited.setTemperatureUnit(1);
        (void)edited.setPumpMode(2);
        (void)edited.setTelemetryProtocol(4);
        ASSERT_EQ(TextOf(edited, 8).value, 5);

        const std::string path = Path(std::string(c.name) + "_engine_cfg.txt");
        std::string error;
        ASSERT_EQ(CEngineParameterFile::save(path, edited, &error), 1) << error;
        // The file holds the 1-based entries.
        EXPECT_EQ(platform::ReadProfileKey("ENGINE", "遥控器--回传波特率", "", path), "6");
        EXPECT_EQ(platform::ReadProfileKey("ENGINE", "遥控器--回传停止位", "", path), "1");
        EXPECT_EQ(platform::ReadProfileKey("ENGINE", "温度单位", "", path), "1");

        CEcuParameters fresh;
        ASSERT_EQ(c.loadEcu(fresh), 1);
        EXPECT_NE(TextOf(fresh, 8).value, 5);
        EXPECT_EQ(CEngineParameterFile::load(path, fresh, &error),
                  CEngineParameterFile::LoadResult::Loaded)
            << error;
        ExpectSameParameters(edited, fresh);
        EXPECT_TRUE(fresh.hasPendingChanges()); // the caller commits them
    }
}

TEST_F(EngineParameterFile, SavedFileIsUtf16WithEveryKeyInTableOrderAndKeepsOtherLines) {
    const std::string path = Path("engine_cfg.txt");
    ASSERT_TRUE(platform::WriteProfileKey("NOTES", "engine", "bench 3", path));
    ASSERT_TRUE(platform::WriteProfileKey("ENGINE", "保护--最高温度", "1", path));
    CEcuParameters p;
    ASSERT_EQ(LoadBlock(p), 1);
    ASSERT_EQ(CEngineParameterFile::save(path, p), 1);

    ProfileFile file;
    ASSERT_EQ(file.Load(path), ProfileFile::LoadResult::Loaded);
    EXPECT_EQ(file.SourceEncoding(), ProfileFile::Encoding::Utf16Le);
    const auto lines = file.Lines();
    ASSERT_EQ(lines.size(), 2u + 1u + 1u + 71u); // NOTES, blank, ENGINE header, 71 keys
    EXPECT_EQ(lines[0], "[NOTES]");
    EXPECT_EQ(lines[1], "engine=bench 3");
    EXPECT_EQ(lines[3], "[ENGINE]");
    // The key written before keeps its place; the others follow in table order.
    EXPECT_EQ(lines[4], "保护--最高温度=900");
    const auto rows = CEngineParameterFile::Rows();
    size_t next = 5;
    for (const auto& row : rows) {
        if (std::string(row.key) == "保护--最高温度") {
            continue;
        }
        ASSERT_LT(next, lines.size());
        EXPECT_EQ(lines[next].substr(0, lines[next].find('=')), row.key);
        ++next;
    }
    EXPECT_EQ(lines[next++], "温度单位=0");
    EXPECT_EQ(lines[next++], "油泵模式=1");
    EXPECT_EQ(lines[next++], "回传协议=2");
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "加速--转速1", "-", path),
              "0"); // not in this generation
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "运行--油泵限制", "-", path), "3.60");
}

TEST_F(EngineParameterFile, MissingKeysAndMissingFilesLoadTheDefaults) {
    const std::string path = Path("partial.txt");
    ASSERT_TRUE(platform::WriteProfileKey("ENGINE", "保护--最高温度", "950", path));

    CEcuParameters typical;
    ASSERT_EQ(LoadBlock(typical), 1);
    CEcuParameters p;
    ASSERT_EQ(LoadBlock(p), 1);
    ASSERT_EQ(CEngineParameterFile::load(path, p), CEngineParameterFile::LoadResult::Loaded);
    EXPECT_EQ(TextOf(p, 13).text, "950");
    EXPECT_EQ(TextOf(typical, 8).value, 2);
    EXPECT_EQ(TextOf(p, 8).value, 0);     // default "0"
    EXPECT_EQ(TextOf(p, 9).value, 2);     // default "3", the third entry
    EXPECT_EQ(TextOf(p, 46).text, "6.0"); // was 6.2
    EXPECT_EQ(TextOf(p, 20).text, "5000");
    EXPECT_EQ(p.pumpMode(), 0); // was 1
    EXPECT_EQ(p.telemetryProtocol(), 0);

    CEcuParameters none;
    ASSERT_EQ(LoadBlock(none), 1);
    EXPECT_EQ(CEngineParameterFile::load(Path("no_such_file.txt"), none),
              CEngineParameterFile::LoadResult::Missing);
    EXPECT_EQ(TextOf(none, 13).text, "900");
    EXPECT_EQ(TextOf(none, 8).value, 0);
}

TEST_F(EngineParameterFile, AFileThatCannotBeReadAppliesNothing) {
    CEcuParameters p;
    ASSERT_EQ(LoadBlock(p), 1);
    std::string error;
    // A folder where the file should be.
    EXPECT_EQ(CEngineParameterFile::load(m_dir, p, &error),
              CEngineParameterFile::LoadResult::Failed);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(p.hasPendingChanges());

    // Saving into a missing folder fails and says why.
    error.clear();
    EXPECT_EQ(CEngineParameterFile::save(Path("missing/engine_cfg.txt"), p, &error), 0);
    EXPECT_FALSE(error.empty());
}

TEST(CEngineParameterFile, CheckedInFilesOfEveryEncodingLoadAlike) {
    const char* names[] = {"engine_cfg_utf8.txt",
                           "engine_cfg_utf8bom.txt",
                           "engine_cfg_gbk.txt",
                           "engine_cfg_utf16le.txt"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        CEcuParameters p;
        ASSERT_EQ(LoadBlock(p), 1);
        std::string error;
        ASSERT_EQ(CEngineParameterFile::load(DataPath(name), p, &error),
                  CEngineParameterFile::LoadResult::Loaded)
            << error;
        EXPECT_EQ(p.temperatureUnit(), 1); // the [NOTES] key of the same name is not read
        EXPECT_EQ(p.pumpMode(), 2);
        EXPECT_EQ(p.telemetryProtocol(), 6);
        EXPECT_EQ(TextOf(p, 8).value, 2); // "3" in the file
        EXPECT_EQ(TextOf(p, 13).text, "900");
        EXPECT_EQ(TextOf(p, 4).text, "2.5");
    }
}
