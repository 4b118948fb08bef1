#pragma once

#include "settings/WorkingDate.h"

#include <QDialog>

#include <functional>

class QDateEdit;
class QRadioButton;
class FiscalEnvironment;

// The working-date window: today, the last day of the previous fiscal year or a date typed by
// hand becomes the environment's working date. Left only through its buttons.
class WorkingDateWindow : public QDialog {
    Q_OBJECT

public:
    WorkingDateWindow(FiscalEnvironment &environment, QWidget *parent = nullptr,
                      const QDate &today = QDate::currentDate());

    // Shows the window modally over owner; refreshed is called after the working date changed.
    static void run(QWidget *owner, FiscalEnvironment &environment,
                    const std::function<void()> &refreshed);

    WorkingDateChoice choice() const;

signals:
    // The environment moved to another working date.
    void workingDateChanged();

private:
    void imposta();
    void optionChosen();

    FiscalEnvironment &m_environment;
    QDate m_today;
    QRadioButton *m_byDateOption[3] = {};
    QDateEdit *m_dtp = nullptr;
};
