#pragma once

#include "yearend/YearEnd.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class FiscalEnvironment;

// The year-end window: closes the previous fiscal year and opens the current one.
class YearEndWindow : public QDialog {
    Q_OBJECT

public:
    YearEndWindow(const Archive &archive, const YearEndYears &years, Money result,
                  QWidget *parent = nullptr);

    // Runs the opening checks (their refusal is shown and nothing else happens), then shows the
    // window modally over parent. Returns when it has been closed.
    static void run(QWidget *parent, const FiscalEnvironment &environment);

    // The inputs as the window holds them now.
    YearEndInput input() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QComboBox *subAccountBox(const QList<SubAccountChoice> &choices, qint64 chosen);
    void procedi();

    Archive m_archive;
    YearEndYears m_years;
    Money m_result;
    QDateEdit *m_closingDate = nullptr;
    QDateEdit *m_openingDate = nullptr;
    QLineEdit *m_economicClosing = nullptr;
    QLineEdit *m_patrimonialClosing = nullptr;
    QLineEdit *m_opening = nullptr;
    QComboBox *m_closingBalance = nullptr;
    QComboBox *m_profitAndLoss = nullptr;
    QComboBox *m_profitOrLoss = nullptr;
    QComboBox *m_openingBalance = nullptr;
};
