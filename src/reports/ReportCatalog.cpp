#include "reports/ReportCatalog.h"

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

const QList<ReportEntry> &reportCatalog()
{
    static const QList<ReportEntry> reports = {
        {ReportCode::MovimentiVerticale, 1, u"Movimenti contabili verticale"_s,
         u"Movimenti contabili verticale"_s, u"movimenti"_s},
        {ReportCode::MovimentiOrizzontale, 1, u"Movimenti contabili orizzontale"_s,
         u"Movimenti contabili orizzontale"_s, u"movimenti-orizzontale"_s},
        {ReportCode::SchedeVerticale, 1, u"Schede contabili verticale"_s,
         u"Schede contabili verticale"_s, u"schede"_s},
        {ReportCode::SchedeOrizzontale, 1, u"Schede contabili orizzontale"_s,
         u"Schede contabili orizzontale"_s, u"schede-orizzontale"_s},
        {ReportCode::Bilancio, 2, u"Bilancio"_s,
         u"In questo Bilancio vengono riportati i Saldi per Mastro e Conto suddivisi in "
         u"Attività, Passività, Costi, Ricavi e Conti d'Ordine"_s,
         u"bilancio"_s, true},
        {ReportCode::BilancioSezioniContrapposte, 2, u"Bilancio a Sezioni contrapposte"_s,
         u"In questo Bilancio vengono riportati i Saldi per Mastro e Conto in sezioni "
         u"contrapposte (Attività/Passività - Costi/Ricavi)"_s,
         u"bilancio-contrapposto"_s, true},
        {ReportCode::GiornaleContabile, 1, u"Giornale contabile"_s, u"Giornale contabile"_s,
         u"giornale"_s},
        {ReportCode::RendicontoCassa, 2, u"Rendiconto per cassa (Mod. D)"_s,
         u"Rendiconto per cassa degli enti del Terzo settore (Mod. D) dell'esercizio che "
         u"comprende la data iniziale, con l'esercizio precedente"_s,
         u"rendiconto-cassa"_s, true},
        {ReportCode::RiconciliazioneBancaria,
         1,
         u"Riconciliazione bancaria"_s,
         {},
         u"riconciliazione"_s,
         true,
         false},
        {ReportCode::PianoDeiConti, 1, u"Piano dei conti"_s, {}, u"pdc"_s, false, false},
    };
    return reports;
}

std::optional<ReportEntry> reportEntry(int code)
{
    const QList<ReportEntry> &reports = reportCatalog();
    const auto found =
        std::find_if(reports.begin(), reports.end(),
                     [code](const ReportEntry &entry) { return entry.code == code; });
    if (found == reports.end())
        return std::nullopt;
    return *found;
}

QList<ReportEntry> optionsWindowReports()
{
    QList<ReportEntry> listed;
    for (const ReportEntry &report : reportCatalog())
        if (report.inOptionsWindow)
            listed.append(report);
    return listed;
}

std::optional<ReportEntry> reportNamed(const QString &commandName)
{
    for (const ReportEntry &report : reportCatalog())
        if (report.commandName == commandName)
            return report;
    return std::nullopt;
}

bool showsAccountFilter(int code)
{
    return code >= ReportCode::MovimentiVerticale && code <= ReportCode::SchedeOrizzontale;
}

bool showsJournalOptions(int code)
{
    return code == ReportCode::GiornaleContabile;
}

bool showsBalanceOptions(int code)
{
    return code == ReportCode::Bilancio || code == ReportCode::BilancioSezioniContrapposte;
}

std::optional<int> parseSheetNumber(const QString &text)
{
    if (text.isEmpty() ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    // The book numbers its sheets with 16-bit numbers; a larger start would wrap around.
    const int number = text.toInt(&ok);
    if (!ok || number > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return number;
}
