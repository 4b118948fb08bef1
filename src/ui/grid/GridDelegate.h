#pragma once

#include <QStyledItemDelegate>

// Draws the cells of every grid: icons centred in icon columns, a small button at the right of
// cells that have one, and nothing in the caption cell of group rows (the grouped grid paints
// the caption across the row itself).
class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit GridDelegate(QObject *parent = nullptr);

    // The column whose group-row cells the grouped grid paints; -1 for none.
    void setCaptionColumn(int column) { m_captionColumn = column; }
    // Height of every row in pixels; 0 leaves it to the style.
    void setRowHeight(int pixels) { m_rowHeight = pixels; }

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

signals:
    void buttonClicked(const QModelIndex &index);

private:
    static QRect buttonRect(const QRect &cell);

    int m_captionColumn = -1;
    int m_rowHeight = 0;
};
