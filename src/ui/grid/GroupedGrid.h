#pragma once

#include <QTreeView>

class GridDelegate;
class GridViewSupport;
class GroupedGridModel;

// The grouped grid: group rows with their captions painted across the row up to the first
// total, lines beneath them, and expanding or collapsing with drawing suspended.
class GroupedGrid : public QTreeView {
    Q_OBJECT

public:
    explicit GroupedGrid(QWidget *parent = nullptr);

    // Sets the model and applies its column table; the caption column holds the tree.
    void setGroupedModel(GroupedGridModel *model);
    GroupedGridModel *groupedModel() const { return m_model; }
    void setRowHeight(int pixels);
    GridViewSupport *support() const { return m_support; }

    // Every group row open.
    void expandEverything();
    // Outermost group rows open, every deeper one closed.
    void collapseToFirstLevel();

protected:
    void drawRow(QPainter *painter, const QStyleOptionViewItem &option,
                 const QModelIndex &index) const override;

private:
    int captionRight(int captionLeft) const;

    GroupedGridModel *m_model = nullptr;
    GridDelegate *m_delegate;
    GridViewSupport *m_support;
};
