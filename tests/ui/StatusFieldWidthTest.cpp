// Every status field of the main window holds the widest text it can show,
// in both languages, with each font the tool is set up for: a text wider than
// its field scrolls, and its first letters are lost ("Jnsupport").

#include "MainWindowRig.h"
#include "ui/model/StatusFormat.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

// Where the edit draws its cursor, in its own coordinates.
int CursorLeft(const QLineEdit& edit) {
    return edit.inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
}

// Whether the edit scrolls text to show its end: it is drawn with the cursor
// at the end (as setText leaves it), then the cursor goes to the start
// without a repaint, so the cursor's place shows how far the drawing had
// scrolled the text.
bool Scrolls(QLineEdit& edit, const QString& text) {
    edit.setText(QString());
    (void)edit.grab();
    const int start = CursorLeft(edit);
    edit.setText(text);
    (void)edit.grab();
    edit.setCursorPosition(0);
    const bool scrolled = CursorLeft(edit) < start;
    edit.setText(QString());
    return scrolled;
}

// The texts each value control can show: the status panel's formatting of
// live states that span every text and the widest numbers the two ECU
// generations decode, in both languages.
std::map<int32_t, std::set<std::string>> EveryStatusText() {
    std::vector<EcuLiveView> views;
    EcuLiveView wide;
    wide.cpu_load = 255;
    wide.cpu_temperature = -59;
    wide.rc_voltage = 51.1f;
    wide.battery_voltage = 51.1f;
    wide.current = -32.768f;
    wide.air_pressure = 163830;
    wide.altitude = -2000;
    wide.record_storage = 255 * 512;
    wide.alternator_present = true;
    wide.alternator_voltage = 204.7f;
    wide.rc_throttle_input = 4095;
    wide.rc_switch_input = 4095;
    wide.ignition_pump_rpm = 51100;
    wide.ignition_pump_temperature = -60;
    wide.main_pump_rpm = 262140;
    wide.main_pump_temperature = -128;
    wide.fuel_temperature = -60;
    wide.fuel_pressure = -0.5f;
    wide.combustion_pressure = 2.046f;
    wide.tcu_version = {255, 255, 255};
    wide.tcu_voltage = 5110;
    wide.tcu_temperature = -128;
    wide.starter_rpm = 327670;
    wide.starter_temperature = -128;
    for (int32_t state = 0; state <= 20; ++state) {
        for (bool fitted : {false, true}) {
            for (bool answering : {false, true}) {
                EcuLiveView v = wide;
                v.display_state = state;
                v.starter_fitted = v.tcu_fitted = fitted;
                v.starter_answering = v.tcu_answering = answering;
                v.starter_state = v.main_pump_state = static_cast<uint8_t>(state % 4);
                v.main_pump_ecu_kind = static_cast<uint8_t>(state % 4);
                v.main_pump_tcu_kind = static_cast<uint8_t>((state / 4) % 4);
                v.ignition_pump_state = static_cast<uint8_t>(state % 6);
                views.push_back(v);
            }
        }
    }
    views.back().current = 102.3f; // the item generation's widest current
    std::map<int32_t, std::set<std::string>> texts;
    for (int32_t language : {CTextTable::kChinese, CTextTable::kEnglish}) {
        for (const EcuLiveView& v : views) {
            for (const StatusValue& value : StatusFormat::LiveValues(&v, language)) {
                texts[value.controlId].insert(value.text);
            }
        }
    }
    // The identity and the learned throttle points (parameter texts in µs).
    texts[StatusFormat::kVersion] = {StatusFormat::Version(false, 30, 255, 255),
                                     StatusFormat::Version(true, 255, 255, 0)};
    texts[StatusFormat::kLinkRate] = {"9999"};
    for (int32_t id :
         {StatusFormat::kThrottleMax, StatusFormat::kThrottleIdle, StatusFormat::kThrottleMin}) {
        texts[id] = {"2500"};
    }
    return texts;
}

struct Overflow {
    int32_t controlId;
    std::string text;
    int width;
    int room;
};

std::vector<Overflow> Overflows(CTurbexDlg& window,
                                const std::map<int32_t, std::set<std::string>>& texts) {
    std::vector<Overflow> out;
    for (const auto& [id, shown] : texts) {
        auto* edit = window.Control<QLineEdit>(id);
        if (edit == nullptr) {
            ADD_FAILURE() << "no value control " << id;
            continue;
        }
        const QFontMetrics metrics(edit->font());
        for (const std::string& text : shown) {
            const QString q = QString::fromStdString(text);
            if (Scrolls(*edit, q)) {
                out.push_back({id, text, metrics.horizontalAdvance(q), edit->width()});
            }
        }
    }
    return out;
}

class StatusFieldWidth : public ::testing::TestWithParam<const char*> {};

TEST_P(StatusFieldWidth, NoFieldScrollsItsWidestText) {
    const QFont saved = QApplication::font();
    QFont font = saved;
    if (*GetParam() != '\0') {
        ASSERT_TRUE(QFontDatabase::families().contains(GetParam()))
            << GetParam() << " is missing (scripts/setup.sh installs it)";
        font.setFamily(GetParam());
    }
    QApplication::setFont(font);
    const auto texts = EveryStatusText();
    for (uint16_t langId : {uint16_t{0x0409}, uint16_t{0x0804}}) {
        MainWindowRig rig(SimRig::DeadPort(), langId);
        for (const Overflow& o : Overflows(rig.w(), texts)) {
            ADD_FAILURE() << "control " << o.controlId << " scrolls \"" << o.text << "\" ("
                          << o.width << " px of text in a field of " << o.room << " px, "
                          << rig.w().font().family().toStdString() << ")";
        }
        // The labels beside the fields keep their whole captions too.
        for (const auto& pair : CTurbexDlg::CaptionList()) {
            const auto* label = rig.w().Control<QLabel>(pair.controlId);
            if (label != nullptr) {
                EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()),
                          label->contentsRect().width())
                    << pair.controlId << " " << label->text().toStdString();
            }
        }
    }
    QApplication::setFont(saved);
}

// The platform's default font, and the two the set-up installs: Liberation
// Sans (Arial's metrics) and the Chinese font.
INSTANTIATE_TEST_SUITE_P(Fonts,
                         StatusFieldWidth,
                         ::testing::Values("", "Liberation Sans", "WenQuanYi Micro Hei"));

TEST(StatusFieldWidth, TheMeasureSeesATextThatScrolls) {
    MainWindowRig rig(SimRig::DeadPort(), 0x0409);
    auto* edit = rig.w().Control<QLineEdit>(StatusFormat::kIgnPumpState);
    ASSERT_NE(edit, nullptr);
    EXPECT_FALSE(Scrolls(*edit, "1"));
    EXPECT_TRUE(Scrolls(*edit, QString(40, QChar('W'))));
    const auto overflows =
        Overflows(rig.w(), {{StatusFormat::kIgnPumpState, {"1", std::string(40, 'W')}}});
    ASSERT_EQ(overflows.size(), 1u);
    EXPECT_EQ(overflows[0].text, std::string(40, 'W'));
}

} // namespace
