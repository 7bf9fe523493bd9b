#pragma once

#include <QComboBox>

#include <cstdint>

// A drop-down list whose entries each carry an integer: the value stored or
// sent is that integer, never the visible text.
//
// Thread safety: user-interface thread only.
class CComboBoxInt : public QComboBox {
    Q_OBJECT
public:
    explicit CComboBoxInt(QWidget* parent = nullptr);

    // Appends an entry carrying value; returns its index.
    int32_t AddString(const QString& text, int32_t value = 0);
    // The integer of entry index; fallback for an index out of range.
    [[nodiscard]] int32_t GetItemData(int32_t index, int32_t fallback = 0) const;
    // Replaces the integer of an entry; false for an index out of range.
    bool SetItemData(int32_t index, int32_t value);
    [[nodiscard]] int32_t GetCount() const { return count(); }
    // -1 when nothing is selected.
    [[nodiscard]] int32_t GetCurSel() const { return currentIndex(); }
    // Selects index (-1 clears the selection); false for an index out of range.
    bool SetCurSel(int32_t index);
    // The integer of the selected entry; fallback when nothing is selected.
    [[nodiscard]] int32_t GetSelectedData(int32_t fallback = 0) const;
    // Selects the first entry carrying value; false (selection unchanged)
    // when there is none.
    bool SelectData(int32_t value);
    void ResetContent() { clear(); }
};
