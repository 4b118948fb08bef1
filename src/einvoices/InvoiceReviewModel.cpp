#include "einvoices/InvoiceReviewModel.h"

#include "data/PatternFormatter.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

// A date as typed: day, month and year apart by '/', '.' or '-', the year of two or four digits.
QDate typedDate(const QString &text)
{
    static const QRegularExpression pattern(
        uR"(^\s*(\d{1,2})[/.-](\d{1,2})[/.-](\d{2}|\d{4})\s*$)"_s);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    const int year = match.captured(3).toInt();
    return QDate(match.captured(3).size() == 2 ? 2000 + year : year, match.captured(2).toInt(),
                 match.captured(1).toInt());
}

} // namespace

void InvoiceReviewModel::setBatches(QList<InvoiceBatch> batches)
{
    beginResetModel();
    m_batches = std::move(batches);
    m_rows.clear();
    for (qsizetype b = 0; b < m_batches.size(); ++b)
        for (qsizetype i = 0; i < m_batches[b].invoices.size(); ++i)
            m_rows.append({b, i});
    endResetModel();
}

void InvoiceReviewModel::setNames(const QList<QPair<QVariant, QString>> &choices)
{
    m_choices = choices;
    m_names.clear();
    for (const auto &[id, name] : choices)
        m_names.insert(id.toLongLong(), name);
}

InvoiceReview &InvoiceReviewModel::invoiceAt(int row)
{
    const auto [batch, invoice] = m_rows[row];
    return m_batches[batch].invoices[invoice];
}

const InvoiceReview &InvoiceReviewModel::invoiceAt(int row) const
{
    const auto [batch, invoice] = m_rows[row];
    return m_batches[batch].invoices[invoice];
}

void InvoiceReviewModel::assign(int row, qint64 subAccount)
{
    assignSubAccount(invoiceAt(row), subAccount);
    emit dataChanged(index(row, 0), index(row, Count - 1));
}

void InvoiceReviewModel::refresh()
{
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, Count - 1));
}

bool InvoiceReviewModel::isOpen(const InvoiceReview &item)
{
    return item.state == InvoiceState::New || item.state == InvoiceState::ToAssign;
}

qint64 InvoiceReviewModel::subAccountOf(const InvoiceReview &item)
{
    if (item.assignableRows.isEmpty())
        return 0;
    const EntryRow &row = item.entry.rows[item.assignableRows.first()];
    return (row.contodare.isNull() ? row.contoavere : row.contodare).toLongLong();
}

int InvoiceReviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int InvoiceReviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count;
}

QVariant InvoiceReviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList captions{u"Registra"_s,      u"Tipo"_s,     u"Data"_s,
                                      u"Registrazione"_s, u"Numero"_s,   u"Controparte"_s,
                                      u"Imponibile"_s,    u"IVA"_s,      u"Totale"_s,
                                      u"Sottoconto"_s,    u"Proposta"_s, u"Stato"_s};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return captions.value(section);
}

Qt::ItemFlags InvoiceReviewModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (!index.isValid())
        return flags;
    const InvoiceReview &item = invoiceAt(index.row());
    if (index.column() == Registra && isOpen(item))
        flags |= Qt::ItemIsUserCheckable;
    if ((index.column() == Sottoconto || index.column() == Registrazione) && isOpen(item))
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant InvoiceReviewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const InvoiceReview &item = invoiceAt(index.row());
    const ElectronicInvoice &invoice = item.invoice;
    if (role == Qt::CheckStateRole && index.column() == Registra)
        return isOpen(item) ? QVariant(item.ticked ? Qt::Checked : Qt::Unchecked) : QVariant();
    if (role == Qt::EditRole && index.column() == Sottoconto)
        return subAccountOf(item);
    if (role == Qt::TextAlignmentRole && index.column() >= Imponibile && index.column() <= Totale)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == Stato && !item.warnings.isEmpty())
        return item.warnings.join(u'\n');
    if (role != Qt::DisplayRole)
        return {};
    const PatternFormatter format;
    switch (index.column()) {
    case Direzione:
        return item.direction == InvoiceDirection::Purchase ? u"acquisto"_s : u"vendita"_s;
    case Data:
        return format.format(invoice.date, u"dd/mm/yyyy");
    case Registrazione:
        return format.format(item.entry.header.data, u"dd/mm/yyyy");
    case Numero:
        return invoice.number;
    case Controparte:
        return item.counterpartParty().name;
    case Imponibile:
        return format.format(invoice.taxable(), u"#,##0.00");
    case Iva:
        return format.format(invoice.tax(), u"#,##0.00");
    case Totale:
        return format.format(invoice.total(), u"#,##0.00");
    case Sottoconto:
        return m_names.value(subAccountOf(item));
    case Motivo:
        return item.proposalReason;
    case Stato:
        return invoiceStateText(item) + (item.warnings.isEmpty() ? QString() : u" (avvisi)"_s);
    }
    return {};
}

bool InvoiceReviewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !isOpen(invoiceAt(index.row())))
        return false;
    if (index.column() == Registra && role == Qt::CheckStateRole) {
        invoiceAt(index.row()).ticked = value.toInt() == Qt::Checked;
        emit dataChanged(index, index);
        return true;
    }
    if (index.column() == Sottoconto && role == Qt::EditRole) {
        assign(index.row(), value.toLongLong());
        return true;
    }
    if (index.column() == Registrazione && role == Qt::EditRole) {
        QString why;
        const QDate date = typedDate(value.toString());
        if (!date.isValid())
            why = u"Data non valida: \"%1\" (gg/mm/aaaa)."_s.arg(value.toString());
        else if (setRegistrationDate(invoiceAt(index.row()), date, &why)) {
            emit dataChanged(index, index);
            return true;
        }
        if (m_showRefusal)
            m_showRefusal(why);
        return false;
    }
    return false;
}
