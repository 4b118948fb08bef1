#pragma once

#include <QDate>
#include <QString>

class FiscalEnvironment;

// The three ways the working-date window offers to pick a date.
enum class WorkingDateChoice {
    Oggi,
    UltimoGiornoEsercizioPrecedente,
    Manuale,
};

// The working date the choice gives: today, the last day of the fiscal year before the
// environment's current one, or the date typed by hand.
QDate chosenWorkingDate(WorkingDateChoice choice, const FiscalEnvironment &environment,
                        const QDate &today, const QDate &manual);

// Moves the environment to the date and recomputes its fiscal year, captions and organisation
// data. On failure (false, the reason in *error) the environment is back at its previous date.
bool applyWorkingDate(FiscalEnvironment &environment, const QDate &date, QString *error = nullptr);
