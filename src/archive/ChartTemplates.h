#pragma once

#include <QList>
#include <QString>

#include <utility>

// One chart of accounts offered for a new archive, from the template database's lista table.
struct ChartTemplate {
    QString foglio; // table of the template database that holds the chart
    QString nome;
    QString descrizione;
    // The archive's captions, keyed by their parameter name, in the order they are written.
    QList<std::pair<QString, QString>> captions;
};

// The offered charts in table order, missing captions replaced by the defaults of a new
// archive. Returns an empty list with the engine's text in *error on failure.
QList<ChartTemplate> loadChartTemplates(const QString &pdcPath, QString *error);
