#include "data/AccountFinder.h"

#include "data/Database.h"
#include "data/FiscalEnvironment.h"

using namespace Qt::StringLiterals;

namespace {

GridColumn bold(GridColumn column)
{
    column.style = u"grassetto"_s;
    return column;
}

QString natureName(const QVariant &tipo, const QStringList &natureNames)
{
    return natureNames.value(tipo.toInt());
}

} // namespace

QString finderSeparator()
{
    return u"  \u2022  "_s;
}

const FinderDefinition &finderDefinition(FinderLevel level)
{
    static const FinderDefinition mastri{
        u"Cerca un Mastro"_s,
        u"SELECT id, descrizione AS mDescrizione, tipo FROM mastri ORDER BY tipo, prefisso"_s,
        u"cDesc"_s,
        {u"mDescrizione"_s},
        u"[INVIO]  Inserire un record  -  [ESC] Annullare"_s,
    };
    static const FinderDefinition conti{
        u"Cerca un Conto"_s,
        u"SELECT conti.id, conti.descrizione AS cDescrizione, mastri.descrizione AS mDescrizione, "
        "mastri.tipo\r\n"
        "FROM conti INNER JOIN mastri ON conti.idMastro = mastri.id\r\n"
        "ORDER BY mastri.tipo, mastri.prefisso, conti.prefisso"_s,
        u"cDesc"_s,
        {u"cDescrizione"_s, u"mDescrizione"_s},
        u"[INVIO]  Inserire un record  -  [ESC] Annullare"_s,
    };
    static const FinderDefinition sottoconti{
        u"Cerca un Sottoconto"_s,
        u"SELECT sottoconti.id, sottoconti.descrizione AS sDescrizione, conti.descrizione AS "
        "cDescrizione, mastri.descrizione AS mDescrizione, mastri.tipo\r\n"
        "FROM (sottoconti INNER JOIN conti ON sottoconti.idConto = conti.id) INNER JOIN mastri "
        "ON conti.idMastro = mastri.id\r\n"
        "ORDER BY mastri.tipo, mastri.prefisso, conti.prefisso, italiano(sottoconti.descrizione)"_s,
        u"cmDesc"_s,
        {u"sDescrizione"_s, u"cDescrizione"_s, u"mDescrizione"_s},
        u"[INVIO] Inserire un Sottoconto  -  [F5] Nuovo Sottoconto  -  [ESC] Annullare"_s,
    };
    switch (level) {
    case FinderLevel::Mastri:
        return mastri;
    case FinderLevel::Conti:
        return conti;
    case FinderLevel::Sottoconti:
        break;
    }
    return sottoconti;
}

QList<GridColumn> finderColumns(FinderLevel level)
{
    const QString preview = finderDefinition(level).previewField;
    switch (level) {
    case FinderLevel::Mastri:
        return {GridColumn::hidden(u"id"_s), bold(GridColumn::text(u"mDescrizione"_s, u"Mastro"_s)),
                GridColumn::hidden(u"tipo"_s), GridColumn::hidden(preview)};
    case FinderLevel::Conti:
        return {GridColumn::hidden(u"id"_s), bold(GridColumn::text(u"cDescrizione"_s, u"Conto"_s)),
                GridColumn::hidden(u"mDescrizione"_s), GridColumn::hidden(u"tipo"_s),
                GridColumn::hidden(preview)};
    case FinderLevel::Sottoconti:
        break;
    }
    return {GridColumn::hidden(u"id"_s),
            bold(GridColumn::text(u"sDescrizione"_s, u"Sottoconto"_s, 5000)),
            GridColumn::hidden(u"cDescrizione"_s),
            GridColumn::hidden(u"mDescrizione"_s),
            GridColumn::hidden(u"tipo"_s),
            GridColumn::hidden(preview)};
}

bool loadFinderRows(const Archive &archive, FinderLevel level, const QStringList &natureNames,
                    RowSet *rows, QString *error)
{
    const FinderDefinition &definition = finderDefinition(level);
    RowSet read;
    {
        Connection connection(archive, Connection::Mode::ReadOnly);
        if (!connection.opened(error)) {
            rows->reset({}, {});
            return false;
        }
        if (!read.load(connection, definition.statement, {}, error)) {
            rows->reset({}, {});
            return false;
        }
    }
    const int tipo = read.field(u"tipo"_s);
    const int conto = read.field(u"cDescrizione"_s);
    const int mastro = read.field(u"mDescrizione"_s);
    const QString separator = finderSeparator();
    std::vector<QVariant> values;
    values.reserve(size_t(read.rowCount()) * size_t(read.fields().size() + 1));
    for (int row = 0; row < read.rowCount(); ++row) {
        for (int column = 0; column < read.fields().size(); ++column)
            values.push_back(read.value(row, column));
        QString preview = natureName(read.value(row, tipo), natureNames);
        if (level != FinderLevel::Mastri)
            preview = read.value(row, mastro).toString() + separator + preview;
        if (level == FinderLevel::Sottoconti)
            preview = read.value(row, conto).toString() + separator + preview;
        values.push_back(preview);
    }
    rows->reset(read.fields() + QStringList{definition.previewField}, std::move(values));
    return true;
}

QStringList archiveNatureNames(const Archive &archive)
{
    // A parameter that cannot be read leaves its default name: the finder still works.
    FiscalEnvironment environment(archive);
    environment.refresh();
    return environment.natureNames();
}
