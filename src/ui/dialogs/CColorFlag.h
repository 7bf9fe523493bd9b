#pragma once

#include <QColor>
#include <QWidget>

// A lamp: a rectangle filled with one colour. Red at construction; the main
// window sets green, RGB(0, 255, 0), or red, RGB(255, 0, 0).
//
// Display state only. Thread safety: user-interface thread only.
class CColorFlag : public QWidget {
    Q_OBJECT
public:
    static constexpr QRgb kRed = 0xFFFF0000;
    static constexpr QRgb kGreen = 0xFF00FF00;

    explicit CColorFlag(QWidget* parent = nullptr);

    // Stores the colour and repaints the whole control.
    void SetColor(const QColor& color);
    [[nodiscard]] QColor GetColor() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color{QColor::fromRgb(kRed)};
};
