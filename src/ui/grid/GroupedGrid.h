#pragma once

#include <QTreeView>
#include <QVariant>

class GridDelegate;
class GridViewSupport;
class GroupedGridModel;

// The grouped grid: group rows with their captions painted across the row up to the first
// total, lines beneath them, and expanding or collapsing with drawing suspended. When the model
// is rebuilt, the groups that were open open again and the cursor goes back to its place, found
// by the groups' keys.
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
    // Open groups and the cursor, by the keys of their groups from the outermost down.
    struct Place {
        bool kept = false;
        QList<QVariantList> expanded;
        QVariantList current; // the current group row, or the group holding the current line
        int line = -1;        // the current line's row in its group; -1 on a group row
        int column = 0;
    };

    int captionRight(int captionLeft) const;
    void rememberPlace();
    void rememberExpanded(const QModelIndex &parent);
    void restorePlace();
    QVariantList keyPath(QModelIndex group) const;
    QModelIndex groupAt(const QVariantList &path) const;

    GroupedGridModel *m_model = nullptr;
    Place m_place;
    GridDelegate *m_delegate;
    GridViewSupport *m_support;
};
