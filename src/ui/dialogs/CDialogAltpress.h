#pragma once

#include "ui/CDialogBase.h"

#include <string>

class QPlainTextEdit;

// The reference table of ambient pressure against altitude, 0 m to 15000 m
// in steps of 500 m, which helps fill in the high-altitude pressure
// thresholds of the settings dialog (kPa). One read-only multi-line edit
// fills the dialog; each time the dialog is opened it shows the table from
// its first row, "101.3kPa    0m". The dialog has no title.
//
// The edit is read-only and disabled, as a reference table takes no input;
// the dialog is made tall enough for all 31 rows, so nothing needs scrolling.
//
// Thread safety: user-interface thread only.
class CDialogAltpress : public CDialogBase {
    Q_OBJECT
public:
    enum ControlId : int32_t { kTable = 1000 };
    static constexpr int32_t kRows = 31;

    explicit CDialogAltpress(QWidget* parent = nullptr);

    // The table text: per row the pressure with one decimal, "kPa", four
    // blanks, the altitude and "m", each row ending in CR LF.
    [[nodiscard]] static const std::string& TableText();

    // Puts the table into the edit with the caret at its start, scrolled
    // into view.
    void OnInitDialog();
    // OnInitDialog, then runs the dialog modally (IUiServices::RunModal).
    void Open();

    [[nodiscard]] QPlainTextEdit* Table() const { return m_table; }

private:
    QPlainTextEdit* m_table;
};
