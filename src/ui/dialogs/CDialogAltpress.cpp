#include "ui/dialogs/CDialogAltpress.h"

#include "ui/IUiServices.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Fixed reference values, not computed at run time.
constexpr const char* kTableText = "101.3kPa    0m\r\n"
                                   "95.4kPa    500m\r\n"
                                   "89.8kPa    1000m\r\n"
                                   "84.5kPa    1500m\r\n"
                                   "79.4kPa    2000m\r\n"
                                   "74.6kPa    2500m\r\n"
                                   "70.1kPa    3000m\r\n"
                                   "65.7kPa    3500m\r\n"
                                   "61.6kPa    4000m\r\n"
                                   "57.7kPa    4500m\r\n"
                                   "54.0kPa    5000m\r\n"
                                   "50.5kPa    5500m\r\n"
                                   "47.1kPa    6000m\r\n"
                                   "44.0kPa    6500m\r\n"
                                   "41.0kPa    7000m\r\n"
                                   "38.2kPa    7500m\r\n"
                                   "35.5kPa    8000m\r\n"
                                   "33.0kPa    8500m\r\n"
                                   "30.7kPa    9000m\r\n"
                                   "28.5kPa    9500m\r\n"
                                   "26.4kPa    10000m\r\n"
                                   "24.4kPa    10500m\r\n"
                                   "22.6kPa    11000m\r\n"
                                   "20.9kPa    11500m\r\n"
                                   "19.2kPa    12000m\r\n"
                                   "17.7kPa    12500m\r\n"
                                   "16.3kPa    13000m\r\n"
                                   "15.0kPa    13500m\r\n"
                                   "13.7kPa    14000m\r\n"
                                   "12.6kPa    14500m\r\n"
                                   "11.5kPa    15000m\r\n";

// The template's size in dialog units.
constexpr int32_t kWidthDlu = 84;
constexpr int32_t kHeightDlu = 272;

} // namespace

CDialogAltpress::CDialogAltpress(QWidget* parent)
    : CDialogBase(parent)
    , m_table(new QPlainTextEdit(this)) {
    m_table->setReadOnly(true);
    m_table->setEnabled(false);
    m_table->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RegisterControl(kTable, m_table);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table);

    // At least the template's size; wide and tall enough for every row
    // with the font in use.
    const QFontMetrics metrics(m_table->font());
    const QString text = QString::fromUtf8(kTableText);
    int32_t widest = 0;
    for (const QString& line : text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        widest = std::max<int32_t>(widest, metrics.horizontalAdvance(line));
    }
    const int32_t frame = 2 * m_table->frameWidth();
    const int32_t margin = 2 * static_cast<int32_t>(m_table->document()->documentMargin()) + 4;
    const int32_t width =
        widest + frame + margin + m_table->verticalScrollBar()->sizeHint().width();
    const int32_t height = (kRows + 1) * metrics.lineSpacing() + frame + margin;
    const QSize templateSize = DluRect(0, 0, kWidthDlu, kHeightDlu).size();
    resize(std::max(width, templateSize.width()), std::max(height, templateSize.height()));
}

const std::string& CDialogAltpress::TableText() {
    static const std::string text(kTableText);
    return text;
}

void CDialogAltpress::OnInitDialog() {
    // The edit shows lines; the CR LF pairs are the table's own line ends.
    m_table->setPlainText(QString::fromUtf8(kTableText).replace(QStringLiteral("\r\n"), "\n"));
    QTextCursor caret = m_table->textCursor();
    caret.setPosition(0);
    m_table->setTextCursor(caret);
    m_table->ensureCursorVisible();
}

void CDialogAltpress::Open() {
    OnInitDialog();
    (void)UiServices().RunModal(*this);
}
