#include "ui/CComboBoxInt.h"

CComboBoxInt::CComboBoxInt(QWidget* parent)
    : QComboBox(parent) {}

int32_t CComboBoxInt::AddString(const QString& text, int32_t value) {
    addItem(text, QVariant(static_cast<int>(value)));
    return count() - 1;
}

int32_t CComboBoxInt::GetItemData(int32_t index, int32_t fallback) const {
    if (index < 0 || index >= count()) {
        return fallback;
    }
    bool ok = false;
    const int value = itemData(index).toInt(&ok);
    return ok ? value : fallback;
}

bool CComboBoxInt::SetItemData(int32_t index, int32_t value) {
    if (index < 0 || index >= count()) {
        return false;
    }
    setItemData(index, QVariant(static_cast<int>(value)));
    return true;
}

bool CComboBoxInt::SetCurSel(int32_t index) {
    if (index < -1 || index >= count()) {
        return false;
    }
    setCurrentIndex(index);
    return true;
}

int32_t CComboBoxInt::GetSelectedData(int32_t fallback) const {
    return GetItemData(currentIndex(), fallback);
}

bool CComboBoxInt::SelectData(int32_t value) {
    const int index = findData(QVariant(static_cast<int>(value)));
    if (index < 0) {
        return false;
    }
    setCurrentIndex(index);
    return true;
}
