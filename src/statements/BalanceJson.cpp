#include "statements/BalanceJson.h"

#include "data/SqlText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QString levelName(BalanceLine::Level level)
{
    switch (level) {
    case BalanceLine::Level::Group:
        return u"gruppo"_s;
    case BalanceLine::Level::Ledger:
        return u"mastro"_s;
    case BalanceLine::Level::Account:
        return u"conto"_s;
    case BalanceLine::Level::SubAccount:
        break;
    }
    return u"sottoconto"_s;
}

QJsonObject sectionObject(const BalanceSection &section)
{
    const bool memorandum = section.nature == 0;
    QJsonArray lines;
    for (const BalanceLine &line : section.lines) {
        QJsonObject object{{u"level"_s, levelName(line.level)},
                           {u"code"_s, line.code},
                           {u"description"_s, line.description}};
        if (memorandum) {
            object.insert(u"debit"_s, decimalText(line.debit));
            object.insert(u"credit"_s, decimalText(line.credit));
        } else {
            object.insert(u"amount"_s, decimalText(line.amount));
        }
        lines.append(object);
    }
    QJsonObject object{
        {u"section"_s, section.caption}, {u"nature"_s, section.nature}, {u"lines"_s, lines}};
    if (memorandum) {
        object.insert(u"debitTotal"_s, decimalText(section.debitTotal));
        object.insert(u"creditTotal"_s, decimalText(section.creditTotal));
    } else {
        object.insert(u"total"_s, decimalText(section.total));
    }
    return object;
}

QJsonObject pairObject(const BalanceSection &left, const BalanceSection &right,
                       const PairFooter &footer)
{
    QJsonObject object{{u"left"_s, left.caption},
                       {u"right"_s, right.caption},
                       {u"leftTotal"_s, decimalText(footer.leftTotal)},
                       {u"rightTotal"_s, decimalText(footer.rightTotal)}};
    if (footer.leftResult)
        object.insert(u"leftResult"_s, decimalText(*footer.leftResult));
    if (footer.rightResult)
        object.insert(u"rightResult"_s, decimalText(*footer.rightResult));
    return object;
}

} // namespace

QByteArray balanceJson(const Balance &balance, BalanceKind kind)
{
    QJsonArray sections;
    for (const BalanceSection &section : balance.sections)
        sections.append(sectionObject(section));
    if (balance.memorandum)
        sections.append(sectionObject(*balance.memorandum));
    QJsonObject root{
        {u"report"_s, kind == BalanceKind::Sequential ? u"bilancio"_s : u"bilancio-contrapposto"_s},
        {u"from"_s, isoDate(balance.options.dateFrom)},
        {u"to"_s, isoDate(balance.options.dateTo)},
        {u"sections"_s, sections}};
    // Both kinds print the results, so both carry them.
    root.insert(u"pairs"_s, QJsonArray{pairObject(balance.section(1), balance.section(2),
                                                  balance.assetsAndLiabilities()),
                                       pairObject(balance.section(3), balance.section(4),
                                                  balance.costsAndRevenues())});
    if (balance.previousYearOpen)
        root.insert(u"notice"_s, previousYearOpenNotice());
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
