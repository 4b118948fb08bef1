#pragma once

#include "data/GridColumn.h"

#include <QObject>
#include <QPoint>

class QAbstractItemView;
class QHeaderView;

// What every grid view shares: the column table applied to the header (captions come from the
// model), the row and header heights, and the notifications the windows rely on.
class GridViewSupport : public QObject {
    Q_OBJECT

public:
    // Watches the view and its viewport; owned by the view.
    explicit GridViewSupport(QAbstractItemView *view, QHeaderView *header);

    // Widths (twips), visibility and resizing of the columns; captions come from the model. A
    // column is never narrower than its caption or than a full date or amount in bold.
    void applyColumns(const QList<GridColumn> &columns);
    // Row height in pixels; the header is a tenth taller.
    void setRowHeight(int pixels);
    // Shares the width left by the other visible columns among these columns, keeping
    // allowance pixels free for the vertical scroll bar; done again whenever the view resizes.
    void shareFreeWidth(const QList<int> &columns, int allowance);

signals:
    // Enter on the grid (consumed).
    void enterPressed();
    // A printable letter (codes 65 to 122) typed on the grid.
    void characterTyped(const QString &text);
    // A mouse button released over the grid, at a global position.
    void mouseReleased(Qt::MouseButton button, const QPoint &globalPosition);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int minimumWidth(const GridColumn &column) const;
    void shareNow();

    QAbstractItemView *m_view;
    QHeaderView *m_header;
    QList<int> m_shared;
    int m_allowance = 0;
};
