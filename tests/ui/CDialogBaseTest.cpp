#include "ui/CDialogBase.h"
#include "device/CDeviceBase.h"
#include "foundation/CTextTable.h"
#include "ui/CWindowMessage.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace {

class RecordingDialog : public CDialogBase {
public:
    struct Message {
        uint32_t message;
        int32_t w, l;
        bool onUiThread;
    };
    std::vector<Message> messages;
    std::vector<std::pair<int32_t, int32_t>> deviceEvents;
    std::vector<uint32_t> timers;
    std::function<void(uint32_t)> onTimer;

protected:
    void OnMessage(uint32_t message, int32_t w, int32_t l) override {
        messages.push_back({message, w, l, QThread::currentThread() == thread()});
        CDialogBase::OnMessage(message, w, l);
    }
    void OnDeviceEvent(int32_t event, int32_t value) override {
        deviceEvents.emplace_back(event, value);
    }
    void OnTimer(uint32_t id) override {
        timers.push_back(id);
        if (onTimer) {
            onTimer(id);
        }
    }
};

TEST(CDialogBase, CaptionsFromTheTextTableSkipMissingControls) {
    RecordingDialog dialog;
    auto* button = new QPushButton(&dialog);
    auto* label = new QLabel(&dialog);
    auto* group = new QGroupBox(&dialog);
    auto* edit = new QLineEdit(&dialog);
    dialog.RegisterControl(1021, button);
    dialog.RegisterControl(1150, label);
    dialog.RegisterControl(1172, group);
    dialog.RegisterControl(1044, edit);
    CTextTable table;
    table.SetLanguage(CTextTable::kEnglish);
    const CTextTable::ControlText pairs[] = {
        {1021, 46}, {9999, 47}, {1150, 60}, {1172, 82}, {1044, 12}};
    table.SetControlTexts(&dialog, pairs);
    EXPECT_EQ(button->text(), "Set Param");
    EXPECT_EQ(label->text(), "State:");
    EXPECT_EQ(group->title(), "Starter");
    EXPECT_EQ(edit->text(), "Running");
    EXPECT_EQ(dialog.GetDlgItemText(1172), "Starter");
    EXPECT_EQ(dialog.GetDlgItem(9999), nullptr);
    EXPECT_FALSE(dialog.SetControlText(9999, "x"));
    table.SetLanguage(CTextTable::kChinese);
    table.SetControlTexts(&dialog, pairs);
    EXPECT_EQ(button->text(), "设置参数");
    // A control destroyed elsewhere is gone, not dangling.
    delete label;
    EXPECT_EQ(dialog.GetDlgItem(1150), nullptr);
    EXPECT_FALSE(dialog.SetControlText(1150, "x"));
}

TEST(CDialogBase, MessagesPostedFromManyThreadsArriveOnTheUiThreadInOrder) {
    RecordingDialog dialog;
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) {
                EXPECT_TRUE(dialog.PostMessage(0x0402, t, i));
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_TRUE(dialog.messages.empty()); // nothing runs on the posting threads
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.messages.size() == kThreads * kEach; }));
    std::vector<int> next(kThreads, 0);
    for (const auto& m : dialog.messages) {
        EXPECT_TRUE(m.onUiThread);
        EXPECT_EQ(m.message, 0x0402u);
        EXPECT_EQ(m.l, next[static_cast<size_t>(m.w)]++) << "thread " << m.w;
    }
    EXPECT_TRUE(dialog.deviceEvents.empty()); // only 0x0401 is a device event
}

TEST(CDialogBase, DeviceEventsArriveAsMessage0x0401) {
    RecordingDialog dialog;
    CDeviceBase device;
    device.SetEventHandler(&CEventPoster::DeviceCallback, dialog.Poster());
    std::thread raiser([&] {
        EXPECT_EQ(device.Notify(301, 0), 1);
        EXPECT_EQ(device.Notify(5, 40), 1);
    });
    raiser.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.deviceEvents.size() == 2; }));
    EXPECT_EQ(dialog.messages[0].message, CWindowMessage::kDeviceEvent);
    EXPECT_EQ(dialog.deviceEvents[0], std::make_pair(301, 0));
    EXPECT_EQ(dialog.deviceEvents[1], std::make_pair(5, 40));
    device.SetEventHandler(nullptr, nullptr);
}

TEST(CDialogBase, ClosedPosterPostsNothing) {
    RecordingDialog dialog;
    CEventPoster* poster = dialog.Poster();
    poster->Close();
    EXPECT_FALSE(dialog.PostMessage(0x0401, 1, 1));
    EXPECT_EQ(CEventPoster::DeviceCallback(1, 1, poster), 0);
    EXPECT_EQ(CEventPoster::DeviceCallback(1, 1, nullptr), 0);
    QTest::qWait(10);
    EXPECT_TRUE(dialog.messages.empty());
}

TEST(CDialogBase, PendingMessagesOfADestroyedDialogAreDropped) {
    auto* dialog = new RecordingDialog;
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(dialog->PostMessage(0x0401, 301, i));
    }
    delete dialog;
    QTest::qWait(5); // nothing is delivered to the freed dialog
}

TEST(CDialogBase, WindowTimersByIdRestartAndStop) {
    RecordingDialog dialog;
    dialog.SetTimer(7, 5);
    dialog.SetTimer(7, 5); // restarted, not doubled
    dialog.SetTimer(9, 5);
    EXPECT_TRUE(dialog.HasTimer(7));
    ASSERT_TRUE(QTest::qWaitFor([&] {
        return std::count(dialog.timers.begin(), dialog.timers.end(), 7u) >= 3 &&
               std::count(dialog.timers.begin(), dialog.timers.end(), 9u) >= 3;
    }));
    dialog.KillTimer(7);
    dialog.KillTimer(9);
    dialog.KillTimer(42); // unknown: nothing
    EXPECT_FALSE(dialog.HasTimer(7));
    const size_t fired = dialog.timers.size();
    QTest::qWait(30);
    EXPECT_EQ(dialog.timers.size(), fired);
}

TEST(CDialogBase, DialogUnitsFollowTheFont) {
    RecordingDialog dialog;
    QFont small = dialog.font();
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(20);
    const DialogUnits a = CDialogBase::UnitsForFont(small);
    const DialogUnits b = CDialogBase::UnitsForFont(large);
    EXPECT_GT(b.BaseX(), a.BaseX());
    EXPECT_GT(b.BaseY(), a.BaseY());
    EXPECT_EQ(a.BaseY(), QFontMetrics(small).height());
    dialog.setFont(large);
    const QRect r = dialog.DluRect(4, 8, 40, 16);
    EXPECT_EQ(r.left(), b.BaseX());
    EXPECT_EQ(r.top(), b.BaseY());
    EXPECT_NEAR(r.width(), 10 * b.BaseX(), 1);
    EXPECT_NEAR(r.height(), 2 * b.BaseY(), 1);
}

} // namespace
