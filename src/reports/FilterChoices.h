#pragma once

class Archive;

#include "reports/ReportSettings.h"

#include <QList>
#include <QString>

// One line of an account filter list.
struct FilterChoice {
    qint64 id = 0; // 0 for "(nessun filtro)"
    QString text;
};

// The lines of a filter list: "(nessun filtro)" first, then every sub-account (or every account)
// by description. A database failure gives only the first line and the engine's text in *error.
QList<FilterChoice> filterChoices(const Archive &archive, FilterLevel level,
                                  QString *error = nullptr);
