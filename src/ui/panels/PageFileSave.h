#pragma once

#include "ui/IUiServices.h"

#include <string>

class QWidget;

// The pages' export step: asks for a file with spec (through the services
// seam) and replaces it with bytes through a temporary file beside it and a
// rename, so that a failed save leaves the old file as it was. A failure is
// shown in a message box that names the file and the failing call.
//
// Returns true when the file was written; false when the user cancelled or
// the write failed.
// Thread safety: user-interface thread only.
bool SaveToChosenFile(QWidget* parent, const FileDialogSpec& spec, const std::string& bytes);

// The pages' CSV file dialog: "Select File", the name stem + ".csv" proposed,
// the filter "stem (*.csv)|*.csv||", a prompt before replacing a file.
[[nodiscard]] FileDialogSpec CsvFileDialog(const std::string& stem);
