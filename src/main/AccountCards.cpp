#include "main/AccountCards.h"

#include "data/PatternFormatter.h"
#include "main/MainViews.h"

using namespace Qt::StringLiterals;

namespace {

const char16_t *const FieldNames[AccountCards::ColumnCount] = {
    u"Natura", u"DescrizioneMastro", u"DescrizioneConto", u"Prog",  u"Dare", u"Avere",
    u"Saldo",  u"Contropartita",     u"Descrizione",      u"IdReg",
};

} // namespace

void AccountCards::build(const RowSet &rows, const QList<int> &resultRows)
{
    m_rows = &rows;
    for (int c = 0; c < ColumnCount; ++c)
        m_field[c] = rows.field(QString::fromUtf16(FieldNames[c]));
    m_accountIdField = rows.field(u"IdMastro"_s);
    m_subAccountIdField = rows.field(u"IdConto"_s);
    m_lines.assign(resultRows.cbegin(), resultRows.cend());
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

int AccountCards::nature(int line) const
{
    return value(line, Natura).toInt();
}

qint64 AccountCards::subAccountId(int line) const
{
    return m_rows->value(m_lines[size_t(line)], m_subAccountIdField).toLongLong();
}

Money AccountCards::signedAmount(int line) const
{
    return groupBalance(nature(line), Money::fromUnits(value(line, Dare).toLongLong()),
                        Money::fromUnits(value(line, Avere).toLongLong()));
}

QVariant AccountCards::groupKey(int level, int line) const
{
    switch (level) {
    case 0:
        return nature(line);
    case 1:
        return m_rows->value(m_lines[size_t(line)], m_accountIdField);
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

Money AccountCards::groupBalance(int nature, Money dare, Money avere)
{
    return nature < 3 ? dare - avere : avere - dare;
}

QString AccountCards::groupCaption(int level, const QString &name, Money balance)
{
    const QString shown = name.isEmpty() ? u"(vuoto)"_s : name;
    if (level == 0)
        return shown + u" "_s;
    static const PatternFormatter formatter;
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
