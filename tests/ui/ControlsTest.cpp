#include "ui/CComboBoxInt.h"
#include "ui/dialogs/CColorEdit.h"
#include "ui/dialogs/CColorFlag.h"
#include "ui/dialogs/CDialogPassword.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return false;
    }
};

QColor PixelAt(QWidget& w, QPoint p) {
    return w.grab().toImage().pixelColor(p);
}

TEST(CColorFlag, RedAtConstructionThenTheColourSet) {
    CColorFlag flag;
    flag.resize(20, 12);
    flag.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&flag));
    EXPECT_EQ(flag.GetColor(), QColor(255, 0, 0));
    EXPECT_EQ(PixelAt(flag, {10, 6}), QColor(255, 0, 0));
    EXPECT_EQ(PixelAt(flag, {0, 0}), QColor(255, 0, 0)); // the whole rectangle
    flag.SetColor(QColor(0, 255, 0));
    EXPECT_EQ(PixelAt(flag, {19, 11}), QColor(0, 255, 0));
}

TEST(CColorEdit, AlarmColoursBackgroundAndFrame) {
    CColorEdit edit;
    edit.resize(80, 22);
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    EXPECT_EQ(edit.GetAlarm(), 0);
    EXPECT_EQ(edit.BackgroundColor(), QApplication::palette().color(QPalette::Button));
    edit.SetTextAndAlarm("999", 1);
    EXPECT_EQ(edit.text(), "999");
    EXPECT_EQ(edit.GetAlarm(), 1);
    EXPECT_EQ(edit.BackgroundColor(), QColor(255, 200, 200));
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(PixelAt(edit, {0, 0}), QColor(255, 0, 0)); // red frame
    EXPECT_EQ(PixelAt(edit, {79, 21}), QColor(255, 0, 0));
    EXPECT_EQ(PixelAt(edit, {70, 11}), QColor(255, 200, 200)); // light red inside
    edit.SetAlarm(0);
    EXPECT_NE(PixelAt(edit, {0, 0}), QColor(255, 0, 0));
    EXPECT_NE(PixelAt(edit, {70, 11}), QColor(255, 200, 200));
}

TEST(CColorEdit, SettingTheSameAlarmTwiceChangesNothing) {
    CColorEdit edit;
    edit.resize(80, 22);
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    PaintCounter counter;
    edit.installEventFilter(&counter);
    edit.SetAlarm(1);
    const int changes = edit.BackgroundChanges();
    QTest::qWait(30);
    const int paints = counter.paints;
    EXPECT_GT(paints, 0); // the change itself repainted
    edit.SetAlarm(1);
    edit.SetAlarm(1);
    QTest::qWait(30);
    EXPECT_EQ(edit.BackgroundChanges(), changes);
    EXPECT_EQ(counter.paints, paints);
    // Painting does not ask for more painting.
    QTest::qWait(60);
    EXPECT_EQ(counter.paints, paints);
}

TEST(CColorEdit, ClearingFollowsTheSystemColourAsItIsNow) {
    const QPalette original = QApplication::palette();
    CColorEdit edit;
    const QColor before = edit.BackgroundColor();
    QPalette changed = original;
    changed.setColor(QPalette::Button, QColor(12, 34, 56));
    QApplication::setPalette(changed);
    edit.SetAlarm(1);
    edit.SetAlarm(0);
    EXPECT_EQ(edit.BackgroundColor(), QColor(12, 34, 56));
    EXPECT_NE(edit.BackgroundColor(), before);
    QApplication::setPalette(original);
}

TEST(CComboBoxInt, EntriesCarryIntegers) {
    CComboBoxInt combo;
    EXPECT_EQ(combo.GetCurSel(), -1);
    EXPECT_EQ(combo.GetSelectedData(-7), -7);
    EXPECT_EQ(combo.AddString("0℃", 0), 0);
    EXPECT_EQ(combo.AddString("24℃", 24), 1);
    EXPECT_EQ(combo.AddString("-5", -5), 2);
    EXPECT_EQ(combo.GetCount(), 3);
    EXPECT_EQ(combo.GetItemData(1), 24);
    EXPECT_EQ(combo.GetItemData(2), -5);
    EXPECT_EQ(combo.GetItemData(3, 99), 99);
    EXPECT_EQ(combo.GetItemData(-1, 99), 99);
    EXPECT_TRUE(combo.SelectData(24));
    EXPECT_EQ(combo.GetCurSel(), 1);
    EXPECT_FALSE(combo.SelectData(25));
    EXPECT_EQ(combo.GetCurSel(), 1); // unchanged
    EXPECT_TRUE(combo.SetItemData(1, 26));
    EXPECT_EQ(combo.GetSelectedData(), 26);
    EXPECT_FALSE(combo.SetItemData(5, 1));
    EXPECT_FALSE(combo.SetCurSel(3));
    EXPECT_TRUE(combo.SetCurSel(-1));
    EXPECT_EQ(combo.GetSelectedData(-1), -1);
    combo.ResetContent();
    EXPECT_EQ(combo.GetCount(), 0);
}

TEST(CDialogPassword, OkCopiesTheTextCancelDoesNot) {
    CDialogPassword dialog;
    EXPECT_EQ(dialog.windowTitle(), "Password");
    EXPECT_EQ(dialog.Edit()->echoMode(), QLineEdit::Password);
    auto* ok = dialog.Control<QPushButton>(CDialogPassword::kIdOk);
    auto* cancel = dialog.Control<QPushButton>(CDialogPassword::kIdCancel);
    EXPECT_EQ(ok->text(), "确定");
    EXPECT_EQ(cancel->text(), "取消");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_TRUE(dialog.GetPassword().isEmpty());

    dialog.Edit()->setText("first");
    cancel->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(dialog.GetPassword().isEmpty());

    dialog.Edit()->setText("KvRw");
    ok->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetPassword(), "KvRw");
}

} // namespace
