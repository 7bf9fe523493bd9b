// The "RPM vs EGT&Thrust&Pump" page on its own: its controls, how it takes
// the main window's samples, when it redraws, and the rmp_vs_data.csv export.

#include "ui/panels/CDialogRpmTemp.h"
#include "PageServices.h"
#include "ui/CComboBoxInt.h"

#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using ShownRpmPage = ShownPage<CDialogRpmTemp>;

TEST(CDialogRpmTemp, ControlsAsBuilt) {
    CDialogRpmTemp page;
    auto* list = page.Control<CComboBoxInt>(CDialogRpmTemp::kThrustScaleList);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 8);
    EXPECT_EQ(list->itemText(0), "90Kg");
    EXPECT_EQ(list->itemText(7), "3000Kg");
    EXPECT_EQ(list->GetItemData(5), 1100);
    EXPECT_EQ(list->GetCurSel(), 0);
    // The list shows 90 kg, the axis keeps 20 kg until an entry is picked.
    EXPECT_FLOAT_EQ(page.Bins().ThrustFullScale(), 20.0f);
    EXPECT_EQ(page.GetDlgItemText(CDialogRpmTemp::kSaveButton), "保存数据");
    EXPECT_EQ(page.GetDlgItemText(CDialogRpmTemp::kReportButton), "输出报告");
    EXPECT_TRUE(page.IsControlEnabled(CDialogRpmTemp::kSaveButton));
    EXPECT_FALSE(page.IsControlEnabled(CDialogRpmTemp::kReportButton));
    EXPECT_EQ(page.Bins().BinCount(), 111); // 50000..160000 until the unit's range comes
}

TEST(CDialogRpmTemp, TakesThePumpVoltageInHundredthsAndKeepsThousandths) {
    CDialogRpmTemp page;
    page.SetRange(40000, 60000);
    page.AddSample(45500, 610, 345, 2.5f); // 3.45 V
    EXPECT_EQ(page.Bins().Bins()[5], (RpmTempBin{610, 3450, 2.5f}));
    EXPECT_EQ(page.Bins().Last().pumpMillivolts, 3450);
    page.AddSample(45500, 610, 65535, 2.5f); // the largest value does not wrap
    EXPECT_EQ(page.Bins().Bins()[5].pumpMillivolts, 655350);
}

TEST(CDialogRpmTemp, RedrawsOnlyWhenABinOrTheThrustScaleChanges) {
    ShownRpmPage p;
    p.page.SetRange(40000, 60000);
    qint64 key = p.ShownKey();
    p.page.AddSample(45500, 610, 345, 2.5f);
    EXPECT_NE(p.ShownKey(), key);
    key = p.ShownKey();
    p.page.AddSample(45900, 610, 345, 2.5f); // the same bin, the same values
    p.page.AddSample(70000, 700, 400, 3.0f); // outside the range
    p.page.AddSample(0, 0, 0, 0.0f);         // offline
    EXPECT_EQ(p.ShownKey(), key);

    auto* list = p.page.Control<CComboBoxInt>(CDialogRpmTemp::kThrustScaleList);
    list->setCurrentIndex(2);
    EXPECT_FLOAT_EQ(p.page.Bins().ThrustFullScale(), 250.0f);
    EXPECT_NE(p.ShownKey(), key);
    // Picking the entry already shown applies it too.
    key = p.ShownKey();
    emit list->activated(2);
    EXPECT_EQ(p.ShownKey(), key);
    emit list->activated(0);
    EXPECT_FLOAT_EQ(p.page.Bins().ThrustFullScale(), 90.0f);
    EXPECT_NE(p.ShownKey(), key);

    // Hidden, the page keeps its bins but draws nothing.
    p.page.hide();
    key = p.ShownKey();
    p.page.AddSample(50500, 650, 300, 4.0f);
    EXPECT_EQ(p.page.Bins().Bins()[10].egt, 650);
    EXPECT_EQ(p.ShownKey(), key);
}

TEST(CDialogRpmTemp, SaveWritesTheBinsThroughATemporaryFile) {
    PageServices services;
    CDialogRpmTemp page;
    page.SetRange(40000, 60000);
    page.AddSample(43000, 612, 245, 4.25f);
    page.AddSample(47000, 705, 301, 7.5f);
    services.savePath = services.Path("rmp_vs_data.csv");
    PageServices::Write(services.savePath, "an older export");
    page.Control<QPushButton>(CDialogRpmTemp::kSaveButton)->click();
    ASSERT_EQ(services.saveDialogs.size(), 1u);
    const FileDialogSpec& spec = services.saveDialogs[0];
    EXPECT_EQ(spec.title, "Select File");
    EXPECT_EQ(spec.fileName, "rmp_vs_data.csv");
    EXPECT_EQ(spec.defaultExtension, ".csv");
    EXPECT_EQ(spec.filter, "rmp_vs_data (*.csv)|*.csv||");
    EXPECT_TRUE(spec.promptOverwrite);
    const std::string csv = PageServices::Read(services.savePath);
    EXPECT_EQ(csv, page.Bins().CsvBytes());
    EXPECT_EQ(csv.substr(0, 30), "MIN RPM,40000\r\nMAX RPM,60000\r\n");
    EXPECT_NE(csv.find("43000,612,2450,4.25\r\n44000,0,0,0.00\r\n"), std::string::npos);
    EXPECT_TRUE(services.boxes.empty());
    EXPECT_EQ(QDir(services.dir.path()).entryList(QDir::Files).size(), 1); // no temporary left

    // Cancelled: nothing written.
    services.savePath.clear();
    page.AddSample(50000, 800, 100, 1.0f);
    page.Control<QPushButton>(CDialogRpmTemp::kSaveButton)->click();
    EXPECT_EQ(PageServices::Read(services.dir.filePath("rmp_vs_data.csv")), csv);
}

TEST(CDialogRpmTemp, SaveFailuresAreShownAndWithoutARangeNothingHappens) {
    PageServices services;
    CDialogRpmTemp page;
    page.AddSample(60000, 612, 245, 4.25f);
    services.savePath = services.Path("missing-folder/rmp_vs_data.csv");
    page.OnSave();
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_TRUE(services.boxes[0].text.contains("missing-folder/rmp_vs_data.csv"));
    EXPECT_EQ(services.boxes[0].type & 0xF0, IUiServices::kIconError);
    EXPECT_EQ(PageServices::Read(services.savePath), "<missing>");

    page.SetRange(1000, 2000);
    services.savePath = services.Path("rmp_vs_data.csv");
    page.OnSave();
    EXPECT_EQ(services.saveDialogs.size(), 1u); // no dialog the second time
    EXPECT_EQ(PageServices::Read(services.savePath), "<missing>");
}

TEST(CDialogRpmTemp, EscapeAndCloseRequestsDoNotCloseThePage) {
    ShownRpmPage p;
    QTest::keyClick(&p.page, Qt::Key_Escape);
    EXPECT_TRUE(p.page.isVisible());
    EXPECT_FALSE(p.page.close());
    EXPECT_TRUE(p.page.isVisible());
}

} // namespace
