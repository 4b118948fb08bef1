#include "settings/WorkingDate.h"

#include "data/FiscalEnvironment.h"

QDate chosenWorkingDate(WorkingDateChoice choice, const FiscalEnvironment &environment,
                        const QDate &today, const QDate &manual)
{
    switch (choice) {
    case WorkingDateChoice::Oggi:
        return today;
    case WorkingDateChoice::UltimoGiornoEsercizioPrecedente:
        return environment.previousYearEnd();
    case WorkingDateChoice::Manuale:
        break;
    }
    return manual;
}

bool applyWorkingDate(FiscalEnvironment &environment, const QDate &date, QString *error)
{
    const QDate previous = environment.workingDate();
    environment.setWorkingDate(date);
    if (environment.refresh(error))
        return true;
    // A half-updated environment would show one year and query another.
    environment.setWorkingDate(previous);
    environment.refresh();
    return false;
}
