#include "ui/CTabCtrl.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

namespace {

// Titles are shown as they are: '&' is not a mnemonic marker here.
QString Escaped(QString title) {
    return title.replace('&', QStringLiteral("&&"));
}

} // namespace

CTabCtrl::CTabCtrl(QWidget* parent)
    : QWidget(parent)
    , m_bar(new QTabBar(this)) {
    m_bar->setExpanding(false);
    m_bar->setDrawBase(false);
    connect(m_bar, &QTabBar::currentChanged, this, [this](int index) {
        if (!m_quiet) {
            emit SelChange(index);
        }
    });
}

int32_t CTabCtrl::InsertItem(int32_t index, const QString& title) {
    m_quiet = true;
    const int inserted = m_bar->insertTab(index < 0 ? 0 : index, Escaped(title));
    m_quiet = false;
    m_bar->resize(width(), m_bar->sizeHint().height());
    return inserted;
}

bool CTabCtrl::SetItemText(int32_t index, const QString& title) {
    if (index < 0 || index >= m_bar->count()) {
        return false;
    }
    m_bar->setTabText(index, Escaped(title));
    m_bar->resize(width(), m_bar->sizeHint().height());
    return true;
}

QString CTabCtrl::GetItemText(int32_t index) const {
    return m_bar->tabText(index).replace(QStringLiteral("&&"), QStringLiteral("&"));
}

int32_t CTabCtrl::GetItemCount() const {
    return m_bar->count();
}

int32_t CTabCtrl::GetCurSel() const {
    return m_bar->currentIndex();
}

bool CTabCtrl::SetCurSel(int32_t index) {
    if (index < 0 || index >= m_bar->count()) {
        return false;
    }
    m_quiet = true;
    m_bar->setCurrentIndex(index);
    m_quiet = false;
    return true;
}

int32_t CTabCtrl::StripHeight() const {
    return m_bar->sizeHint().height();
}

QRect CTabCtrl::TabRect(int32_t index) const {
    return m_bar->tabRect(index).translated(m_bar->pos());
}

void CTabCtrl::resizeEvent(QResizeEvent* event) {
    m_bar->setGeometry(0, 0, width(), m_bar->sizeHint().height());
    QWidget::resizeEvent(event);
}

void CTabCtrl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, StripHeight() - 1, width(), height() - StripHeight() + 1);
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = m_bar->sizeHint();
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}
