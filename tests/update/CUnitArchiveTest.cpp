#include "update/CUnitArchive.h"
#include "update/CParameterDiff.h"

#include "engine/CEcuParameters.h"
#include "platform/FileIo.h"
#include "platform/ProfileFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

CUnitIdentity Unit() {
    CUnitIdentity u;
    u.hardwareId = 0x123;
    u.deviceInfo = {'T', 'U', 'R', 'B', 'E', 'X', '-', 'S', 'I', 'M', 0x01, 0x00};
    u.appVersion = (1 << 16) | (2 << 8) | 3;
    return u;
}

// Texts of every row in file order, each row's value made from its index.
CEngineParameterFile::Texts SomeTexts(int salt) {
    CEngineParameterFile::Texts texts;
    int i = 0;
    for (const auto& row : CEngineParameterFile::Rows()) {
        texts.emplace_back(row.key, std::to_string(salt + i++));
    }
    texts.emplace_back(CEngineParameterFile::kKeyTemperatureUnit, "1");
    texts.emplace_back(CEngineParameterFile::kKeyPumpMode, "2");
    texts.emplace_back(CEngineParameterFile::kKeyTelemetryProtocol, "3");
    return texts;
}

TEST(CUnitIdentity, KeyAndVersionTexts) {
    CUnitIdentity u = Unit();
    EXPECT_EQ(u.Key(), "ecu-123-5455524245582d53494d0100");
    EXPECT_EQ(u.VersionText(), "1.2.3");
    u.bootLoader = true;
    u.appVersion = 0;
    u.bootVersion1 = 1;
    u.bootVersion2 = 2;
    EXPECT_EQ(u.VersionText(), "boot 1.02");
    EXPECT_EQ(u.Key(), Unit().Key()); // the same unit in its boot loader
}

TEST(CUnitArchive, BackupsAreNewFilesThatLoadAsParameterFiles) {
    TempFolder dir;
    CUnitArchive archive(dir.Path("units"));
    const std::time_t t = 1796788800; // 2026-12-09T04:00:00Z
    std::string error;
    const std::string first = archive.SaveBackup(Unit(), SomeTexts(10), t, &error);
    ASSERT_FALSE(first.empty()) << error;
    EXPECT_EQ(first,
              dir.Path("units/ecu-123-5455524245582d53494d0100/params-20261209T040000Z.txt"));
    // A second backup in the same second never replaces the first.
    const std::string second = archive.SaveBackup(Unit(), SomeTexts(500), t, &error);
    EXPECT_EQ(second,
              dir.Path("units/ecu-123-5455524245582d53494d0100/params-20261209T040000Z-2.txt"));

    CEngineParameterFile::Texts back;
    ASSERT_TRUE(CUnitArchive::ReadBackup(first, back, &error)) << error;
    EXPECT_EQ(back, SomeTexts(10));
    ASSERT_TRUE(CUnitArchive::ReadBackup(second, back, &error));
    EXPECT_EQ(back, SomeTexts(500));

    platform::ProfileFile file;
    ASSERT_EQ(file.Load(first), platform::ProfileFile::LoadResult::Loaded);
    EXPECT_EQ(file.GetString("UNIT", "HardwareId", ""), "0x123");
    EXPECT_EQ(file.GetString("UNIT", "Firmware", ""), "1.2.3");
    EXPECT_EQ(file.GetString("UNIT", "Taken", ""), "2026-12-09T04:00:00Z");
    // The parameter file module reads it as it reads engine_cfg.txt.
    CEngineParameterFile::Settings settings;
    EXPECT_EQ(CEngineParameterFile::readFile(first, settings, &error),
              CEngineParameterFile::LoadResult::Loaded);
    EXPECT_EQ(settings.temperatureUnit, 1);
    EXPECT_EQ(settings.pumpMode, 2);

    EXPECT_FALSE(CUnitArchive::ReadBackup(dir.Path("none.txt"), back, &error));
    EXPECT_NE(error.find("none.txt"), std::string::npos);
}

TEST(CUnitArchive, WithoutARootNothingIsWritten) {
    CUnitArchive archive("");
    std::string error;
    EXPECT_TRUE(archive.SaveBackup(Unit(), SomeTexts(1), 0, &error).empty());
    EXPECT_NE(error.find("XDG_DATA_HOME"), std::string::npos);
    EXPECT_TRUE(archive.Units().empty());
    EXPECT_FALSE(archive.GetPending(Unit().Key()).has_value());
}

TEST(CUnitArchive, PendingUpdateRoundTripAndClear) {
    TempFolder dir;
    CUnitArchive archive(dir.Path());
    const std::string key = Unit().Key();
    EXPECT_FALSE(archive.GetPending(key).has_value());
    const CUnitArchive::Pending p{"/x/params 1.txt", "1.2.3", "2026-12-09T04:00:00Z"};
    ASSERT_TRUE(archive.SetPending(key, p, nullptr));
    EXPECT_EQ(archive.GetPending(key), p);
    ASSERT_TRUE(archive.ClearPending(key, nullptr));
    EXPECT_FALSE(archive.GetPending(key).has_value());
    EXPECT_TRUE(archive.ClearPending(key, nullptr)); // nothing to clear
}

TEST(CUnitArchive, HistoryKeepsOneLinePerAttemptInOrder) {
    TempFolder dir;
    CUnitArchive archive(dir.Path());
    CUpdateRecord a;
    a.time = "2026-12-09T04:00:00Z";
    a.unit = Unit().Key();
    a.versionBefore = "1.2.3";
    a.image = "fw\tnew\\1.bin"; // escaped on the way in, restored on the way out
    a.imageSize = 262144;
    a.imageSha256 = std::string(64, 'a');
    a.protocol = "block";
    a.result = "failed";
    a.backup = "/b/params.txt";
    CUpdateRecord b = a;
    b.time = "2026-12-09T04:01:00Z";
    b.versionAfter = "1.3.0";
    b.result = "success";
    b.restored = "yes";
    ASSERT_TRUE(archive.AppendHistory(a, nullptr));
    ASSERT_TRUE(archive.AppendHistory(b, nullptr));
    EXPECT_EQ(archive.ReadHistory(Unit().Key()), (std::vector<CUpdateRecord>{a, b}));
    EXPECT_EQ(archive.Units(), std::vector<std::string>{Unit().Key()});

    std::vector<uint8_t> bytes;
    ASSERT_EQ(
        platform::ReadWholeFile(dir.Path(Unit().Key() + "/history.tsv"), bytes, 1 << 20, nullptr),
        platform::FileReadStatus::Ok);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("time\tunit\t", 0), 0u); // one header line
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_FALSE(CUnitArchive::ParseHistoryLine("too\tfew").has_value());
    EXPECT_FALSE(
        CUnitArchive::ParseHistoryLine(CUnitArchive::FormatHistoryLine(a) + "\textra").has_value());
}

TEST(DiffParameterTexts, ListsTheKeysThatDifferInRowOrder) {
    const CEngineParameterFile::Texts before = SomeTexts(10);
    CEngineParameterFile::Texts after = before;
    after[3].second = "x";
    after[0].second = "y";
    after.back().second = "9"; // telemetry protocol, one of the three extra keys
    const auto diff = DiffParameterTexts(before, after);
    ASSERT_EQ(diff.size(), 3u);
    EXPECT_EQ(diff[0].key, before[0].first);
    EXPECT_EQ(diff[0].textId, CEngineParameterFile::Rows()[0].textId);
    EXPECT_EQ(diff[0].before, "10");
    EXPECT_EQ(diff[0].after, "y");
    EXPECT_EQ(diff[1].textId, CEngineParameterFile::Rows()[3].textId);
    EXPECT_EQ(diff[2].key, CEngineParameterFile::kKeyTelemetryProtocol);
    EXPECT_EQ(diff[2].textId, 0);
    EXPECT_TRUE(DiffParameterTexts(before, before).empty());
    after.pop_back(); // a key that is gone differs too
    EXPECT_EQ(DiffParameterTexts(before, after).back().after, "");
}

} // namespace
