// Saves pictures of the main window online, in English and in Chinese, under
// the build folder (TURBEX_SCREENSHOT_DIR), for a person to look at.

#include "MainWindowRig.h"

#include <QDir>
#include <QPixmap>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

EcuLiveView Engine() {
    EcuLiveView v;
    v.display_state = 11;
    v.cpu_load = 23;
    v.engine_state = 5;
    v.cpu_temperature = 41;
    v.rc_voltage = 5.1f;
    v.battery_voltage = 11.8f;
    v.current = 2.35f;
    v.air_pressure = 95400;
    v.altitude = 512;
    v.record_storage = 1024;
    v.rc_throttle_input = 1500;
    v.rc_switch_input = 1100;
    v.alternator_present = true;
    v.alternator_voltage = 13.9f;
    v.ignition_pump_state = 4;
    v.ignition_pump_rpm = 12300;
    v.ignition_pump_temperature = 38;
    v.main_pump_ecu_kind = 1;
    v.main_pump_state = 2;
    v.main_pump_rpm = 22500;
    v.main_pump_temperature = 44;
    v.fuel_temperature = 19;
    v.fuel_pressure = 0.25f;
    v.combustion_pressure = 0.082f;
    v.tcu_fitted = v.tcu_answering = true;
    v.tcu_version = {1, 4, 17};
    v.tcu_voltage = 120;
    v.tcu_temperature = 35;
    v.starter_fitted = v.starter_answering = true;
    v.starter_state = 2;
    v.starter_rpm = 30000;
    v.starter_temperature = 40;
    return v;
}

TEST(Screenshot, MainWindowOnlineInEnglishAndChinese) {
    const char* dir = std::getenv("TURBEX_SCREENSHOT_DIR");
    if (dir == nullptr || *dir == '\0') {
        GTEST_SKIP() << "TURBEX_SCREENSHOT_DIR is not set";
    }
    ASSERT_TRUE(QDir().mkpath(QString::fromUtf8(dir)));
    SimRig sim;
    sim.Start();
    for (uint16_t langId : {uint16_t{0x0409}, uint16_t{0x0804}}) {
        MainWindowRig rig(sim.bridge.GetPort(), langId, /*withPages=*/false);
        rig.w().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.w()));
        ASSERT_TRUE(rig.WaitOnline());
        rig.ecu->live = Engine();
        rig.ecu->texts = {{1, "1950"}, {2, "1050"}, {3, "1200"}};
        rig.Notify(301);
        rig.Notify(302);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return rig.Text(1025) == "1950" && rig.Text(1023) == "23"; }));
        const QString path =
            QDir(QString::fromUtf8(dir))
                .filePath(langId == 0x0804 ? "turbex_main_zh.png" : "turbex_main_en.png");
        const QPixmap picture = rig.w().grab();
        ASSERT_FALSE(picture.isNull());
        ASSERT_TRUE(picture.save(path, "PNG")) << path.toStdString();
        std::printf("screenshot: %s\n", path.toUtf8().constData());
        sim.bridge.DropConnection(); // the next window connects afresh
    }
}

} // namespace
