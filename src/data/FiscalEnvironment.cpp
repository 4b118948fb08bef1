#include "data/FiscalEnvironment.h"

#include "data/ClosedYears.h"
#include "data/Database.h"
#include "data/Parameters.h"
#include "data/PatternFormatter.h"
#include "data/SqlText.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr int RowHeightTwips = 360;
constexpr double TwipsPerInch = 1440.0;

} // namespace

FiscalYear fiscalYearContaining(const QDate &date, int startMonth)
{
    FiscalYear year;
    const int y = date.year();
    if (startMonth <= date.month()) {
        year.start = QDate(y, startMonth, 1);
        year.end =
            startMonth == 1 ? QDate(y, 12, 31) : endOfPreviousMonth(QDate(y + 1, startMonth, 1));
    } else {
        year.start = QDate(y - 1, startMonth, 1);
        year.end = endOfPreviousMonth(QDate(y, startMonth, 1));
    }
    year.label = year.start.year() != year.end.year()
                     ? u"%1/%2"_s.arg(year.start.year()).arg(year.end.year())
                     : QString::number(year.start.year());
    return year;
}

FiscalYear fiscalYearBefore(const QDate &yearStart)
{
    return fiscalYearContaining(yearStart.addDays(-1), yearStart.month());
}

const std::array<CaptionField, 9> &captionFields()
{
    static const std::array<CaptionField, 9> fields = {{
        {u"Stato patrimoniale"_s, u"spDescrizione"_s, u"Stato patrimoniale"_s,
         &FiscalEnvironment::spDescrizione},
        {u"Conto economico"_s, u"ceDescrizione"_s, u"Conto economico"_s,
         &FiscalEnvironment::ceDescrizione},
        {u"Conti d'ordine"_s, u"coDescrizione"_s, u"Conti d'ordine"_s,
         &FiscalEnvironment::coDescrizione},
        {u"Attivo"_s, u"attDescrizione"_s, u"Attivo"_s, &FiscalEnvironment::attDescrizione},
        {u"Passivo"_s, u"pasDescrizione"_s, u"Passivo"_s, &FiscalEnvironment::pasDescrizione},
        {u"Costi"_s, u"cosDescrizione"_s, u"Costi"_s, &FiscalEnvironment::cosDescrizione},
        {u"Ricavi"_s, u"ricDescrizione"_s, u"Ricavi"_s, &FiscalEnvironment::ricDescrizione},
        {u"Utile"_s, u"utileDescrizione"_s, u"Utile"_s, &FiscalEnvironment::utileDescrizione},
        {u"Perdita"_s, u"perditaDescrizione"_s, u"Perdita"_s,
         &FiscalEnvironment::perditaDescrizione},
    }};
    return fields;
}

FiscalEnvironment::FiscalEnvironment(const Archive &archive) : m_archive(archive)
{
    for (const CaptionField &caption : captionFields())
        this->*caption.field = caption.initial;
}

int FiscalEnvironment::gridRowHeight() const
{
    return static_cast<int>(std::lround(RowHeightTwips * m_logicalDpi / TwipsPerInch));
}

void FiscalEnvironment::setScreenMetrics(double logicalDpi, int scrollBarWidth)
{
    m_logicalDpi = logicalDpi;
    m_scrollBarWidth = scrollBarWidth;
}

std::optional<QDate> FiscalEnvironment::lastEntryDate(QString *error) const
{
    Connection connection(m_archive, Connection::Mode::ReadOnly);
    if (!connection.opened(error))
        return std::nullopt;
    QSqlQuery query = connection.query();
    if (!runSql(query, u"SELECT MAX(data) AS lastData FROM regmain"_s, {}, error) ||
        !query.next() || query.value(0).isNull())
        return std::nullopt;
    return dateFromIso(query.value(0).toString());
}

QString FiscalEnvironment::lastEntryDateText(QString *error) const
{
    const std::optional<QDate> last = lastEntryDate(error);
    return last ? PatternFormatter().format(*last, u"dd/mm/yyyy") : u"N/D"_s;
}

bool FiscalEnvironment::refresh(QString *error)
{
    QString failure;
    auto text = [&](const QString &key, const QString &fallback) {
        return readParameter(m_archive, key, ValueType::Text, Storage::InArchive, fallback,
                             &failure)
            .toString();
    };

    std::optional<int> startMonth;
    if (const Connection connection(m_archive, Connection::Mode::ReadOnly);
        connection.opened(&failure))
        startMonth = archiveStartMonth(connection.database(), &failure);
    if (!startMonth) {
        if (error)
            *error = failure;
        return false;
    }
    m_startMonth = *startMonth;
    m_curAnno = m_curDate.year();
    m_year = fiscalYearContaining(m_curDate, m_startMonth);
    m_previousYear = fiscalYearBefore(m_year.start);

    const QString name = text(u"ana01"_s, QString());
    if (!name.isEmpty()) {
        anas01 = name;
        anas02 = text(u"ana02"_s, QString());
        anas03 = text(u"ana03"_s, QString());
        anas04 = text(u"ana04"_s, QString());
        anas05 = text(u"ana05"_s, QString());
        anas06 = text(u"ana06"_s, QString());
        anas07 = text(u"ana07"_s, QString());
    } else {
        anas01.clear();
    }

    for (const CaptionField &caption : captionFields())
        this->*caption.field = text(caption.key, caption.initial);

    if (!failure.isEmpty()) {
        if (error)
            *error = failure;
        return false;
    }
    return true;
}

QStringList FiscalEnvironment::natureNames() const
{
    return {coDescrizione, attDescrizione, pasDescrizione, cosDescrizione, ricDescrizione};
}
