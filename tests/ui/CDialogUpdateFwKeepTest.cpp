// The firmware dialog keeps the parameters across an update: the backup
// before the transfer, the question listing what the new firmware changed,
// the restore on OK, and the unit's history, against the simulated unit.

#include "EcuWindowRig.h"
#include "Fakes.h"
#include "support/TempFolder.h"
#include "ui/dialogs/CDialogUpdateFw.h"
#include "update/CUnitArchive.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr const char* kUnit = "ecu-123-5455524245582d53494d0100";

// A unit whose finished update resets its parameters (when reset is set) and
// brings version 1.3.0; its maximum EGT tuned to 950 (the default is 900).
struct KeepRig {
    explicit KeepRig(bool reset)
        : archive(folder.Path("data") + "/turbex/units") {
        ::setenv("XDG_DATA_HOME", folder.Path("data").c_str(), 1);
        rig = std::make_unique<EcuWindowRig>(
            sim::SimEcuConfig{}, /*withPages=*/true, [reset](sim::SimEcuSystem& s) {
                s.unit.bootLoader.config.eraseDurationMs = 20;
                s.updateEffect.resetParameters = reset;
                s.updateEffect.newVersion = true;
                s.updateEffect.major = 1;
                s.updateEffect.minor = 3;
                s.updateEffect.patch = 0;
                s.ecu.Store().Parameters().maxEgt = 950;
                s.ecu.ApplyParametersToModel();
            });
        dialog = rig->window->findChild<CDialogUpdateFw*>();
        EXPECT_NE(dialog, nullptr);
        const QString path = QString::fromStdString(folder.Path("new firmware.bin"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, '\x5A'));
        services.openPath = path;
    }
    ~KeepRig() {
        rig.reset();
        ::unsetenv("XDG_DATA_HOME");
    }
    int MaxEgt() {
        int v = 0;
        rig->system.bus.WithLock([&] { v = rig->system.ecu.Store().Parameters().maxEgt; });
        return v;
    }
    bool Said(const QString& part) const {
        for (const auto& box : services.boxes) {
            if (box.text.contains(part)) {
                return true;
            }
        }
        return false;
    }
    // Opens the dialog, picks the file, upgrades, and closes the dialog once
    // until holds.
    void Upgrade(const std::function<bool()>& until) {
        services.modal = [&](QDialog& d) {
            d.show();
            dialog->Control<QPushButton>(CDialogUpdateFw::kOpenFile)->click();
            dialog->Control<QPushButton>(CDialogUpdateFw::kUpgrade)->click();
            EXPECT_TRUE(QTest::qWaitFor(until, 30000));
            d.hide();
            return QDialog::Rejected;
        };
        rig->window->OnUpdate();
    }

    TempFolder folder;
    ScriptedUiServices services;
    std::unique_ptr<EcuWindowRig> rig;
    CDialogUpdateFw* dialog = nullptr;
    CUnitArchive archive;
};

bool Online(EcuWindowRig& rig) {
    return QTest::qWaitFor([&] { return rig.ecu->isReady() != 0 && rig.ecu->getText(13) == "950"; },
                           10000);
}

TEST(CDialogUpdateFwKeep, AResetIsListedAndRestoredOnOk) {
    KeepRig k(/*reset=*/true);
    ASSERT_TRUE(Online(*k.rig));
    EXPECT_TRUE(k.dialog->Control<QCheckBox>(CDialogUpdateFw::kKeep)->isChecked());
    k.services.boxAnswer = IUiServices::kIdOk;
    k.Upgrade([&] { return k.Said(QStringLiteral("参数已恢复")); });

    ASSERT_GE(k.services.boxes.size(), 3u);
    EXPECT_EQ(k.services.boxes[0].text, QStringLiteral("升级成功"));
    const auto& question = k.services.boxes[1];
    EXPECT_TRUE(question.text.contains(QStringLiteral("保护--最高温度：950 → 900")))
        << question.text.toStdString();
    EXPECT_EQ(question.type & IUiServices::kOkCancel, IUiServices::kOkCancel);
    EXPECT_EQ(k.MaxEgt(), 950);

    const auto history = k.archive.ReadHistory(kUnit);
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].result, "success");
    EXPECT_EQ(history[0].restored, "yes");
    EXPECT_EQ(history[0].versionBefore, "1.2.3");
    EXPECT_EQ(history[0].versionAfter, "1.3.0");
    EXPECT_EQ(history[0].image, "new firmware.bin");
    EXPECT_EQ(history[0].imageSize, 8192u);
    EXPECT_EQ(history[0].backup, k.dialog->BackupPath());
    EXPECT_TRUE(question.text.contains(QString::fromStdString(history[0].backup)));
    EXPECT_FALSE(k.archive.GetPending(kUnit).has_value());
    // The backup holds the values from before the update.
    CEngineParameterFile::Texts backup;
    ASSERT_TRUE(CUnitArchive::ReadBackup(history[0].backup, backup, nullptr));
    EXPECT_EQ(backup[7].second, "950"); // row 8: maximum EGT
}

TEST(CDialogUpdateFwKeep, CancelLeavesTheNewValuesAndSaysSoInTheHistory) {
    KeepRig k(/*reset=*/true);
    ASSERT_TRUE(Online(*k.rig));
    k.services.boxAnswer = IUiServices::kIdCancel;
    k.Upgrade([&] { return k.archive.ReadHistory(kUnit).size() == 1; });
    EXPECT_TRUE(k.Said(QStringLiteral("恢复备份的参数吗")));
    EXPECT_FALSE(k.Said(QStringLiteral("参数已恢复")));
    EXPECT_EQ(k.MaxEgt(), 900);
    EXPECT_EQ(k.archive.ReadHistory(kUnit)[0].restored, "no");
}

TEST(CDialogUpdateFwKeep, AnUpdateThatKeepsThemAsksNothing) {
    KeepRig k(/*reset=*/false);
    ASSERT_TRUE(Online(*k.rig));
    k.Upgrade([&] { return k.archive.ReadHistory(kUnit).size() == 1; });
    ASSERT_EQ(k.services.boxes.size(), 1u);
    EXPECT_EQ(k.services.boxes[0].text, QStringLiteral("升级成功"));
    EXPECT_EQ(k.archive.ReadHistory(kUnit)[0].restored, "not needed");
    EXPECT_EQ(k.MaxEgt(), 950);
}

TEST(CDialogUpdateFwKeep, UncheckedItOnlyTransfers) {
    KeepRig k(/*reset=*/true);
    ASSERT_TRUE(Online(*k.rig));
    k.dialog->Control<QCheckBox>(CDialogUpdateFw::kKeep)->setChecked(false);
    k.Upgrade([&] { return !k.services.boxes.empty(); });
    // Give a parameter read the time to arrive: nothing is asked.
    QTest::qWait(500);
    ASSERT_EQ(k.services.boxes.size(), 1u);
    EXPECT_EQ(k.services.boxes[0].text, QStringLiteral("升级成功"));
    EXPECT_TRUE(k.archive.Units().empty());
}

} // namespace
