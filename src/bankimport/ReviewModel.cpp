#include "bankimport/ReviewModel.h"

#include "data/PatternFormatter.h"

#include <QColor>

using namespace Qt::StringLiterals;

void ReviewModel::setMovements(QList<ReviewedMovement> movements)
{
    beginResetModel();
    m_movements = std::move(movements);
    endResetModel();
}

void ReviewModel::setNames(const QList<QPair<QVariant, QString>> &choices)
{
    m_choices = choices;
    m_names.clear();
    for (const auto &[id, name] : choices)
        m_names.insert(id.toLongLong(), name);
}

int ReviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_movements.size());
}

int ReviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Count;
}

QVariant ReviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList captions{u"Registra"_s,    u"Data"_s,        u"Importo"_s,
                                      u"Descrizione"_s, u"Controparte"_s, u"Sottoconto"_s,
                                      u"Motivo"_s,      u"Stato"_s};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return captions.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ReviewModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const ReviewedMovement &item = m_movements[index.row()];
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!isOpen(item))
        return flags;
    if (index.column() == Registra)
        flags |= Qt::ItemIsUserCheckable;
    if ((index.column() == Descrizione || index.column() == Sottoconto) && !item.usesMatch())
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant ReviewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const ReviewedMovement &item = m_movements[index.row()];
    // Ticked: booked as a new entry. A movement already typed by hand is linked to its entry
    // instead, until the user ticks it.
    if (role == Qt::CheckStateRole && index.column() == Registra)
        return item.ticked && isOpen(item) && !item.usesMatch() ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::TextAlignmentRole && index.column() == Importo)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ForegroundRole && !isOpen(item))
        return QColor(Qt::darkGray);
    if (role == Qt::EditRole && index.column() == Sottoconto)
        return item.counterpart != 0 ? QVariant(item.counterpart) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
        return {};
    switch (index.column()) {
    case Data:
        return item.movement.bookingDate.toString(u"dd/MM/yyyy"_s);
    case Importo:
        return PatternFormatter().format(item.movement.amount, u"#,##0.00"_s);
    case Descrizione:
        return item.description;
    case Controparte:
        return item.movement.counterparty;
    case Sottoconto:
        return m_names.value(item.counterpart);
    case Motivo:
        return item.reason;
    case Stato:
        return stateOf(item);
    default:
        return {};
    }
}

bool ReviewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    ReviewedMovement &item = m_movements[index.row()];
    if (index.column() == Registra && role == Qt::CheckStateRole && item.match) {
        item.useMatch = value.toInt() != Qt::Checked;
        item.ticked = true;
    } else if (index.column() == Registra && role == Qt::CheckStateRole) {
        item.ticked = value.toInt() == Qt::Checked;
    } else if (index.column() == Descrizione && role == Qt::EditRole) {
        item.description = value.toString().simplified();
    } else if (index.column() == Sottoconto && role == Qt::EditRole) {
        return setCounterpart(index.row(), value);
    } else {
        return false;
    }
    emit dataChanged(this->index(index.row(), 0), this->index(index.row(), Count - 1));
    return true;
}

bool ReviewModel::setCounterpart(int row, const QVariant &value)
{
    ReviewedMovement &item = m_movements[row];
    const qint64 id = value.toLongLong();
    if (value.typeId() == QMetaType::QString || (!value.isNull() && !m_names.contains(id)))
        return false;
    item.counterpart = value.isNull() ? 0 : id;
    item.reason = value.isNull() ? QString() : u"scelto"_s;
    item.refusal.clear();
    emit dataChanged(index(row, 0), index(row, Count - 1));
    return true;
}

bool ReviewModel::isOpen(const ReviewedMovement &item)
{
    return !item.alreadyImported && !item.waiting && item.entryId == 0;
}

QString ReviewModel::stateOf(const ReviewedMovement &item)
{
    if (item.entryId != 0)
        return (item.usesMatch() ? u"collegato alla n. %1"_s : u"registrato n. %1"_s)
            .arg(item.number.toLongLong());
    if (!item.refusal.isEmpty())
        return u"rifiutato: "_s + item.refusal;
    return item.stateText();
}
