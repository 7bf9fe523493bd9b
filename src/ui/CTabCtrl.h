#pragma once

#include <QWidget>

#include <cstdint>

class QTabBar;

// A tab strip over a page area, as a tab control: the tabs are only titles,
// and the owner places and shows its pages (children of this control) in
// PageRect itself.
//
// Thread safety: user-interface thread only.
class CTabCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CTabCtrl(QWidget* parent = nullptr);

    // Inserts a tab at index (clamped to 0..count); returns its index.
    int32_t InsertItem(int32_t index, const QString& title);
    // False for an index out of range.
    bool SetItemText(int32_t index, const QString& title);
    [[nodiscard]] QString GetItemText(int32_t index) const;
    [[nodiscard]] int32_t GetItemCount() const;
    [[nodiscard]] int32_t GetCurSel() const;
    // Selects a tab without emitting SelChange; false out of range.
    bool SetCurSel(int32_t index);
    // The tab strip's height in pixels.
    [[nodiscard]] int32_t StripHeight() const;
    // The tab's rectangle in this control's coordinates.
    [[nodiscard]] QRect TabRect(int32_t index) const;
    [[nodiscard]] QTabBar* Bar() const { return m_bar; }

signals:
    // The user selected another tab.
    void SelChange(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QTabBar* m_bar;
    bool m_quiet = false; // SetCurSel in progress
};
