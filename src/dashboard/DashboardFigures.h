#pragma once

#include "data/FiscalEnvironment.h"
#include "data/Money.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <array>
#include <optional>

// One of the largest cost or revenue items of the year: an account and its amount.
struct DashboardItem {
    qint64 accountId = 0;
    QString code;
    QString description;
    Money amount;
};

// A key figure at the working date and the same figure a year earlier (when that date falls in a
// year of the archive).
struct KeyFigure {
    Money now;
    std::optional<Money> yearEarlier;
};

// The picture of the fiscal year of a working date: cash and bank day by day (the sub-accounts of
// the accounts flagged as cash and bank), revenues and costs month by month, the ten largest
// cost and revenue items by account, and four key figures.
struct DashboardFigures {
    FiscalYear year;
    QDate date; // the working date, within the year
    // The cash at the end of each day of the year, from its first; of the year before too when
    // it holds entries (else empty).
    QList<Money> dailyCash;
    QList<Money> dailyCashBefore;
    std::array<Money, 12> revenues{};
    std::array<Money, 12> costs{};
    QList<DashboardItem> largestCosts;
    QList<DashboardItem> largestRevenues;
    KeyFigure cash;
    KeyFigure result;
    KeyFigure receivables;
    KeyFigure payables;

    // The result from the start of the year to the end of each month.
    std::array<Money, 12> runningResult() const;
    // The first day of a month of the year ("2026-01"), from 0.
    QDate monthStart(int month) const { return year.start.addMonths(month); }
};

std::optional<DashboardFigures> dashboardFigures(const QSqlDatabase &database,
                                                 const QDate &workingDate, QString *error);

// Every series and figure as JSON, amounts as exact decimal texts with a point.
QByteArray dashboardJson(const DashboardFigures &figures);
