#pragma once

#include "data/FinalPrints.h"

#include <QDialog>

class QTableWidget;

// The final prints of the journal book of one fiscal year, oldest first: period, sheets, rows
// and the progressive totals at the end of each run. Read-only.
class FinalPrintsWindow : public QDialog {
    Q_OBJECT

public:
    FinalPrintsWindow(const QList<FinalPrint> &prints, const QString &yearLabel,
                      QWidget *parent = nullptr);

    QTableWidget *table() const { return m_table; }

private:
    QTableWidget *m_table = nullptr;
};
