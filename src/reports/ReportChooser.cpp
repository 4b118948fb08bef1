#include "reports/ReportChooser.h"

#include "ui/Help.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ReportChooser::ReportChooser(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(u"Stampe"_s);
    auto *layout = new QVBoxLayout(this);
    auto *frame = new QGroupBox(this);
    auto *options = new QVBoxLayout(frame);
    const QString captions[2] = {u"Stampe contabili (Movimenti, Schede, Bilancio)"_s,
                                 u"Piano dei Conti"_s};
    for (int option = 0; option < 2; ++option) {
        m_printOption[option] = new QRadioButton(captions[option], frame);
        m_printOption[option]->setObjectName(u"optPrint%1"_s.arg(option));
        options->addWidget(m_printOption[option]);
    }
    m_printOption[StampeContabili]->setChecked(true);
    layout->addWidget(frame);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *avanti = buttons->addButton(u"Avanti >>"_s, QDialogButtonBox::AcceptRole);
    avanti->setObjectName(u"cmdOK"_s);
    avanti->setDefault(true);
    QPushButton *annulla = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    annulla->setObjectName(u"cmdCancel"_s);
    addHelpButton(buttons, HelpContext::Stampe);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

ReportChooser::Choice ReportChooser::choice() const
{
    return m_printOption[PianoDeiConti]->isChecked() ? PianoDeiConti : StampeContabili;
}

std::optional<ReportChooser::Choice> ReportChooser::choose(QWidget *owner)
{
    ReportChooser chooser(owner);
    if (chooser.exec() != QDialog::Accepted)
        return std::nullopt;
    return chooser.choice();
}
