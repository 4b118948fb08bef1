#include "main/MainViews.h"

#include "data/FiscalEnvironment.h"
#include "data/Natures.h"
#include "data/SqlText.h"

using namespace Qt::StringLiterals;

QString natureCardCaption(int nature, const QStringList &names)
{
    return u"%1. %2"_s.arg(Natures::sortRank(nature)).arg(names.value(nature));
}

namespace {

// Clauses are joined by line breaks so that the statement reads well in logs and errors.
QString clauses(std::initializer_list<QString> parts)
{
    return QStringList(parts).join(u"\r\n"_s);
}

QList<MainViewDefinition> buildDefinitions()
{
    QList<MainViewDefinition> views(MainViewCount);
    views[0] = {
        u"Schede"_s,
        46,
        u"Cerca nelle descrizioni dei Conti e Sottoconti"_s,
        clauses({u"SELECT schede.mTipo AS Natura, schede.cDescrizione AS DescrizioneMastro, "
                 u"schede.sDescrizione AS DescrizioneConto, schede.progressivo AS Prog, "
                 u"schede.dare AS Dare, schede.avere AS Avere, "
                 u"schede.contropartita AS Contropartita, schede.descrizione AS Descrizione, "
                 u"schede.rmId AS IdReg, schede.cId AS IdMastro, schede.conto AS IdConto, "
                 u"schede.riga AS Riga, schede.versione AS Versione"_s,
                 // The account cards order their lines themselves, as the grouped grid sorts
                 // its groups by name.
                 u"FROM schede"_s, u"WHERE schede.data BETWEEN ? AND ?"_s}),
        {u"DescrizioneConto"_s, u"DescrizioneMastro"_s},
        {u"Contropartita"_s, u"Descrizione"_s},
        6,
    };
    views[1] = {
        u"Movimenti"_s,
        47,
        u"Cerca nelle Descrizioni e nei Sottoconti del dettaglio Movimenti"_s,
        clauses({u"SELECT regmain.id, regmain.data, regmain.progressivo, regdet.riga, "
                 u"sottoconti.descrizione AS contoindare, "
                 u"sottoconti_1.descrizione AS contoinavere, regdet.importo, "
                 u"regdet.descrizione, regmain.tipo, regmain.attached, regmain.versione"_s,
                 u"FROM ((regdet LEFT JOIN sottoconti ON regdet.contodare = sottoconti.id) "
                 u"LEFT JOIN sottoconti AS sottoconti_1 ON regdet.contoavere = sottoconti_1.id) "
                 u"INNER JOIN regmain ON regdet.idRegMain = regmain.id"_s,
                 u"WHERE regmain.data BETWEEN ? AND ?"_s,
                 u"ORDER BY regmain.progressivo DESC NULLS LAST, regdet.riga"_s}),
        {u"descrizione"_s, u"contoindare"_s, u"contoinavere"_s},
        {u"contoindare"_s, u"contoinavere"_s, u"descrizione"_s},
        3,
    };
    views[2] = {
        u"Mastri"_s,
        45,
        u"Cerca nelle Descrizioni dei Mastri e dei Gruppi"_s,
        clauses(
            {u"SELECT mastri.id, mastri.descrizione, mastri.gruppo, mastri.tipo"_s,
             u"FROM mastri"_s,
             u"ORDER BY mastri.tipo, italiano(mastri.gruppo) NULLS FIRST, italiano(mastri.descrizione)"_s}),
        {u"descrizione"_s, u"gruppo"_s},
        {u"descrizione"_s, u"gruppo"_s},
        2,
    };
    views[3] = {
        u"Conti"_s,
        11,
        u"Cerca nelle Descrizioni dei Conti e dei Mastri"_s,
        clauses({u"SELECT conti.id, conti.descrizione, mastri.descrizione AS mastro, "
                 u"mastri.tipo, conti.bilancio"_s,
                 u"FROM conti INNER JOIN mastri ON conti.idMastro = mastri.id"_s,
                 u"ORDER BY mastri.tipo, mastri.prefisso, italiano(mastri.descrizione), "
                 u"conti.prefisso, "
                 u"italiano(conti.descrizione)"_s}),
        {u"descrizione"_s, u"mastro"_s},
        {u"descrizione"_s, u"mastro"_s},
        2,
    };
    views[4] = {
        u"Sottoconti"_s,
        31,
        u"Cerca nelle Descrizioni dei Sottoconti e dei Conti"_s,
        clauses({u"SELECT sottoconti.id, sottoconti.descrizione, sottoconti.note, "
                 u"conti.descrizione AS conto, mastri.tipo"_s,
                 u"FROM (conti INNER JOIN sottoconti ON conti.id = sottoconti.idConto) "
                 u"INNER JOIN mastri ON conti.idMastro = mastri.id"_s,
                 u"ORDER BY mastri.tipo, conti.prefisso, italiano(sottoconti.descrizione), "
                 u"italiano(conti.descrizione)"_s}),
        {u"descrizione"_s, u"conto"_s},
        {u"descrizione"_s, u"conto"_s},
        2,
    };
    return views;
}

GridColumn natureColumn(const QStringList &names)
{
    GridColumn column = GridColumn::text(u"tipo"_s, u"Natura"_s, 1424);
    for (int nature = 0; nature < names.size(); ++nature)
        column.valueList.append({nature, names.at(nature)});
    return column;
}

GridColumn styled(GridColumn column, const QString &style)
{
    column.style = style;
    return column;
}

GridColumn iconColumn(const QString &field, int widthTwips)
{
    GridColumn column = GridColumn::text(field, QString(), widthTwips);
    column.iconColumn = true;
    column.resizable = false;
    column.alignment = Qt::AlignCenter;
    return column;
}

QList<GridColumn> journalColumns()
{
    GridColumn data = GridColumn::text(u"data"_s, u"Data"_s, 1140);
    data.kind = GridColumn::Kind::Date;
    data.alignment = Qt::AlignCenter;
    GridColumn progressivo = GridColumn::text(u"progressivo"_s, u"Prog.vo"_s, 860);
    progressivo.kind = GridColumn::Kind::Integer;
    progressivo.alignment = Qt::AlignRight | Qt::AlignVCenter;
    return {GridColumn::hidden(u"id"_s),
            data,
            progressivo,
            GridColumn::hidden(u"riga"_s),
            GridColumn::text(u"contoindare"_s, u"Sottoconto in dare"_s),
            GridColumn::text(u"contoinavere"_s, u"Sottoconto in avere"_s),
            GridColumn::money(u"importo"_s, u"Importo "_s, 1200, u"#,#.00 "_s),
            GridColumn::text(u"descrizione"_s, u"Descrizione"_s),
            GridColumn::hidden(u"tipo"_s),
            iconColumn(u"attached"_s, 340),
            GridColumn::hidden(u"versione"_s)};
}

} // namespace

const MainViewDefinition &mainViewDefinition(MainView view)
{
    static const QList<MainViewDefinition> definitions = buildDefinitions();
    return definitions.at(int(view));
}

QVariantList mainViewBindings(MainView view, const QDate &first, const QDate &last)
{
    if (view == MainView::Schede || view == MainView::Movimenti)
        return {isoDate(first), isoDate(last)};
    return {};
}

QList<GridColumn> mainViewColumns(MainView view, const QStringList &natureNames)
{
    switch (view) {
    case MainView::Movimenti:
        return journalColumns();
    case MainView::Mastri:
        return {GridColumn::hidden(u"id"_s),
                styled(GridColumn::text(u"descrizione"_s, u"Mastro"_s), u"grassetto"_s),
                GridColumn::text(u"gruppo"_s, u"Gruppo"_s), natureColumn(natureNames)};
    case MainView::Conti:
        return {GridColumn::hidden(u"id"_s),
                styled(GridColumn::text(u"descrizione"_s, u"Conto"_s), u"grassetto"_s),
                GridColumn::text(u"mastro"_s, u"Mastro"_s), natureColumn(natureNames),
                iconColumn(u"bilancio"_s, 320)};
    case MainView::Sottoconti:
        return {GridColumn::hidden(u"id"_s),
                styled(GridColumn::text(u"descrizione"_s, u"SottoConto"_s), u"grassetto"_s),
                GridColumn::hidden(u"note"_s), GridColumn::text(u"conto"_s, u"Conto"_s),
                natureColumn(natureNames)};
    case MainView::Schede:
        break;
    }
    return {};
}

QString journalRowStyle(const QVariant &tipo)
{
    switch (tipo.toInt()) {
    case -1:
        return u"chiusura"_s;
    case 1:
        return u"apertura"_s;
    default:
        return {};
    }
}

int attachmentIcon(const QVariant &attached)
{
    return attached.isNull() || attached.toString().isEmpty() ? -1 : GridIcon::PaperClip;
}

int balanceMarkIcon(const QVariant &bilancio)
{
    return bilancio.toInt() > 0 ? GridIcon::Mark : -1;
}

PopupMenuRules popupMenuRules(MainView view, bool hasRecord, const QVariant &attached)
{
    PopupMenuRules rules;
    if (!hasRecord)
        return rules;
    rules.edit = true;
    rules.remove = true;
    if (view == MainView::Movimenti) {
        rules.duplicate = true;
        rules.openAttachment = attachmentIcon(attached) >= 0;
    }
    return rules;
}
