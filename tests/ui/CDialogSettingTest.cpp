// The settings dialog on the real ECU protocol object against the simulated
// ECU of both generations over the socket link, opened from the main
// window's "Set Param": what it shows, what it sends, the lists, the
// parameter file, and closing when the unit goes offline.

#include "SettingsRig.h"
#include "engine/CEngineParameterFile.h"
#include "engine/EcuTextId.h"
#include "platform/CodePage.h"
#include "platform/ProfileFile.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

namespace Id = EcuTextId;
using Rows = CEngineParameterFile;

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "i14_" + std::to_string(getpid()) + "_" + name;
}

class SettingsDialogOnTheSimulatedEcu : public ::testing::TestWithParam<bool> {
protected:
    bool Block() const { return GetParam(); }
    sim::SimEcuConfig Config() const { return GenerationConfig(Block()); }
};

std::string GenerationName(const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "block" : "item";
}

// A text id that is supported but 0 in a blank-when-zero row.
int BlankRowFor(bool block) {
    return block ? Id::StarterStopCoefficient : Id::FuelRampStage1Rpm;
}

} // namespace

TEST_P(SettingsDialogOnTheSimulatedEcu, ShowsWhatTheEcuHoldsInEveryControlAndEnablesWhatItTakes) {
    SettingsRig rig(Config(), [&](sim::EcuParameters& p) {
        ASSERT_TRUE(sim::SetParameterByTextId(p, BlankRowFor(Block()), 0));
        p.maxEgt = 930;
        p.lostSignalDelay = 1.7;
        p.standbyBeep = false;
        p.maxCurrentIndexOffered = 5;
        p.pumpMaxCurrentIndex = 3;
    });
    ASSERT_TRUE(rig.WaitRead());
    rig.Run([&](CDialogSetting& d) {
        // The current-limit list ends at the highest index the ECU offers.
        const CComboBoxInt* current = ComboOf(d, Id::PumpMaxCurrentIndex);
        EXPECT_EQ(Entries(current),
                  (std::vector<std::string>{"Invalid", "1.0A", "1.5A", "2.0A", "2.5A", "3.0A"}));
        EXPECT_EQ(current->currentText().toStdString(), "2.0A");

        // Values of the simulated ECU, independent of the formatting code.
        EXPECT_EQ(EditOf(d, Id::MaxEgt)->text().toStdString(), "930");
        EXPECT_EQ(EditOf(d, Id::LostSignalDelay)->text().toStdString(), "1.7");
        EXPECT_FALSE(CheckOf(d, Id::StandbyBeep)->isChecked());
        EXPECT_EQ(EditOf(d, BlankRowFor(Block()))->text().toStdString(), "");
        EXPECT_EQ(d.GetDlgItemText(CDialogSetting::kEngineName).toStdString(),
                  rig.Values().engineName);

        // Every row shows what getText gives, as the row's control shows it.
        int unsupported = 0;
        for (const auto& row : Rows::Rows()) {
            CEcuParameters::Text t;
            ASSERT_EQ(rig.ecu->getText(row.textId, t), 1) << row.textId;
            QWidget* control = d.GetDlgItem(CDialogSetting::RowControlId(row.textId));
            ASSERT_NE(control, nullptr) << row.textId;
            EXPECT_FALSE(control->isEnabled()) << "view mode, text id " << row.textId;
            if (auto* edit = qobject_cast<QLineEdit*>(control)) {
                const bool blank = !t.supported || (row.blankWhenZero != 0 && t.value == 0);
                EXPECT_EQ(edit->text().toStdString(), blank ? "" : t.text) << row.textId;
            } else if (auto* check = qobject_cast<QCheckBox*>(control)) {
                EXPECT_EQ(check->isChecked(), t.value != 0) << row.textId;
            } else if (auto* combo = qobject_cast<CComboBoxInt*>(control)) {
                if (t.supported) {
                    EXPECT_EQ(combo->GetCurSel(), t.value) << row.textId;
                }
            }
            // What the simulated ECU lacks is unsupported in the dialog too.
            if (!rig.Supported(row.textId) && row.textId != Id::CoolingAfterFlameout) {
                EXPECT_FALSE(t.supported) << row.textId;
                if (auto* edit = qobject_cast<QLineEdit*>(control)) {
                    EXPECT_TRUE(edit->text().isEmpty()) << row.textId;
                }
                ++unsupported;
            }
        }
        // The block generation lacks the CAN group, the valve selections,
        // the staged fuel ramp, high altitude, oxygen start and more; the
        // item generation "Linear RPM".
        EXPECT_GT(unsupported, Block() ? 15 : 0);

        // Edit mode enables exactly the supported rows that are not a blank 0.
        rig.Press(d, CDialogSetting::kIdChange, false);
        EXPECT_EQ(d.EditMode(), 1);
        EXPECT_EQ(d.GetDlgItemText(CDialogSetting::kIdChange).toStdString(), "Save Setting");
        EXPECT_EQ(d.GetDlgItemText(CDialogSetting::kIdCancel).toStdString(), "Cancel Setting");
        EXPECT_FALSE(d.IsControlEnabled(CDialogSetting::kIdLoadFile));
        EXPECT_FALSE(d.IsControlEnabled(CDialogSetting::kIdSaveFile));
        for (const auto& row : Rows::Rows()) {
            CEcuParameters::Text t;
            ASSERT_EQ(rig.ecu->getText(row.textId, t), 1);
            const bool expected = t.supported && !(row.blankWhenZero != 0 && t.value == 0) &&
                                  row.textId != Id::LinearRpm;
            if (row.textId == Id::LinearRpm) {
                continue; // follows "Rotation Speed Control", tested below
            }
            EXPECT_EQ(d.IsControlEnabled(CDialogSetting::RowControlId(row.textId)), expected)
                << row.textId;
        }
        EXPECT_FALSE(d.IsControlEnabled(CDialogSetting::RowControlId(Id::CoolingAfterFlameout)));
        EXPECT_FALSE(d.IsControlEnabled(CDialogSetting::RowControlId(BlankRowFor(Block()))));
        EXPECT_TRUE(d.IsControlEnabled(CDialogSetting::RowControlId(Id::MaxEgt)));
        // The name is taken by the block generation only.
        EXPECT_EQ(d.IsControlEnabled(CDialogSetting::kEngineName), Block());
    });
}

TEST_P(SettingsDialogOnTheSimulatedEcu, SaveSettingSendsExactlyTheEdits) {
    SettingsRig rig(Config());
    ASSERT_TRUE(rig.WaitRead());
    const EcuValues before = rig.Values();
    rig.Run([&](CDialogSetting& d) {
        rig.Press(d, CDialogSetting::kIdChange, false);
        EditOf(d, Id::MaxEgt)->setText("950");
        EditOf(d, Id::LostSignalDelay)->setText("1.5");
        Pick(ComboOf(d, Id::BusThrottleChannel), 5);
        Pick(ComboOf(d, Id::PumpMaxCurrentIndex), 12);
        CheckOf(d, Id::StandbyBeep)->setChecked(false);
        Pick(d.Control<CComboBoxInt>(CDialogSetting::kTemperatureUnit), 1);
        Pick(d.Control<CComboBoxInt>(CDialogSetting::kPumpType), 2); // "BS Pump"
        if (Block()) {
            // Fifteen characters of two bytes: 30 bytes for the ECU's 28.
            d.Control<QLineEdit>(CDialogSetting::kEngineName)
                ->setText(QString::fromUtf8("涡喷发动机涡喷发动机涡喷发动机"));
        } else {
            Pick(d.Control<CComboBoxInt>(CDialogSetting::kTelemetryProtocol), 4); // "GSX"
        }
        rig.Press(d, CDialogSetting::kIdChange);
        EXPECT_EQ(d.EditMode(), 0);
        EXPECT_TRUE(rig.services.boxes.empty());
        // The read-back is what was entered.
        EXPECT_EQ(EditOf(d, Id::MaxEgt)->text().toStdString(), "950");
        EXPECT_EQ(ComboOf(d, Id::PumpMaxCurrentIndex)->currentText().toStdString(), "7.0A");
    });
    const EcuValues after = rig.Values();
    EXPECT_EQ(Changed(before, after),
              (std::set<int>{Id::LostSignalDelay,
                             Id::BusThrottleChannel,
                             Id::MaxEgt,
                             Id::PumpMaxCurrentIndex,
                             Id::StandbyBeep}));
    EXPECT_EQ(after.byId.at(Id::MaxEgt), 950);
    EXPECT_NEAR(after.byId.at(Id::LostSignalDelay), 1.5, 1e-9);
    EXPECT_EQ(after.byId.at(Id::BusThrottleChannel), 5);
    EXPECT_EQ(after.byId.at(Id::PumpMaxCurrentIndex), 12);
    EXPECT_EQ(after.byId.at(Id::StandbyBeep), 0);
    EXPECT_EQ(after.temperatureUnit, 1);
    EXPECT_EQ(after.pumpMode, 2);
    EXPECT_EQ(after.telemetryProtocol, Block() ? before.telemetryProtocol : 4);
    // Cut on a character boundary.
    EXPECT_EQ(after.engineName,
              Block() ? platform::Utf8ToGbk("涡喷发动机涡喷发动机涡喷发动") : before.engineName);
}

TEST_P(SettingsDialogOnTheSimulatedEcu, SavingWithoutEditsChangesNothingEvenWithoutAPumpTypeMask) {
    // A pump-type mask of 0 shows "DC Pump", which does not tell the pump
    // mode; the block generation reports no protocol mask at all.
    SettingsRig rig(Config(), [](sim::EcuParameters& p) {
        p.supportedPumpTypes = 0;
        p.pumpMode = 1;
    });
    ASSERT_TRUE(rig.WaitRead());
    const EcuValues before = rig.Values();
    rig.Run([&](CDialogSetting& d) {
        auto* pump = d.Control<CComboBoxInt>(CDialogSetting::kPumpType);
        EXPECT_EQ(Entries(pump), std::vector<std::string>{"DC Pump"});
        rig.Press(d, CDialogSetting::kIdChange, false);
        EXPECT_FALSE(pump->isEnabled()) << "disabled even in edit mode";
        EXPECT_EQ(pump->currentText().toStdString(), "DC Pump");
        rig.Press(d, CDialogSetting::kIdChange);
    });
    const EcuValues after = rig.Values();
    EXPECT_EQ(Changed(before, after), std::set<int>{});
    EXPECT_EQ(after.pumpMode, 1);
    EXPECT_EQ(after.telemetryProtocol, before.telemetryProtocol);
    EXPECT_EQ(after.temperatureUnit, before.temperatureUnit);
    EXPECT_EQ(after.engineName, before.engineName);
}

TEST(SettingsDialog, ListsThatCannotShowTheEcuValueSendNothingUntilTheUserPicks) {
    // Values outside what the lists offer: a protocol beyond the mask, a
    // pump mode of a type not offered, a current index above the highest.
    SettingsRig rig(GenerationConfig(false), [](sim::EcuParameters& p) {
        p.supportedTelemetryProtocols = 0x01; // "Other" alone
        p.telemetryProtocol = 3;              // "AMT"
        p.supportedPumpTypes = 0x04;          // "BS Pump" alone
        p.pumpMode = 1;
        p.maxCurrentIndexOffered = 5;
        p.pumpMaxCurrentIndex = 9;
    });
    ASSERT_TRUE(rig.WaitRead());
    const EcuValues before = rig.Values();
    rig.Run([&](CDialogSetting& d) {
        CComboBoxInt* current = ComboOf(d, Id::PumpMaxCurrentIndex);
        EXPECT_EQ(current->GetCurSel(), -1) << "no entry stands for index 9";
        EXPECT_EQ(d.Control<CComboBoxInt>(CDialogSetting::kPumpType)->currentText().toStdString(),
                  "BS Pump");
        rig.Press(d, CDialogSetting::kIdChange, false);
        rig.Press(d, CDialogSetting::kIdChange);
        EXPECT_TRUE(rig.services.boxes.empty());
    });
    EcuValues after = rig.Values();
    EXPECT_EQ(Changed(before, after), std::set<int>{});
    EXPECT_EQ(after.pumpMode, 1);
    EXPECT_EQ(after.telemetryProtocol, 3);

    // What the user picks is sent.
    rig.Run([&](CDialogSetting& d) {
        rig.Press(d, CDialogSetting::kIdChange, false);
        Pick(ComboOf(d, Id::PumpMaxCurrentIndex), 4);
        Pick(d.Control<CComboBoxInt>(CDialogSetting::kTelemetryProtocol), 1);
        rig.Press(d, CDialogSetting::kIdChange);
    });
    after = rig.Values();
    EXPECT_EQ(Changed(before, after), std::set<int>{Id::PumpMaxCurrentIndex});
    EXPECT_EQ(after.byId.at(Id::PumpMaxCurrentIndex), 4);
    EXPECT_EQ(after.telemetryProtocol, 1);
    EXPECT_EQ(after.pumpMode, 1);
}

TEST_P(SettingsDialogOnTheSimulatedEcu, CancelSettingShowsTheEcuValuesAgain) {
    SettingsRig rig(Config());
    ASSERT_TRUE(rig.WaitRead());
    const EcuValues before = rig.Values();
    rig.Run([&](CDialogSetting& d) {
        rig.Press(d, CDialogSetting::kIdChange, false);
        EditOf(d, Id::MaxEgt)->setText("1000");
        CheckOf(d, Id::StandbyBeep)->setChecked(false);
        Pick(ComboOf(d, Id::BusSwitchChannel), 9);
        rig.Press(d, CDialogSetting::kIdCancel);
        EXPECT_EQ(d.EditMode(), 0);
        EXPECT_EQ(d.GetDlgItemText(CDialogSetting::kIdCancel).toStdString(), "Exit");
        EXPECT_EQ(EditOf(d, Id::MaxEgt)->text().toStdString(), "900");
        EXPECT_TRUE(CheckOf(d, Id::StandbyBeep)->isChecked());
        EXPECT_EQ(ComboOf(d, Id::BusSwitchChannel)->GetCurSel(), 4);
        EXPECT_TRUE(d.IsOpen());
        // Exit in view mode closes the dialog.
        d.Control<QPushButton>(CDialogSetting::kIdCancel)->click();
        EXPECT_FALSE(d.isVisible());
    });
    EXPECT_EQ(Changed(before, rig.Values()), std::set<int>{});
    ASSERT_NE(rig.settingsDialog, nullptr);
    EXPECT_FALSE(rig.settingsDialog->IsOpen());
}

TEST_P(SettingsDialogOnTheSimulatedEcu, TheConfirmationGuardsRotationSpeedControl) {
    SettingsRig rig(Config());
    ASSERT_TRUE(rig.WaitRead());
    rig.Run([&](CDialogSetting& d) {
        rig.Press(d, CDialogSetting::kIdChange, false);
        QCheckBox* rpm = CheckOf(d, Id::RpmControl);
        ASSERT_FALSE(rpm->isChecked());
        EXPECT_FALSE(d.IsControlEnabled(CDialogSetting::RowControlId(Id::LinearRpm)));

        rig.services.boxAnswer = IUiServices::kIdCancel;
        rpm->click();
        ASSERT_EQ(rig.services.boxes.size(), 1u);
        EXPECT_EQ(rig.services.boxes[0].text.toStdString(), CDialogSetting::kConfirmChange);
        EXPECT_EQ(rig.services.boxes[0].type & 0x0F, IUiServices::kOkCancel);
        EXPECT_FALSE(rpm->isChecked()) << "Cancel leaves it as it was";

        rig.services.boxAnswer = IUiServices::kIdOk;
        rpm->click();
        EXPECT_TRUE(rpm->isChecked());
        // "Linear RPM" exists in the block generation only.
        EXPECT_EQ(d.IsControlEnabled(CDialogSetting::RowControlId(Id::LinearRpm)), Block());
        rig.Press(d, CDialogSetting::kIdChange);
        EXPECT_TRUE(CheckOf(d, Id::RpmControl)->isChecked()) << "read back from the ECU";
    });
    EXPECT_EQ(rig.Values().byId.at(Id::RpmControl), 1);
}

TEST_P(SettingsDialogOnTheSimulatedEcu,
       SaveParamToFileThenLoadIntoAFreshEcuReproducesEveryParameter) {
    const std::string path = TempPath(std::string(Block() ? "block" : "item") + "_engine_cfg.txt");
    std::remove(path.c_str());
    EcuValues want;
    {
        SettingsRig a(Config(), [](sim::EcuParameters& p) {
            ASSERT_TRUE(sim::SetParameterByTextId(p, Id::TelemetryBaudIndex, 6));
            ASSERT_TRUE(sim::SetParameterByTextId(p, Id::TelemetryStopBitsIndex, 2));
            p.maxEgt = 980;
            p.lostSignalDelay = 1.5;
            p.coolingRpm = 6000;
            p.runMaxRpm = 140000;
            p.pumpMaxCurrentIndex = 7;
            p.standbyBeep = false;
            p.reduceCoolingTime = true;
            p.busSwitchChannel = 11;
            p.temperatureUnit = 1;
            p.pumpMode = 2;
            p.telemetryProtocol = 4;
        });
        ASSERT_TRUE(a.WaitRead());
        a.services.savePath = QString::fromStdString(path);
        a.Run([&](CDialogSetting& d) {
            d.Control<QPushButton>(CDialogSetting::kIdSaveFile)->click();
        });
        EXPECT_TRUE(a.services.boxes.empty());
        want = a.Values();
    }
    // The file holds the 1-based list entries.
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "遥控器--回传波特率", "", path), "7");
    EXPECT_EQ(platform::ReadProfileKey("ENGINE", "遥控器--回传停止位", "", path), "3");

    SettingsRig b(Config());
    ASSERT_TRUE(b.WaitRead());
    ASSERT_NE(b.Values().byId.at(Id::TelemetryBaudIndex), 6);
    b.Run([&](CDialogSetting& d) {
        // A name that does not exist is refused: no default is sent.
        b.services.openPath = QString::fromStdString(path + ".missing");
        b.system.bus.WithLock([&] { b.system.ecu.ClearLog(); });
        d.Control<QPushButton>(CDialogSetting::kIdLoadFile)->click();
        ASSERT_EQ(b.services.boxes.size(), 1u);
        EXPECT_TRUE(b.services.boxes[0].text.contains("does not exist"));
        size_t parameterWrites = 1;
        b.system.bus.WithLock([&] { parameterWrites = b.system.ecu.Log().To(2).size(); });
        EXPECT_EQ(parameterWrites, 0u);
        b.services.boxes.clear();

        // Loading sends at once; the values come back with the next read.
        b.services.openPath = QString::fromStdString(path);
        b.Press(d, CDialogSetting::kIdLoadFile);
        EXPECT_EQ(EditOf(d, Id::MaxEgt)->text().toStdString(), "980");
        EXPECT_EQ(ComboOf(d, Id::TelemetryBaudIndex)->currentText().toStdString(), "115200");
        EXPECT_EQ(ComboOf(d, Id::TelemetryStopBitsIndex)->currentText().toStdString(), "2");
    });
    EXPECT_TRUE(b.services.boxes.empty());
    const EcuValues got = b.Values();
    int compared = 0;
    for (const auto& row : Rows::Rows()) {
        if (!b.Supported(row.textId) || row.textId == Id::CoolingAfterFlameout ||
            row.textId == Id::CanAddress) {
            continue; // not in this ECU; 76 is never offered; the CAN address is not read back
        }
        EXPECT_NEAR(got.byId.at(row.textId), want.byId.at(row.textId), 1e-6)
            << row.key << " (text id " << row.textId << ")";
        ++compared;
    }
    EXPECT_GT(compared, 40);
    EXPECT_EQ(got.byId.at(Id::TelemetryBaudIndex), 6);
    EXPECT_EQ(got.byId.at(Id::TelemetryStopBitsIndex), 2);
    EXPECT_EQ(got.temperatureUnit, 1);
    EXPECT_EQ(got.pumpMode, 2);
    EXPECT_EQ(got.telemetryProtocol, 4);
    std::remove(path.c_str());
}

TEST_P(SettingsDialogOnTheSimulatedEcu,
       TheAltitudeTableOpensAtItsFirstRowAndGoingOfflineClosesBoth) {
    SettingsRig rig(Config());
    ASSERT_TRUE(rig.WaitRead());
    bool tableShown = false;
    QStringList lines;
    int caret = -1;
    bool tableTakesInput = true;
    QString title = QStringLiteral("?");
    rig.altpressBody = [&](CDialogAltpress& table) {
        tableShown = table.isVisible();
        // A reference table without a title: read-only and disabled.
        tableTakesInput = table.Table()->isEnabled() || !table.Table()->isReadOnly();
        title = table.windowTitle();
        // Scrolled away and opened again, it starts at its first row.
        QScrollBar* bar = table.Table()->verticalScrollBar();
        bar->setValue(bar->maximum());
        table.OnInitDialog();
        EXPECT_EQ(bar->value(), 0);
        caret = table.Table()->textCursor().position();
        lines = table.Table()->toPlainText().split('\n', Qt::SkipEmptyParts);
        rig.bridge.Stop(); // the unit goes away while both are open
        EXPECT_TRUE(QTest::qWaitFor([&] { return !table.isVisible(); }, 10000));
    };
    rig.Run([&](CDialogSetting& d) {
        d.Control<QPushButton>(CDialogSetting::kIdAltitude)->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !d.isVisible(); }, 10000));
    });
    EXPECT_TRUE(tableShown);
    EXPECT_FALSE(tableTakesInput);
    EXPECT_TRUE(title.isEmpty()) << title.toStdString();
    ASSERT_NE(rig.settingsDialog, nullptr);
    EXPECT_FALSE(rig.settingsDialog->IsOpen());
    // Values arriving later are not shown in a closed dialog.
    const uint32_t shown = rig.settingsDialog->ValuesShown();
    rig.settingsDialog->ShowValues();
    EXPECT_EQ(rig.settingsDialog->ValuesShown(), shown);

    // The table: 31 rows from "101.3kPa    0m", each the pressure with one
    // decimal, "kPa", four blanks and the altitude in steps of 500 m.
    ASSERT_EQ(lines.size(), CDialogAltpress::kRows);
    EXPECT_EQ(lines.front().toStdString(), "101.3kPa    0m");
    EXPECT_EQ(caret, 0);
    const QRegularExpression row(QStringLiteral("^(\\d+\\.\\d)kPa {4}(\\d+)m$"));
    double last = 1000;
    for (int i = 0; i < lines.size(); ++i) {
        const auto m = row.match(lines[i]);
        ASSERT_TRUE(m.hasMatch()) << lines[i].toStdString();
        EXPECT_EQ(m.captured(2).toInt(), 500 * i);
        EXPECT_LT(m.captured(1).toDouble(), last) << "the pressure falls with height";
        last = m.captured(1).toDouble();
    }
    // Spot rows of the fixed reference values.
    for (const auto& [index, expected] : {std::pair{3, "84.5kPa    1500m"},
                                          std::pair{10, "54.0kPa    5000m"},
                                          std::pair{16, "35.5kPa    8000m"},
                                          std::pair{20, "26.4kPa    10000m"},
                                          std::pair{30, "11.5kPa    15000m"}}) {
        EXPECT_EQ(lines[index].toStdString(), expected);
    }
    const std::string& text = CDialogAltpress::TableText();
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

INSTANTIATE_TEST_SUITE_P(BothGenerations,
                         SettingsDialogOnTheSimulatedEcu,
                         ::testing::Values(false, true),
                         GenerationName);

// --- one generation ------------------------------------------------------------

TEST(SettingsDialog, BaudListFollowsTheTelemetryProtocol) {
    // The item generation reports the protocols it offers (CAN among them).
    SettingsRig rig(GenerationConfig(false), [](sim::EcuParameters& p) {
        p.telemetryProtocol = 1; // "Other"
        ASSERT_TRUE(sim::SetParameterByTextId(p, Id::TelemetryBaudIndex, 3));
    });
    ASSERT_TRUE(rig.WaitRead());
    rig.Run([&](CDialogSetting& d) {
        CComboBoxInt* baud = ComboOf(d, Id::TelemetryBaudIndex);
        auto* protocol = d.Control<CComboBoxInt>(CDialogSetting::kTelemetryProtocol);
        const int32_t stopBits = CDialogSetting::RowControlId(Id::TelemetryStopBitsIndex);
        ASSERT_EQ(baud->count(), 12);
        EXPECT_EQ(baud->currentText().toStdString(), "19200");
        EXPECT_EQ(d.BaudListState(), CDialogSetting::kBaudSerial);
        EXPECT_FALSE(d.IsControlEnabled(stopBits)) << "view mode";
        rig.Press(d, CDialogSetting::kIdChange, false);

        Pick(protocol, SettingLists::kCanProtocol);
        EXPECT_EQ(d.BaudListState(), CDialogSetting::kBaudCan);
        EXPECT_EQ(Entries(baud).front(), "50 kbps");
        EXPECT_EQ(Entries(baud).back(), "1000 kbps");
        EXPECT_EQ(baud->count(), 12);
        EXPECT_FALSE(d.IsControlShown(stopBits));
        EXPECT_FALSE(d.IsControlEnabled(CDialogSetting::RowControlId(Id::BusThrottleChannel)));

        Pick(protocol, 1); // "Other"
        EXPECT_EQ(d.BaudListState(), CDialogSetting::kBaudSerial);
        EXPECT_EQ(Entries(baud).front(), "2400");
        EXPECT_EQ(baud->count(), 12);
        EXPECT_EQ(baud->currentText().toStdString(), "19200") << "the ECU's entry again";
        EXPECT_TRUE(d.IsControlShown(stopBits));
        EXPECT_TRUE(d.IsControlEnabled(stopBits));
        EXPECT_TRUE(d.IsControlEnabled(CDialogSetting::RowControlId(Id::BusThrottleChannel)));

        // Another serial protocol leaves the list and the user's choice alone.
        Pick(baud, 7);
        Pick(protocol, 2); // "ZK"
        EXPECT_EQ(baud->currentText().toStdString(), "128000");
        EXPECT_EQ(Entries(baud).front(), "2400");
        EXPECT_FALSE(d.IsControlEnabled(CDialogSetting::RowControlId(Id::BusThrottleChannel)));

        // Cancel Setting: the ECU's protocol and its serial rates come back.
        Pick(protocol, SettingLists::kCanProtocol);
        rig.Press(d, CDialogSetting::kIdCancel);
        EXPECT_EQ(protocol->currentText().toStdString(), "Other");
        EXPECT_EQ(d.BaudListState(), CDialogSetting::kBaudSerial);
        EXPECT_EQ(baud->currentText().toStdString(), "19200");
        EXPECT_TRUE(d.IsControlShown(stopBits));
    });
}

TEST(SettingsDialog, AFailedCommitIsReportedAndKeepsTheEdits) {
    SettingsRig rig(GenerationConfig(true));
    ASSERT_TRUE(rig.WaitRead());
    rig.Run([&](CDialogSetting& d) {
        rig.Press(d, CDialogSetting::kIdChange, false);
        EditOf(d, Id::MaxEgt)->setText("950");
        rig.bridge.faults.noWriteAck = -1;
        d.Control<QPushButton>(CDialogSetting::kIdChange)->click();
        rig.bridge.faults.noWriteAck = 0;
        ASSERT_EQ(rig.services.boxes.size(), 1u);
        EXPECT_EQ(d.EditMode(), 1) << "nothing is taken as saved";
        EXPECT_EQ(EditOf(d, Id::MaxEgt)->text().toStdString(), "950");
        // Once the link writes again, saving again succeeds.
        rig.Press(d, CDialogSetting::kIdChange);
        EXPECT_EQ(d.EditMode(), 0);
    });
    EXPECT_EQ(rig.Values().byId.at(Id::MaxEgt), 950);
}

namespace {

// The visible widgets of the form that show text or take input.
std::vector<QWidget*> Leaves(QWidget* form) {
    std::vector<QWidget*> out;
    for (QWidget* w : form->findChildren<QWidget*>()) {
        const bool leaf =
            qobject_cast<QLabel*>(w) != nullptr || qobject_cast<QAbstractButton*>(w) != nullptr ||
            qobject_cast<QLineEdit*>(w) != nullptr || qobject_cast<QComboBox*>(w) != nullptr;
        // A combo box's own line edit and a button inside another widget are
        // parts of it.
        if (leaf && w->isVisibleTo(form) &&
            qobject_cast<QComboBox*>(w->parentWidget()) == nullptr) {
            out.push_back(w);
        }
    }
    return out;
}

QRect InForm(QWidget* w, QWidget* form) {
    return QRect(w->mapTo(form, QPoint(0, 0)), w->size());
}

std::string Name(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return "label \"" + label->text().toStdString() + "\"";
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        return "button \"" + button->text().toStdString() + "\"";
    }
    return w->metaObject()->className();
}

} // namespace

TEST(SettingsDialog, EveryCaptionIsReadableAndNothingOverlapsInBothLanguages) {
    for (uint16_t langId : {uint16_t{0x0409}, uint16_t{0x0804}}) {
        SCOPED_TRACE(langId == 0x0409 ? "English" : "Chinese");
        SettingsRig rig(GenerationConfig(false), {}, langId);
        ASSERT_TRUE(rig.WaitRead());
        rig.Run([&](CDialogSetting& d) {
            QWidget* form = d.Form();
            const std::vector<QWidget*> leaves = Leaves(form);
            ASSERT_GT(leaves.size(), 150u);
            for (size_t i = 0; i < leaves.size(); ++i) {
                QWidget* w = leaves[i];
                const QRect r = InForm(w, form);
                EXPECT_TRUE(form->rect().contains(r)) << Name(w) << " leaves the form";
                // Captions at full width: nothing cut off.
                if (qobject_cast<QLabel*>(w) != nullptr ||
                    qobject_cast<QAbstractButton*>(w) != nullptr ||
                    qobject_cast<QComboBox*>(w) != nullptr) {
                    EXPECT_GE(w->width(), w->sizeHint().width()) << Name(w) << " is clipped";
                    EXPECT_GE(w->height(), w->minimumSizeHint().height()) << Name(w);
                }
                if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                    EXPECT_LE(edit->fontMetrics().horizontalAdvance(edit->text()),
                              edit->contentsRect().width() - 4)
                        << "value " << edit->text().toStdString() << " is clipped";
                }
                for (size_t j = i + 1; j < leaves.size(); ++j) {
                    EXPECT_FALSE(r.intersects(InForm(leaves[j], form)))
                        << Name(w) << " overlaps " << Name(leaves[j]);
                }
            }
            // Every edit and list is named by a label beside it.
            for (QWidget* w : leaves) {
                if (qobject_cast<QLineEdit*>(w) == nullptr &&
                    qobject_cast<QComboBox*>(w) == nullptr) {
                    continue;
                }
                const QLabel* buddyOf = nullptr;
                for (QLabel* label : form->findChildren<QLabel*>()) {
                    if (label->buddy() == w) {
                        buddyOf = label;
                        break;
                    }
                }
                ASSERT_NE(buddyOf, nullptr) << Name(w) << " has no label";
                EXPECT_FALSE(buddyOf->text().isEmpty());
                const QRect l = InForm(const_cast<QLabel*>(buddyOf), form);
                const QRect c = InForm(w, form);
                EXPECT_LT(std::abs(l.center().y() - c.center().y()), c.height())
                    << buddyOf->text().toStdString() << " is not beside its control";
                EXPECT_LT(l.right(), c.left());
            }
        });
    }
}
