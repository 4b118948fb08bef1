#include "settings/WorkingDate.h"

#include "data/cEnvironment.h"

QDate chosenWorkingDate(WorkingDateChoice choice, const cEnvironment &environment,
                        const QDate &today, const QDate &manual)
{
    switch (choice) {
    case WorkingDateChoice::Oggi:
        return today;
    case WorkingDateChoice::UltimoGiornoEsercizioPrecedente:
        return environment.EseDate2Prev();
    case WorkingDateChoice::Manuale:
        break;
    }
    return manual;
}

bool applyWorkingDate(cEnvironment &environment, const QDate &date, QString *error)
{
    const QDate previous = environment.curDate();
    environment.setCurDate(date);
    if (environment.Update(error))
        return true;
    // A half-updated environment would show one year and query another.
    environment.setCurDate(previous);
    environment.Update();
    return false;
}
