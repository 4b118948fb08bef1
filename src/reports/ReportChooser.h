#pragma once

#include <QDialog>

#include <optional>

class QRadioButton;

// The report chooser: the accounting reports or the chart of accounts.
class ReportChooser : public QDialog {
    Q_OBJECT

public:
    enum Choice { StampeContabili = 0, PianoDeiConti = 1 };

    explicit ReportChooser(QWidget *parent = nullptr);

    // Shows the chooser modally; the choice made with "Avanti >>", nothing on "Annulla".
    static std::optional<Choice> choose(QWidget *owner);

    Choice choice() const;

private:
    QRadioButton *m_printOption[2] = {};
};
