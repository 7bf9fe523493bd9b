#pragma once

// The services seam for the chart pages' tests: answers like
// ScriptedUiServices and also keeps what each file dialog was asked for, and
// a scratch folder for the files the pages write.

#include "Fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
