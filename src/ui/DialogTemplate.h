#pragma once

#include <cstdint>
#include <span>

class CDialogBase;

// One control of a dialog template: its id, kind, place in dialog units and
// template caption (UTF-8).
struct DialogItem {
    enum class Kind : uint8_t {
        Group,    // QGroupBox
        Label,    // QLabel; the buddy of the edit, value, list or slider right after it
        Unit,     // QLabel beside a value, no buddy
        Edit,     // QLineEdit
        Value,    // read-only QLineEdit
        Note,     // read-only multi-line QPlainTextEdit, caption as its text; sized to fit it
        Button,   // QPushButton, never a default button
        Check,    // QCheckBox
        Radio,    // QRadioButton; the radios of one table are one exclusive group
        Combo,    // CComboBoxInt
        Slider,   // horizontal QSlider
        Alarm,    // read-only CColorEdit (a value shown red when out of range)
        Progress, // QProgressBar, range 0..100, no text
    };
    int32_t id;
    Kind kind;
    int16_t x, y, w, h;
    const char* caption;
};

// Creates the controls of items, in order, as children of dialog at their
// places (converted with the dialog's font) with their captions, and
// registers each under its id.
//
// Thread safety: user-interface thread only.
void CreateDialogItems(CDialogBase& dialog, std::span<const DialogItem> items);
