#pragma once

#include "einvoices/InvoiceImport.h"

#include <QAbstractTableModel>
#include <QHash>

#include <functional>

// The invoices under review, one a row: the tick, what the invoice is, its registration date
// (typed), its figures, the sub-account of its costs or revenues (typed), the proposal's reason
// and the state.
class InvoiceReviewModel : public QAbstractTableModel {
public:
    enum Column {
        Registra,
        Direzione,
        Data,
        Registrazione,
        Numero,
        Controparte,
        Imponibile,
        Iva,
        Totale,
        Sottoconto,
        Motivo,
        Stato,
        Count
    };

    using QAbstractTableModel::QAbstractTableModel;

    void setBatches(QList<InvoiceBatch> batches);
    QList<InvoiceBatch> &batches() { return m_batches; }
    void setNames(const QList<QPair<QVariant, QString>> &choices);
    const QList<QPair<QVariant, QString>> &choices() const { return m_choices; }
    QString nameOf(qint64 subAccount) const { return m_names.value(subAccount); }
    // The invoice of a row.
    InvoiceReview &invoiceAt(int row);
    const InvoiceReview &invoiceAt(int row) const;
    void assign(int row, qint64 subAccount);
    void refresh();
    // Told why a typed value is refused.
    void setRefusalShown(std::function<void(const QString &)> show)
    {
        m_showRefusal = std::move(show);
    }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

private:
    // Whether the invoice may still be booked, ticked or given a sub-account.
    static bool isOpen(const InvoiceReview &item);
    // The sub-account of the invoice's rows of costs or revenues; 0 when none.
    static qint64 subAccountOf(const InvoiceReview &item);

    QList<InvoiceBatch> m_batches;
    QList<std::pair<qsizetype, qsizetype>> m_rows; // (batch, invoice) of each row
    QList<QPair<QVariant, QString>> m_choices;
    QHash<qint64, QString> m_names;
    std::function<void(const QString &)> m_showRefusal;
};
