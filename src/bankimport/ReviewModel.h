#pragma once

#include "bankimport/BankImport.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPair>

// The movements of a statement under review, one a row: the tick, the text and the counterpart
// are edited, the rest is shown.
class ReviewModel : public QAbstractTableModel {
public:
    enum Column {
        Registra,
        Data,
        Importo,
        Descrizione,
        Controparte,
        Sottoconto,
        Motivo,
        Stato,
        Count
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setMovements(QList<ReviewedMovement> movements);
    QList<ReviewedMovement> &movements() { return m_movements; }
    void setNames(const QList<QPair<QVariant, QString>> &choices);
    const QList<QPair<QVariant, QString>> &choices() const { return m_choices; }
    void refresh()
    {
        if (rowCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, Count - 1));
    }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QVariant data(const QModelIndex &index, int role) const override;

    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

    // A counterpart chosen by the user: an id of the list, or nothing for text that names none.
    bool setCounterpart(int row, const QVariant &value);

    static bool isOpen(const ReviewedMovement &item);

private:
    static QString stateOf(const ReviewedMovement &item);

    QList<ReviewedMovement> m_movements;
    QList<QPair<QVariant, QString>> m_choices;
    QHash<qint64, QString> m_names;
};
