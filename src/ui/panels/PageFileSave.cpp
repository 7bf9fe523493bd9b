#include "ui/panels/PageFileSave.h"

#include "foundation/CTextTable.h"
#include "platform/FileIo.h"

#include <QString>

#include <cstdint>
#include <span>

bool SaveToChosenFile(QWidget* parent, const FileDialogSpec& spec, const std::string& bytes) {
    const QString path = UiServices().GetSaveFileName(parent, spec);
    if (path.isEmpty()) {
        return false;
    }
    std::string error;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (platform::ReplaceFileContents(
            path.toStdString(), std::span<const uint8_t>(data, bytes.size()), &error)) {
        return true;
    }
    const bool chinese = CTextTable::Process().GetLanguage() == CTextTable::kChinese;
    const QString text = (chinese ? QStringLiteral("无法保存文件 %1\n%2")
                                  : QStringLiteral("The file %1 could not be saved.\n%2"))
                             .arg(path, QString::fromStdString(error));
    (void)UiServices().MessageBox(
        parent, text, QString(), IUiServices::kOk | IUiServices::kIconError);
    return false;
}

FileDialogSpec CsvFileDialog(const std::string& stem) {
    FileDialogSpec spec;
    spec.title = QStringLiteral("Select File");
    spec.defaultExtension = QStringLiteral(".csv");
    spec.fileName = QString::fromStdString(stem + ".csv");
    spec.filter = stem + " (*.csv)|*.csv||";
    spec.promptOverwrite = true;
    return spec;
}
