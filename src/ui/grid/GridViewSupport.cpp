#include "ui/grid/GridViewSupport.h"

#include "ui/WindowUtils.h"

#include <QAbstractItemView>
#include <QDate>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyle>

#include <cmath>

using namespace Qt::StringLiterals;

GridViewSupport::GridViewSupport(QAbstractItemView *view, QHeaderView *header)
    : QObject(view), m_view(view), m_header(header)
{
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
}

int GridViewSupport::minimumWidth(const GridColumn &column) const
{
    QFont bold = m_view->font();
    bold.setBold(true);
    const int padding = 2 * m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 10;
    int width = QFontMetrics(m_header->font()).horizontalAdvance(column.caption) + padding + 8;
    const PatternFormatter formatter(appLocale());
    QString sample;
    switch (column.kind) {
    case GridColumn::Kind::Date:
        sample = displayText(column, QDate(2088, 12, 28), formatter);
        break;
    case GridColumn::Kind::Money:
        sample = displayText(column, qint64(-8888888880000), formatter);
        break;
    case GridColumn::Kind::Integer:
        sample = u"888888"_s;
        break;
    case GridColumn::Kind::Text:
        for (const auto &entry : column.valueList) {
            if (entry.second.size() > sample.size())
                sample = entry.second;
        }
        break;
    }
    return std::max(width, QFontMetrics(bold).horizontalAdvance(sample) + padding);
}

void GridViewSupport::applyColumns(const QList<GridColumn> &columns)
{
    for (int c = 0; c < columns.size(); ++c) {
        const GridColumn &column = columns.at(c);
        m_header->setSectionHidden(c, !column.visible);
        if (column.widthTwips > 0 && !column.iconColumn)
            m_header->resizeSection(
                c, std::max(twipsToPixels(m_view, column.widthTwips), minimumWidth(column)));
        else if (column.widthTwips > 0)
            m_header->resizeSection(c, twipsToPixels(m_view, column.widthTwips));
        m_header->setSectionResizeMode(c, column.resizable ? QHeaderView::Interactive
                                                           : QHeaderView::Fixed);
    }
}

void GridViewSupport::setRowHeight(int pixels)
{
    m_header->setFixedHeight(int(std::lround(pixels * 1.1)));
    m_view->setIconSize(QSize(pixels - 6, pixels - 6));
}

void GridViewSupport::shareFreeWidth(const QList<int> &columns, int allowance)
{
    m_shared = columns;
    m_allowance = allowance;
    shareNow();
}

void GridViewSupport::shareNow()
{
    if (m_shared.isEmpty())
        return;
    int fixed = 0;
    for (int c = 0; c < m_header->count(); ++c) {
        if (!m_header->isSectionHidden(c) && !m_shared.contains(c))
            fixed += m_header->sectionSize(c);
    }
    const int free = m_view->width() - 2 * m_view->frameWidth() - fixed - m_allowance;
    const int share = std::max(free / int(m_shared.size()), m_header->minimumSectionSize() * 4);
    for (int c : m_shared) {
        if (c >= 0 && c < m_header->count())
            m_header->resizeSection(c, share);
    }
}

bool GridViewSupport::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            emit enterPressed();
            return true;
        }
        const QString text = key->text();
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && text.size() == 1 && text.at(0).unicode() >= 65 &&
            text.at(0).unicode() <= 122) {
            emit characterTyped(text);
            return true;
        }
    }
    if (watched == m_view && event->type() == QEvent::Resize)
        shareNow();
    // The type first: while the view is being destroyed its viewport still sends events, and the
    // view may no longer be asked for anything.
    if (event->type() == QEvent::MouseButtonRelease && watched == m_view->viewport()) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        emit mouseReleased(mouse->button(), mouse->globalPosition().toPoint());
    }
    return QObject::eventFilter(watched, event);
}
