#include "yearend/ReopenYearWindow.h"

#include "data/ClosedYears.h"
#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "ui/MessageService.h"
#include "yearend/YearEnd.h"

#include <QCursor>
#include <QDir>
#include <QGuiApplication>

using namespace Qt::StringLiterals;

bool reopenLastYearEnd(QWidget *parent, const FiscalEnvironment &environment)
{
    YearEndYears years = YearEndYears::of(environment);
    QString error;
    {
        const Connection connection(environment.archive(), Connection::Mode::ReadOnly);
        const std::optional<YearEndYears> reopened =
            connection.opened(&error) ? yearsToReopen(connection, years, &error) : std::nullopt;
        if (reopened)
            years = *reopened;
        const QString refusal = reopened ? reopenRefusal(connection, years, &error) : QString();
        if (!refusal.isEmpty() || !error.isEmpty()) {
            informFailure(parent, u"Impossibile leggere l'esercizio precedente."_s,
                          refusal.isEmpty() ? error : refusal);
            return false;
        }
    }
    MessageService &messages = MessageService::instance();
    if (!messages.ask(
            parent,
            u"Riaprire l'esercizio %1?\n\nLe registrazioni di chiusura di questo "
            u"esercizio e quelle di apertura dell'esercizio %2 saranno eliminate, e i "
            u"due esercizi rinumerati. Prima viene fatta una copia di sicurezza "
            u"dell'archivio.\n\nDopo le correzioni, eseguire di nuovo Strumenti → "
            u"Chiusura / Apertura Conti."_s.arg(shownPeriod(years.prevStart, years.prevEnd),
                                                shownPeriod(years.curStart, years.curEnd)),
            MessageService::Icon::Question, false))
        return false;
    QString backup;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool reopened = reopenYear(environment.archive(), years, &backup, &error);
    QGuiApplication::restoreOverrideCursor();
    if (!reopened) {
        informFailure(parent, u"Riapertura non eseguita, archivio invariato."_s, error);
        return false;
    }
    messages.inform(
        parent, u"Esercizio %1 riaperto.\nCopia di sicurezza: %2"_s.arg(
                    shownPeriod(years.prevStart, years.prevEnd), QDir::toNativeSeparators(backup)));
    return true;
}
