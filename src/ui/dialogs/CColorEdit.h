#pragma once

#include <QColor>
#include <QLineEdit>

#include <cstdint>

// An edit field that shows an alarm: light red, RGB(255, 200, 200), with a
// red frame while its value is out of range, the button-face colour of the
// system with the system's frame colour otherwise. Text is always black.
//
// Display state only: the owner decides when the alarm is set.
// Thread safety: user-interface thread only.
class CColorEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr QRgb kAlarmColor = 0xFFFFC8C8; // RGB(255, 200, 200)

    explicit CColorEdit(QWidget* parent = nullptr);

    // Stores the flag (0 clear, non-zero alarm). An unchanged flag does
    // nothing: no new background, no repaint. Otherwise the background is
    // chosen again (the system colour as it is now) and the whole control is
    // repainted.
    void SetAlarm(uint8_t alarm);
    // Sets the text, then SetAlarm.
    void SetTextAndAlarm(const QString& text, uint8_t alarm);

    [[nodiscard]] uint8_t GetAlarm() const { return m_alarm; }
    [[nodiscard]] QColor BackgroundColor() const { return m_background; }
    [[nodiscard]] QColor FrameColor() const;
    // How often the background was chosen (once at construction, then once
    // per alarm change).
    [[nodiscard]] int32_t BackgroundChanges() const { return m_backgroundChanges; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ChooseBackground();

    uint8_t m_alarm = 0;
    QColor m_background;
    int32_t m_backgroundChanges = 0;
};
