#include "yearend/ReopenYearWindow.h"

#include "data/EngineErrors.h"
#include "data/cEnvironment.h"
#include "ui/MessageService.h"
#include "yearend/YearEnd.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

QString shownYear(const QDate &start, const QDate &end)
{
    return u"dal %1 al %2"_s.arg(start.toString(u"dd/MM/yyyy"_s), end.toString(u"dd/MM/yyyy"_s));
}

} // namespace

bool reopenLastYearEnd(QWidget *parent, const cEnvironment &environment)
{
    const YearEndYears years = YearEndYears::of(environment);
    QString error;
    {
        const Connection connection(environment.archive(), Connection::Mode::ReadOnly);
        const QString refusal =
            connection.opened(&error) ? reopenRefusal(connection, years, &error) : QString();
        if (!refusal.isEmpty() || !error.isEmpty()) {
            informFailure(parent, u"Impossibile leggere l'esercizio precedente."_s,
                          refusal.isEmpty() ? error : refusal);
            return false;
        }
    }
    MessageService &messages = MessageService::instance();
    if (!messages.ask(parent,
                      u"Riaprire l'esercizio %1?\n\nLe registrazioni di chiusura di questo "
                      u"esercizio e quelle di apertura dell'esercizio %2 saranno eliminate, e i "
                      u"due esercizi rinumerati. Prima viene fatta una copia di sicurezza "
                      u"dell'archivio.\n\nDopo le correzioni, eseguire di nuovo Strumenti → "
                      u"Chiusura / Apertura Conti."_s.arg(shownYear(years.prevStart, years.prevEnd),
                                                          shownYear(years.curStart, years.curEnd)),
                      MessageService::Icon::Question, false))
        return false;
    QString backup;
    if (!reopenYear(environment.archive(), years, &backup, &error)) {
        informFailure(parent, u"Riapertura non eseguita, archivio invariato."_s, error);
        return false;
    }
    messages.inform(
        parent, u"Esercizio %1 riaperto.\nCopia di sicurezza: %2"_s.arg(
                    shownYear(years.prevStart, years.prevEnd), QDir::toNativeSeparators(backup)));
    return true;
}
