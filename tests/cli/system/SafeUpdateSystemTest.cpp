// turbexctl flash keeps the unit's parameters safe across an update: a backup
// before, the comparison after, the restore with --restore, the finish of an
// update that left the unit in its boot loader, and the history.

#include "CtlHarness.h"
#include "cli/MiniJson.h"
#include "foundation/Sha256.h"
#include "platform/FileIo.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

namespace {

// Every flash of this test binary writes its unit archive into a folder of
// its own, never into the user's data folder.
class ArchiveFolder : public ::testing::Environment {
public:
    void SetUp() override {
        m_folder = std::make_unique<TempFolder>();
        ::setenv("XDG_DATA_HOME", m_folder->Path().c_str(), 1);
    }
    void TearDown() override { m_folder.reset(); }

private:
    std::unique_ptr<TempFolder> m_folder;
};
[[maybe_unused]] ::testing::Environment* const g_archive =
    ::testing::AddGlobalTestEnvironment(new ArchiveFolder);

constexpr const char* kUnit = "ecu-123-5455524245582d53494d0100";

std::string WriteImage(const TempFolder& dir, size_t bytes, uint32_t seed) {
    std::vector<uint8_t> image(bytes);
    std::mt19937 random(seed);
    for (uint8_t& b : image) {
        b = static_cast<uint8_t>(random());
    }
    const std::string path = dir.Path("firmware.bin");
    EXPECT_TRUE(platform::ReplaceFileContents(path, image, nullptr));
    return path;
}

std::string ImageSha(const std::string& path) {
    std::vector<uint8_t> bytes;
    EXPECT_EQ(platform::ReadWholeFile(path, bytes, 1 << 24, nullptr), platform::FileReadStatus::Ok);
    return Sha256::Hex(Sha256::Of(bytes));
}

std::vector<std::string> HistoryLines() {
    std::vector<uint8_t> bytes;
    const std::string path =
        std::string(std::getenv("XDG_DATA_HOME")) + "/turbex/units/" + kUnit + "/history.tsv";
    if (platform::ReadWholeFile(path, bytes, 1 << 20, nullptr) != platform::FileReadStatus::Ok) {
        return {};
    }
    std::vector<std::string> lines;
    std::string line;
    for (uint8_t b : bytes) {
        if (b == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(b);
        }
    }
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == '\t') {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// A unit whose finished updates bring version 1.3.0 and, when reset is set,
// the parameters the unit had when it was made; two parameters tuned away
// from those.
struct UpdatingUnit {
    explicit UpdatingUnit(bool blockProtocol, bool reset) {
        h.system.unit.bootLoader.config.blockProtocol = blockProtocol;
        h.system.unit.bootLoader.config.eraseDurationMs = 20;
        h.system.updateEffect.resetParameters = reset;
        h.system.updateEffect.newVersion = true;
        h.system.updateEffect.major = 1;
        h.system.updateEffect.minor = 3;
        h.system.updateEffect.patch = 0;
        h.Locked([&] {
            auto& p = h.system.ecu.Store().Parameters();
            p.maxEgt = 950;      // default 900
            p.coolingRpm = 7000; // default 5000
            h.system.ecu.ApplyParametersToModel();
        });
    }
    int MaxEgt() {
        int v = 0;
        h.Locked([&] { v = h.system.ecu.Store().Parameters().maxEgt; });
        return v;
    }
    int CoolingRpm() {
        int v = 0;
        h.Locked([&] { v = h.system.ecu.Store().Parameters().coolingRpm; });
        return v;
    }
    SimEcuHarness h;
};

std::string ProtocolName(const ::testing::TestParamInfo<bool>& p) {
    return p.param ? "block" : "classic";
}

class SafeUpdate : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set"; }
    TempFolder dir;
};

TEST_P(SafeUpdate, AResetIsListedThenRestoredAndConfirmed) {
    UpdatingUnit u(GetParam(), /*reset=*/true);
    ASSERT_TRUE(u.h.Start());
    const std::string image = WriteImage(dir, 48 * 1024, 7);
    const size_t linesBefore = HistoryLines().size();

    // Without --restore: the differences and the command that restores them.
    CtlResult r = RunCtl(u.h.Args({"flash", image}), 120000);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("max-egt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("950 -> 900"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("restore them with: turbexctl params load "), std::string::npos) << r.out;
    EXPECT_EQ(u.MaxEgt(), 900); // the update reset it, nothing restored it

    // The printed command restores them.
    const size_t at = r.out.find("params load ") + 12;
    const std::string backup = r.out.substr(at, r.out.find('\n', at) - at);
    EXPECT_NE(backup.find(std::string("/turbex/units/") + kUnit + "/params-"), std::string::npos);
    CtlResult load = RunCtl(u.h.Args({"params", "load", backup}));
    ASSERT_EQ(load.exitCode, 0) << load.err;
    EXPECT_EQ(u.MaxEgt(), 950);
    EXPECT_EQ(u.CoolingRpm(), 7000);

    // With --restore the tool does it itself and confirms it.
    r = RunCtl(u.h.Args({"flash", image, "--restore", "--json"}), 120000);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = MiniJson::Parse(r.out);
    ASSERT_TRUE(doc.has_value()) << r.out;
    EXPECT_EQ(doc->at("restored")->text, "yes");
    EXPECT_EQ(doc->at("version_before")->text, "1.3.0");
    EXPECT_EQ(doc->at("version_after")->text, "1.3.0");
    ASSERT_EQ(doc->at("differences")->items.size(), 2u) << r.out;
    EXPECT_EQ(doc->at("differences")->items[0].at("name")->text, "max-egt");
    EXPECT_EQ(doc->at("differences")->items[0].at("before")->text, "950");
    EXPECT_EQ(doc->at("differences")->items[0].at("after")->text, "900");
    EXPECT_EQ(u.MaxEgt(), 950);
    EXPECT_EQ(u.CoolingRpm(), 7000);

    const auto lines = HistoryLines();
    ASSERT_EQ(lines.size(), linesBefore + 2 + (linesBefore == 0 ? 1 : 0));
    const auto last = Fields(lines.back());
    ASSERT_EQ(last.size(), 11u);
    EXPECT_EQ(last[1], kUnit);
    EXPECT_EQ(last[4], "firmware.bin");
    EXPECT_EQ(last[5], std::to_string(48 * 1024));
    EXPECT_EQ(last[6], ImageSha(image));
    EXPECT_EQ(last[7], GetParam() ? "block" : "classic");
    EXPECT_EQ(last[8], "success");
    EXPECT_EQ(last[10], "yes");
    EXPECT_EQ(Fields(lines[lines.size() - 2])[10], "no");
    EXPECT_EQ(Fields(lines[lines.size() - 2])[2], "1.2.3");
    EXPECT_EQ(Fields(lines[lines.size() - 2])[3], "1.3.0");
}

TEST_P(SafeUpdate, AnUpdateThatKeepsTheParametersReportsNoDifference) {
    UpdatingUnit u(GetParam(), /*reset=*/false);
    ASSERT_TRUE(u.h.Start());
    const std::string image = WriteImage(dir, 16 * 1024, 3);
    const CtlResult r = RunCtl(u.h.Args({"flash", image, "--json"}), 120000);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = MiniJson::Parse(r.out);
    ASSERT_TRUE(doc.has_value()) << r.out;
    EXPECT_TRUE(doc->at("compared")->b);
    EXPECT_TRUE(doc->at("differences")->items.empty());
    EXPECT_EQ(doc->at("restored")->text, "not needed");
    EXPECT_EQ(doc->at("sha256")->text, ImageSha(image));
    EXPECT_EQ(u.MaxEgt(), 950);
}

TEST_P(SafeUpdate, ALinkLostMidTransferIsFinishedByTheSameCommandFromTheFirstBackup) {
    UpdatingUnit u(GetParam(), /*reset=*/true);
    ASSERT_TRUE(u.h.Start());
    const std::string image = WriteImage(dir, 256 * 1024, 11);
    const size_t linesBefore = HistoryLines().size();

    // Once a quarter of the image has arrived, the bridge goes away until
    // this attempt has given up.
    std::atomic<bool> done{false};
    std::thread dropper([&] {
        while (!done.load()) {
            size_t received = 0;
            u.h.Locked([&] { received = u.h.system.unit.bootLoader.Image().size(); });
            if (received > 64 * 1024) {
                u.h.bridge.faults.acceptAndClose = -1;
                u.h.bridge.DropConnection();
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        while (!done.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        u.h.bridge.faults.acceptAndClose = 0;
    });
    const CtlResult failed = RunCtl(u.h.Args({"flash", image, "--restore"}), 120000);
    done = true;
    dropper.join();
    ASSERT_EQ(failed.exitCode, 4) << failed.err;
    EXPECT_NE(failed.err.find("the same command"), std::string::npos) << failed.err;
    bool inBootLoader = false;
    u.h.Locked([&] { inBootLoader = u.h.system.unit.status.identity.bootLoader; });
    ASSERT_TRUE(inBootLoader);

    const CtlResult finished = RunCtl(u.h.Args({"flash", image, "--restore", "--json"}), 120000);
    ASSERT_EQ(finished.exitCode, 0) << finished.err;
    EXPECT_NE(finished.err.find("waits in its boot loader"), std::string::npos) << finished.err;
    const auto doc = MiniJson::Parse(finished.out);
    ASSERT_TRUE(doc.has_value()) << finished.out;
    EXPECT_EQ(doc->at("restored")->text, "yes");
    EXPECT_EQ(doc->at("version_before")->text, "1.2.3"); // from before the failed attempt
    EXPECT_EQ(u.MaxEgt(), 950);
    EXPECT_EQ(u.CoolingRpm(), 7000);

    const auto lines = HistoryLines();
    ASSERT_EQ(lines.size(), linesBefore + 2 + (linesBefore == 0 ? 1 : 0));
    const auto first = Fields(lines[lines.size() - 2]);
    const auto second = Fields(lines.back());
    EXPECT_EQ(first[8], "failed");
    EXPECT_EQ(second[8], "success");
    EXPECT_FALSE(first[9].empty());
    EXPECT_EQ(second[9], first[9]); // the backup taken before the failed attempt
    EXPECT_EQ(doc->at("backup")->text, first[9]);

    // history prints both attempts, as text and as JSON.
    const CtlResult history = RunCtl({"history", kUnit, "--json"});
    ASSERT_EQ(history.exitCode, 0) << history.err;
    const auto h = MiniJson::Parse(history.out);
    ASSERT_TRUE(h.has_value()) << history.out;
    ASSERT_GE(h->at("updates")->items.size(), 2u);
    EXPECT_EQ(h->at("updates")->items.back().at("sha256")->text, ImageSha(image));
    EXPECT_EQ(RunCtl({"history", "ecu-000-nothing"}).exitCode, 5);
}

INSTANTIATE_TEST_SUITE_P(BothBootProtocols,
                         SafeUpdate,
                         ::testing::Values(true, false),
                         ProtocolName);

TEST(SafeUpdateOptions, NoBackupWritesNothingAndRestoreNeedsABackup) {
    ASSERT_FALSE(CtlPath().empty()) << "TURBEXCTL is not set";
    TempFolder dir;
    UpdatingUnit u(true, true);
    ASSERT_TRUE(u.h.Start());
    const std::string image = WriteImage(dir, 4096, 5);
    const size_t linesBefore = HistoryLines().size();
    const CtlResult r = RunCtl(u.h.Args({"flash", image, "--no-backup"}), 120000);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "firmware updated: 4096 bytes from " + image + "\n");
    EXPECT_EQ(HistoryLines().size(), linesBefore);
    const CtlResult both = RunCtl(u.h.Args({"flash", image, "--no-backup", "--restore"}));
    EXPECT_EQ(both.exitCode, 2) << both.err;
    EXPECT_EQ(RunCtl(u.h.Args({"status", "--restore"})).exitCode, 2);
}

} // namespace
