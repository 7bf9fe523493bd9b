#pragma once

// For the chart pages' tests: a page shown on its own, and the services seam
// answering like ScriptedUiServices that also keeps what each file dialog was
// asked for, with a scratch folder for the files the pages write.

#include "Fakes.h"
#include "charts/qt/CCanvasWidget.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

// A chart page shown on its own (800 x 560).
template <typename Page>
struct ShownPage {
    Page page;
    ShownPage() {
        page.resize(800, 560);
        page.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&page));
    }
    // Changes with every copy of a newly drawn surface to the frame.
    qint64 ShownKey() const { return page.Chart()->Shown().cacheKey(); }
};

class PageServices : public ScriptedUiServices {
public:
    std::vector<FileDialogSpec> saveDialogs;
    QTemporaryDir dir;

    QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) override {
        saveDialogs.push_back(spec);
        return ScriptedUiServices::GetSaveFileName(parent, spec);
    }
    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    static std::string Read(const QString& path) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            return "<missing>";
        }
        return f.readAll().toStdString();
    }
    static void Write(const QString& path, const std::string& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
};
