// The firmware update dialog in the main window, against the simulated boot
// loader of both transfer protocols: the image the unit received, progress,
// the result boxes, the repeat until failure, and the kept path.

#include "ui/dialogs/CDialogUpdateFw.h"
#include "Fakes.h"
#include "SimRig.h"
#include "app/CTurbexDlg.h"
#include "support/NoPorts.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    }
    return bytes;
}

// Answers the file dialog and remembers what it was asked for.
class FirmwareServices : public ScriptedUiServices {
public:
    std::vector<FileDialogSpec> openSpecs;
    QString GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) override {
        openSpecs.push_back(spec);
        return ScriptedUiServices::GetOpenFileName(parent, spec);
    }
};

// A main window whose firmware dialog is the real one, on the simulated unit.
struct FirmwareRig {
    explicit FirmwareRig(bool blockProtocol) {
        sim.unit.bootLoader.config.blockProtocol = blockProtocol;
        sim.Start();
        CTurbexDlg::Setup setup;
        CDeviceBase::Options options;
        options.socketPort = sim.bridge.GetPort();
        options.hidPort = &dongles;
        options.serialPorts = &noSerial;
        setup.device = std::make_unique<CDeviceBase>(options);
        setup.ecu = std::make_unique<FakeEcuView>();
        setup.factories.firmware = [this](QWidget* parent, CDeviceBase& device) {
            auto made = std::make_unique<CDialogUpdateFw>(device, parent);
            dialog = made.get();
            return made;
        };
        window = std::make_unique<CTurbexDlg>(std::move(setup));
        EXPECT_NE(dialog, nullptr);
        EXPECT_TRUE(dir.isValid());
    }
    ~FirmwareRig() { window.reset(); }

    QString WriteFile(const std::vector<uint8_t>& bytes) {
        const QString path = dir.filePath(QStringLiteral("turbine fw.bin"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }
    bool WaitOnline() {
        return QTest::qWaitFor([&] { return window->Device().IsOnline() != 0; }, 10000);
    }
    void Click(int32_t id) { dialog->Control<QPushButton>(id)->click(); }
    template <typename Fn>
    void OnUnit(Fn&& fn) {
        sim.bus.WithLock(fn);
    }

    FirmwareServices services;
    SimRig sim;
    sim::HidDongleSet dongles;
    NoSerialPorts noSerial;
    QTemporaryDir dir;
    CDialogUpdateFw* dialog = nullptr;
    std::unique_ptr<CTurbexDlg> window;
};

std::vector<QString> BoxTexts(const ScriptedUiServices& services) {
    std::vector<QString> texts;
    for (const auto& box : services.boxes) {
        texts.push_back(box.text);
    }
    return texts;
}

} // namespace

TEST(CDialogUpdateFw, BlockProtocolSendsTheFileWithProgressAndSaysItSucceeded) {
    FirmwareRig rig(/*blockProtocol=*/true);
    ASSERT_TRUE(rig.WaitOnline());
    const std::vector<uint8_t> image = Pattern(1000); // 16 blocks of 31 bytes a batch
    rig.services.openPath = rig.WriteFile(image);
    std::vector<int> bar;
    rig.services.modal = [&](QDialog& dialog) {
        dialog.show();
        QObject::connect(rig.dialog->Control<QProgressBar>(CDialogUpdateFw::kProgress),
                         &QProgressBar::valueChanged,
                         [&](int value) { bar.push_back(value); });
        rig.Click(CDialogUpdateFw::kOpenFile);
        rig.Click(CDialogUpdateFw::kUpgrade);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !rig.services.boxes.empty(); }, 20000));
        dialog.hide();
        return QDialog::Rejected;
    };
    rig.window->OnUpdate();

    EXPECT_EQ(rig.services.modals, 1);
    EXPECT_EQ(BoxTexts(rig.services), std::vector<QString>{QStringLiteral("升级成功")});
    EXPECT_EQ(rig.dialog->SuccessCount(), 1);
    EXPECT_EQ(rig.dialog->GetDlgItemText(CDialogUpdateFw::kCounter), QStringLiteral("1"));
    // 496, 992, then 1000 bytes: the last batch reports 102, shown full; the
    // end brings the bar back to 0.
    EXPECT_EQ(bar, (std::vector<int>{49, 99, 100, 0}));
    rig.OnUnit([&] { EXPECT_EQ(rig.sim.unit.bootLoader.Image(), image); });
    ASSERT_EQ(rig.services.openSpecs.size(), 1u);
    EXPECT_EQ(rig.services.openSpecs[0].filter, "firmware (*.bin)|*.bin||");
    EXPECT_EQ(rig.services.openSpecs[0].defaultExtension, QStringLiteral("bin"));
    EXPECT_TRUE(rig.services.openSpecs[0].fileName.isEmpty());
}

TEST(CDialogUpdateFw, RepeatingUntilAFailureCountsTheSuccessesAndSaysFailedOnce) {
    FirmwareRig rig(/*blockProtocol=*/false);
    rig.OnUnit([&] { rig.sim.unit.bootLoader.config.refuseEraseFrom = 4; });
    ASSERT_TRUE(rig.WaitOnline());
    const std::vector<uint8_t> image = Pattern(1000); // 31 blocks of 32 and a filled one
    rig.services.openPath = rig.WriteFile(image);
    // Started, then the dialog is closed: the events still reach it.
    rig.services.modal = [&](QDialog&) {
        rig.Click(CDialogUpdateFw::kOpenFile);
        rig.dialog->Control<QCheckBox>(CDialogUpdateFw::kRepeat)->setChecked(true);
        rig.Click(CDialogUpdateFw::kUpgrade);
        return QDialog::Rejected;
    };
    rig.window->OnUpdate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.services.boxes.empty(); }, 30000));
    QTest::qWait(300); // nothing follows the failure
    EXPECT_EQ(BoxTexts(rig.services), std::vector<QString>{QStringLiteral("升级失败")});
    EXPECT_EQ(rig.services.boxes[0].type & 0x0F, IUiServices::kOk);
    EXPECT_EQ(rig.dialog->SuccessCount(), 3);
    EXPECT_EQ(rig.dialog->GetDlgItemText(CDialogUpdateFw::kCounter), QStringLiteral("3"));
    rig.OnUnit([&] {
        EXPECT_EQ(rig.sim.unit.bootLoader.Erases(), 3);
        // The third image, as the unit holds it: the file, then the fill of
        // the last classic block.
        const std::vector<uint8_t>& held = rig.sim.unit.bootLoader.Image();
        ASSERT_EQ(held.size(), 1024u);
        EXPECT_TRUE(std::equal(image.begin(), image.end(), held.begin()));
        EXPECT_TRUE(
            std::all_of(held.begin() + 1000, held.end(), [](uint8_t b) { return b == 0xFF; }));
    });
}

TEST(CDialogUpdateFw, KeepsItsPathAndDoesNothingWithoutAFile) {
    FirmwareRig rig(/*blockProtocol=*/true);
    ASSERT_TRUE(rig.WaitOnline());
    // " 升级" before any file was chosen.
    rig.services.modal = [&](QDialog&) {
        rig.Click(CDialogUpdateFw::kUpgrade);
        return QDialog::Rejected;
    };
    rig.window->OnUpdate();
    QTest::qWait(400); // a transfer would have entered the boot loader by now
    EXPECT_TRUE(rig.services.boxes.empty());
    EXPECT_EQ(rig.window->Device().IsTransferRunning(), 0);
    rig.OnUnit([&] {
        EXPECT_FALSE(rig.sim.unit.status.identity.bootLoader);
        EXPECT_EQ(rig.sim.unit.bootLoader.Erases(), 0);
    });

    // A file chosen once is shown again at the next opening; cancelling the
    // file dialog keeps it. An empty file starts nothing.
    rig.services.openPath = rig.WriteFile({});
    rig.services.modal = [&](QDialog&) {
        rig.Click(CDialogUpdateFw::kOpenFile);
        rig.Click(CDialogUpdateFw::kUpgrade);
        return QDialog::Rejected;
    };
    rig.window->OnUpdate();
    const QString chosen = rig.services.openPath;
    QString shown;
    rig.services.openPath.clear();
    rig.services.modal = [&](QDialog&) {
        shown = rig.dialog->GetDlgItemText(CDialogUpdateFw::kPath);
        rig.Click(CDialogUpdateFw::kOpenFile); // cancelled
        return QDialog::Rejected;
    };
    rig.window->OnUpdate();
    EXPECT_EQ(shown, chosen);
    EXPECT_EQ(rig.dialog->ImagePath(), chosen);
    QTest::qWait(300);
    EXPECT_TRUE(rig.services.boxes.empty());
    rig.OnUnit([&] { EXPECT_FALSE(rig.sim.unit.status.identity.bootLoader); });
}

TEST(CDialogUpdateFw, ProgressAboveAHundredShowsAFullBarAndNothingWhileClosed) {
    FirmwareRig rig(/*blockProtocol=*/true);
    auto* bar = rig.dialog->Control<QProgressBar>(CDialogUpdateFw::kProgress);
    rig.dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(rig.dialog));
    // Through the main window, as the device's events arrive.
    for (const auto& [percent, shown] :
         std::vector<std::pair<int, int>>{{40, 40}, {130, 100}, {0, 0}, {-5, 0}}) {
        (void)rig.window->Device().Notify(CDeviceBase::kEventTransferProgress, percent);
        EXPECT_TRUE(QTest::qWaitFor([&] { return bar->value() == shown; }, 2000)) << percent;
        EXPECT_EQ(bar->maximum(), 100);
    }
    rig.dialog->ShowProgress(60);
    rig.dialog->hide();
    rig.dialog->ShowProgress(80);
    EXPECT_EQ(bar->value(), 60);
}
