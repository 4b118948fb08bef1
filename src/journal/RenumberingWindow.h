#pragma once

#include "data/Database.h"

#include <QDate>
#include <QDialog>

class QPushButton;
class FiscalEnvironment;

// The window that renumbers the entries of the current fiscal year. Left only through its
// buttons.
class RenumberingWindow : public QDialog {
    Q_OBJECT

public:
    RenumberingWindow(const Archive &archive, const QDate &yearStart, const QDate &yearEnd,
                      QWidget *parent = nullptr);

    // After a change to the journal: when the current year is not numbered 1, 2, 3 ... in date
    // order, asks whether to renumber and, on Yes, opens the window over owner.
    static void checkNumbering(QWidget *owner, const FiscalEnvironment &environment);

private:
    void procedi();

    Archive m_archive;
    QDate m_yearStart;
    QDate m_yearEnd;
    QPushButton *m_okButton = nullptr;
};
