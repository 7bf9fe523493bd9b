#include "foundation/CTextTable.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

// A window with a fixed set of controls that records every caption it is given.
class FakeWindow : public ITextWindow {
public:
    explicit FakeWindow(std::set<int32_t> controls)
        : m_controls(std::move(controls)) {}

    bool SetControlText(int32_t controlId, const char* utf8) override {
        attempts.push_back(controlId);
        if (m_controls.count(controlId) == 0) {
            return false;
        }
        captions[controlId] = utf8;
        order.push_back(controlId);
        return true;
    }

    std::map<int32_t, std::string> captions;
    std::vector<int32_t> order;    // controls captioned, in call order
    std::vector<int32_t> attempts; // every control asked for

private:
    std::set<int32_t> m_controls;
};

struct Sample {
    int32_t id;
    const char* chinese;
    const char* english;
};

// Rows from every range of the table, as the tool shows them.
const Sample kSamples[] = {
    {0, "状态", "State"},
    {8, "运行-学习,油门最小", "Run - Learn Rc,Stick Down"},
    {13, "冷却", "Coolling"},
    {20, "?", "?"},
    {21, "校准油泵", "?"},
    {37, "错误: 丢失遥控器输入信号", "Error: Lost Signal"},
    {43, "错误: 油泵达到极限", "Error: Pump Limit"},
    {56, "历史记录", "Historic records "},
    {59, "遥控器模拟器", "Simulator"},
    {114, "设置", "Setting"},
    {125, "磁极对数(无刷电机)：", "Number of pole pairs:"},
    {160, "波特率:", "Bandrate:"},
    {184, "油泵爬坡时间:", "Pump Ramp:"},
    {197, "不检查火头", "Don't Check Glowplug"},
    {204, "高度气压对照表", "Altitude VS Pressure"},
    {217, "电磁阀-氧气", "Oxygen Valve"},
    {223, "推力", "Thrust"},
    {233, "温度 - 排气", "EGT"},
    {253, "加载中[%d],请等待!", "Loading[%d]"},
    {260, "接收电", "RC.VOL"},
    {286, "发电机输出", "Alternater"},
};

// Rows whose English text only is fixed; their spelling is the tool's own.
const std::pair<int32_t, const char*> kEnglishOnly[] = {
    {60, "State:"},
    {67, "Altitude"},
    {87, "Unsupport"},
    {113, "CombPress"},
    {159, "Telemetry Procotol:"},
    {162, "CANBus Address(hex);"},
    {189, "Caracteristic"},
    {270, "Time"},
    {277, "Err.EningOnline"},
    {281, "Warn.LimitPumpCurent"},
};

} // namespace

TEST(CTextTable, StartsInChinese) {
    CTextTable table;
    EXPECT_EQ(table.GetLanguage(), CTextTable::kChinese);
    EXPECT_STREQ(table.GetText(1), "停机");
}

TEST(CTextTable, SampleRowsInBothLanguages) {
    CTextTable table;
    for (const Sample& s : kSamples) {
        table.SetLanguage(CTextTable::kChinese);
        EXPECT_STREQ(table.GetText(s.id), s.chinese) << "row " << s.id;
        table.SetLanguage(CTextTable::kEnglish);
        EXPECT_STREQ(table.GetText(s.id), s.english) << "row " << s.id;
    }
    for (const auto& [id, english] : kEnglishOnly) {
        EXPECT_STREQ(table.GetText(id), english) << "row " << id;
        EXPECT_STREQ(CTextTable::GetText(id, CTextTable::kEnglish), english) << "row " << id;
    }
}

TEST(CTextTable, IdsOutsideTheTableGiveTheEmptyText) {
    CTextTable table;
    for (int32_t language : {CTextTable::kChinese, CTextTable::kEnglish}) {
        table.SetLanguage(language);
        for (int32_t id : {287, -1, 1000, INT_MIN, INT_MAX}) {
            const char* text = table.GetText(id);
            ASSERT_NE(text, nullptr);
            EXPECT_STREQ(text, "") << "id " << id << " language " << language;
        }
    }
    EXPECT_STREQ(CTextTable::GetText(1, 2), "");
    EXPECT_STREQ(CTextTable::GetText(1, -1), "");
}

TEST(CTextTable, OnlyZeroAndOneAreLanguages) {
    CTextTable table;
    for (int32_t start : {CTextTable::kChinese, CTextTable::kEnglish}) {
        table.SetLanguage(start);
        for (int32_t bad : {2, -1, 3, INT_MAX}) {
            table.SetLanguage(bad);
            EXPECT_EQ(table.GetLanguage(), start) << "SetLanguage(" << bad << ")";
        }
    }
    table.SetLanguage(CTextTable::kEnglish);
    table.SetLanguage(CTextTable::kChinese);
    EXPECT_EQ(table.GetLanguage(), CTextTable::kChinese);
}

TEST(CTextTable, EveryNumberOnceWithTextsInBothLanguages) {
    const auto rows = CTextTable::Rows();
    ASSERT_EQ(rows.size(), 287u);
    std::set<int32_t> ids;
    for (const CTextTable::Row& row : rows) {
        EXPECT_TRUE(ids.insert(row.id).second) << "duplicate " << row.id;
        EXPECT_STRNE(row.english, "") << "row " << row.id;
        EXPECT_STRNE(row.chinese, "") << "row " << row.id;
        // Every Chinese text but the "?" of row 20 holds Chinese characters; an
        // English text in the Chinese column would be ASCII only.
        if (row.id != 20) {
            const std::string zh = row.chinese;
            bool nonAscii = false;
            for (char c : zh) {
                nonAscii = nonAscii || static_cast<unsigned char>(c) >= 0x80;
            }
            EXPECT_TRUE(nonAscii) << "row " << row.id << " Chinese text \"" << zh << "\"";
        }
    }
    EXPECT_EQ(*ids.begin(), 0);
    EXPECT_EQ(*ids.rbegin(), 286);
}

TEST(CTextTable, SetControlTextsCaptionsPresentControlsInOrderAndSkipsMissing) {
    CTextTable table;
    FakeWindow window({1067, 1042, 1150, 1186});
    const CTextTable::ControlText pairs[] = {
        {1150, 60}, {1067, 44}, {9999, 1}, {1042, 47}, {1186, 113}, {1021, 46}};

    table.SetLanguage(CTextTable::kEnglish);
    table.SetControlTexts(&window, pairs, 6);
    EXPECT_EQ(window.attempts, (std::vector<int32_t>{1150, 1067, 9999, 1042, 1186, 1021}));
    EXPECT_EQ(window.order, (std::vector<int32_t>{1150, 1067, 1042, 1186}));
    EXPECT_EQ(window.captions[1067], "MAX");
    EXPECT_EQ(window.captions[1042], "Learn");
    EXPECT_EQ(window.captions[1150], "State:");
    EXPECT_EQ(window.captions[1186], "CombPress");

    table.SetLanguage(CTextTable::kChinese);
    table.SetControlTexts(&window, pairs);
    EXPECT_EQ(window.captions[1067], "最大");
    EXPECT_EQ(window.captions[1042], "学习");
    EXPECT_EQ(window.captions.size(), 4u);
}

TEST(CTextTable, SetControlTextsTakesOnlyCountPairs) {
    CTextTable table;
    FakeWindow window({1, 2, 3});
    const CTextTable::ControlText pairs[] = {{1, 44}, {2, 45}, {3, 46}};
    table.SetControlTexts(&window, pairs, 2);
    EXPECT_EQ(window.order, (std::vector<int32_t>{1, 2}));

    table.SetControlTexts(&window, pairs, 0);
    table.SetControlTexts(&window, pairs, -5);
    table.SetControlTexts(&window, nullptr, 3);
    table.SetControlTexts(nullptr, pairs, 3);
    EXPECT_EQ(window.attempts.size(), 2u);
}

TEST(CTextTable, SetControlTextUsesTheCurrentLanguageAndUnknownNumbersGiveEmpty) {
    CTextTable table;
    FakeWindow window({1063});
    table.SetControlText(&window, 1063, 58);
    EXPECT_EQ(window.captions[1063], "工程模式");
    table.SetLanguage(CTextTable::kEnglish);
    table.SetControlText(&window, 1063, 58);
    EXPECT_EQ(window.captions[1063], "KVRW");
    table.SetControlText(&window, 1063, 287);
    EXPECT_EQ(window.captions[1063], "");
    table.SetControlText(&window, 4242, 1); // missing control: nothing happens
    table.SetControlText(nullptr, 1063, 1);
    EXPECT_EQ(window.captions.size(), 1u);
}
