#include "main/AccountCards.h"

#include "data/ItalianCollation.h"
#include "data/Natures.h"
#include "main/MainViews.h"

#include <algorithm>
#include <numeric>
#include <tuple>
#include <unordered_map>

using namespace Qt::StringLiterals;

namespace {

const char16_t *const FieldNames[AccountCards::ColumnCount] = {
    u"Natura", u"DescrizioneMastro", u"DescrizioneConto", u"Prog",  u"Dare", u"Avere",
    u"Saldo",  u"Contropartita",     u"Descrizione",      u"IdReg",
};

} // namespace

void AccountCards::setRows(const RowSet &rows)
{
    m_rows = &rows;
    for (int c = 0; c < ColumnCount; ++c)
        m_field[c] = rows.field(QString::fromUtf16(FieldNames[c]));
    m_accountIdField = rows.field(u"IdMastro"_s);
    m_subAccountIdField = rows.field(u"IdConto"_s);
    m_rigaField = rows.field(u"Riga"_s);
    m_versionField = rows.field(u"Versione"_s);
    m_lines.clear();
    m_balances.clear();

    // The few hundred sub-accounts are ranked by name once; the rows then sort on numbers only.
    struct SubAccount {
        int natureRank;
        QString account;
        qint64 accountId;
        QString name;
        qint64 id;
    };
    std::vector<SubAccount> subAccounts;
    std::unordered_map<qint64, int> subAccountIndex;
    std::vector<int> subAccountOfRow(size_t(rows.rowCount()));
    std::vector<RowFacts> facts;
    facts.reserve(size_t(rows.rowCount()));
    for (int row = 0; row < rows.rowCount(); ++row) {
        const qint64 id = field(row, m_subAccountIdField);
        const int nature = int(field(row, m_field[Natura]));
        const qint64 account = field(row, m_accountIdField);
        facts.push_back(
            {id, account, nature, field(row, m_field[Dare]), field(row, m_field[Avere])});
        const auto [found, isNew] = subAccountIndex.try_emplace(id, int(subAccounts.size()));
        subAccountOfRow[size_t(row)] = found->second;
        if (isNew)
            subAccounts.push_back({Natures::sortRank(nature),
                                   rows.value(row, m_field[DescrizioneMastro]).toString(), account,
                                   rows.value(row, m_field[DescrizioneConto]).toString(), id});
    }
    std::vector<int> ranked(subAccounts.size());
    std::iota(ranked.begin(), ranked.end(), 0);
    std::sort(ranked.begin(), ranked.end(), [&subAccounts](int left, int right) {
        const SubAccount &a = subAccounts[size_t(left)];
        const SubAccount &b = subAccounts[size_t(right)];
        if (a.natureRank != b.natureRank)
            return a.natureRank < b.natureRank;
        if (const int c = compareItalian(a.account, b.account))
            return c < 0;
        if (a.accountId != b.accountId)
            return a.accountId < b.accountId;
        if (const int c = compareItalian(a.name, b.name))
            return c < 0;
        return a.id < b.id;
    });
    std::vector<int> rank(subAccounts.size());
    for (size_t i = 0; i < ranked.size(); ++i)
        rank[size_t(ranked[i])] = int(i);

    struct Key {
        int rank;
        int row;
        qint64 prog, entry, riga;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(rows.rowCount()));
    for (int row = 0; row < rows.rowCount(); ++row)
        keys.push_back({rank[size_t(subAccountOfRow[size_t(row)])], row, field(row, m_field[Prog]),
                        field(row, m_field[IdReg]), field(row, m_rigaField)});
    std::sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
        if (a.rank != b.rank)
            return a.rank < b.rank;
        return std::tie(b.prog, b.entry, b.riga, b.row) < std::tie(a.prog, a.entry, a.riga, a.row);
    });
    m_order.clear();
    m_order.reserve(keys.size());
    m_facts.clear();
    m_facts.reserve(keys.size());
    for (const Key &key : keys) {
        m_order.push_back(key.row);
        m_facts.push_back(facts[size_t(key.row)]);
    }
}

void AccountCards::build(const QList<int> &resultRows)
{
    m_lines.clear();
    m_lineFacts.clear();
    if (!m_rows)
        return;
    if (resultRows.size() == m_rows->rowCount()) {
        m_lines = m_order;
    } else {
        std::vector<bool> kept(size_t(m_rows->rowCount()), false);
        for (int row : resultRows)
            kept[size_t(row)] = true;
        for (size_t i = 0; i < m_order.size(); ++i) {
            if (kept[size_t(m_order[i])]) {
                m_lines.push_back(m_order[i]);
                m_lineFacts.push_back(m_facts[i]);
            }
        }
    }
    m_balances.assign(m_lines.size(), 0);

    qint64 balance = 0;
    for (int line = lineCount() - 1; line >= 0; --line) {
        const bool runStarts =
            line == lineCount() - 1 || subAccountId(line) != subAccountId(line + 1);
        balance = (runStarts ? 0 : balance) + signedAmount(line).units();
        m_balances[size_t(line)] = balance;
    }
}

QVariant AccountCards::value(int line, int column) const
{
    if (column == Saldo)
        return m_balances[size_t(line)];
    const int field = m_field[column];
    return field < 0 ? QVariant() : m_rows->value(m_lines[size_t(line)], field);
}

qint64 AccountCards::amount(int line, int column) const
{
    switch (column) {
    case Dare:
        return facts(line).dare;
    case Avere:
        return facts(line).avere;
    case Saldo:
        return m_balances[size_t(line)];
    default:
        return field(m_lines[size_t(line)], m_field[column]);
    }
}

int AccountCards::nature(int line) const
{
    return facts(line).nature;
}

qint64 AccountCards::subAccountId(int line) const
{
    return facts(line).subAccount;
}

qint64 AccountCards::entryVersion(int line) const
{
    return m_rows->value(m_lines[size_t(line)], m_versionField).toLongLong();
}

Money AccountCards::signedAmount(int line) const
{
    const RowFacts &f = facts(line);
    return Natures::saldo(f.nature, Money::fromUnits(f.dare), Money::fromUnits(f.avere));
}

QVariant AccountCards::groupKey(int level, int line) const
{
    switch (level) {
    case 0:
        return nature(line);
    case 1:
        return facts(line).account;
    default:
        return subAccountId(line);
    }
}

QString AccountCards::cellStyle(int line, int column) const
{
    if (column == Avere && value(line, Avere).toLongLong() < 0)
        return u"Rosso"_s;
    return {};
}

QString AccountCards::groupCaption(int level, const QString &name, Money balance,
                                   const PatternFormatter &formatter)
{
    const QString shown = name.isEmpty() ? u"(vuoto)"_s : name;
    if (level == 0)
        return shown + u" "_s;
    return shown + u" "_s + formatter.format(balance, uR"( \[+#,#.00\]; \[-#,#.00\]; )");
}

QList<GridColumn> AccountCards::columns(const QStringList &natureNames)
{
    GridColumn natura = GridColumn::hidden(u"Natura"_s);
    for (int nature = 0; nature < natureNames.size(); ++nature)
        natura.valueList.append({nature, natureCardCaption(nature, natureNames)});
    GridColumn prog = GridColumn::text(u"Prog"_s, u"Progr.vo"_s, 960);
    prog.kind = GridColumn::Kind::Integer;
    prog.alignment = Qt::AlignRight | Qt::AlignVCenter;
    const QString amounts = u"#,#.00 ;-#,#.00 ; "_s;
    const QString totals = u"#,#.00;-#,#.00;-"_s;
    GridColumn dare = GridColumn::money(u"Dare"_s, u"Dare "_s, 1280, amounts);
    GridColumn avere = GridColumn::money(u"Avere"_s, u"Avere "_s, 1280, amounts);
    GridColumn saldo =
        GridColumn::money(u"Saldo"_s, u"Saldo prog.vo "_s, 1280, u"#,#.00 ;-#,#.00 ;- "_s);
    for (GridColumn *summed : {&dare, &avere, &saldo})
        summed->sumPattern = totals;
    return {natura,
            GridColumn::hidden(u"DescrizioneMastro"_s),
            GridColumn::hidden(u"DescrizioneConto"_s),
            prog,
            dare,
            avere,
            saldo,
            GridColumn::text(u"Contropartita"_s, u"Contropartita"_s),
            GridColumn::text(u"Descrizione"_s, u"Descrizione"_s),
            GridColumn::hidden(u"IdReg"_s)};
}
