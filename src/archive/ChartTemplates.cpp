#include "archive/ChartTemplates.h"

#include "data/Database.h"

using namespace Qt::StringLiterals;

namespace {

// Caption parameters with the defaults a new archive gets when the template leaves them empty.
const QList<std::pair<QString, QString>> CaptionDefaults = {
    {u"coDescrizione"_s, u"Conti d'ordine"_s},
    {u"spDescrizione"_s, u"Stato Patrimoniale"_s},
    {u"ceDescrizione"_s, u"Conto economico"_s},
    {u"attDescrizione"_s, u"Attività"_s},
    {u"pasDescrizione"_s, u"Passività"_s},
    {u"cosDescrizione"_s, u"Costi"_s},
    {u"ricDescrizione"_s, u"Ricavi"_s},
    {u"utileDescrizione"_s, u"Utile d'esercizio"_s},
    {u"perditaDescrizione"_s, u"Perdita d'esercizio"_s},
};

QString textOr(const QVariant &value, const QString &fallback)
{
    return value.isNull() || value.typeId() != QMetaType::QString ? fallback : value.toString();
}

} // namespace

QList<ChartTemplate> loadChartTemplates(const QString &pdcPath, QString *error)
{
    Connection connection(pdcPath, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return {};
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT * FROM lista"_s, {}, error))
        return {};
    QList<ChartTemplate> charts;
    while (query.next()) {
        ChartTemplate chart;
        chart.foglio = query.value(u"foglio"_s).toString();
        chart.nome = query.value(u"nome"_s).toString();
        chart.descrizione = query.value(u"Descrizione"_s).toString();
        for (const auto &[key, fallback] : CaptionDefaults)
            chart.captions.append({key, textOr(query.value(key), fallback)});
        charts.append(chart);
    }
    return charts;
}
