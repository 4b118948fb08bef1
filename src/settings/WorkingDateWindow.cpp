#include "settings/WorkingDateWindow.h"

#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

WorkingDateWindow::WorkingDateWindow(FiscalEnvironment &environment, QWidget *parent,
                                     const QDate &today)
    : QDialog(parent), m_environment(environment), m_today(today)
{
    setObjectName(u"WorkingDateWindow"_s);
    setWindowTitle(u" Data di Lavoro"_s);

    auto *frame = new QGroupBox(u"Imposta la data di lavoro"_s, this);
    auto *options = new QVBoxLayout(frame);
    const QString captions[3] = {u"Oggi"_s, u"Ultimo giorno dell'Esercizio precedente"_s,
                                 u"Manuale"_s};
    for (int i = 0; i < 3; ++i) {
        m_byDateOption[i] = new QRadioButton(captions[i], frame);
        m_byDateOption[i]->setObjectName(u"optData%1"_s.arg(i));
        options->addWidget(m_byDateOption[i]);
        connect(m_byDateOption[i], &QRadioButton::clicked, this, &WorkingDateWindow::optionChosen);
    }
    m_dtp = new QDateEdit(environment.workingDate(), frame);
    m_dtp->setObjectName(u"dtp"_s);
    m_dtp->setCalendarPopup(true);
    m_dtp->setDisplayFormat(u"dd/MM/yyyy"_s);
    options->addWidget(m_dtp);
    m_byDateOption[0]->setChecked(true);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *cmdOK = buttons->addButton(u"Imposta"_s, QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(u"cmdOK"_s);
    cmdOK->setDefault(true);
    QPushButton *cmdCancel = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(u"cmdCancel"_s);
    addHelpButton(buttons, HelpContext::DataLavoro);
    connect(cmdOK, &QPushButton::clicked, this, &WorkingDateWindow::imposta);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(buttons);

    optionChosen();
    removeCloseButton(this);
    enterMovesToNextField(this);
    setFixedSize(sizeHint().expandedTo(QSize(380, 0)));
}

void WorkingDateWindow::run(QWidget *owner, FiscalEnvironment &environment,
                            const std::function<void()> &refreshed)
{
    WorkingDateWindow window(environment, owner);
    connect(&window, &WorkingDateWindow::workingDateChanged, &window, refreshed);
    window.exec();
}

WorkingDateChoice WorkingDateWindow::choice() const
{
    if (m_byDateOption[1]->isChecked())
        return WorkingDateChoice::UltimoGiornoEsercizioPrecedente;
    if (m_byDateOption[2]->isChecked())
        return WorkingDateChoice::Manuale;
    return WorkingDateChoice::Oggi;
}

void WorkingDateWindow::optionChosen()
{
    m_dtp->setEnabled(choice() == WorkingDateChoice::Manuale);
}

void WorkingDateWindow::imposta()
{
    const QDate date = chosenWorkingDate(choice(), m_environment, m_today, m_dtp->date());
    QString error;
    if (!applyWorkingDate(m_environment, date, &error)) {
        MessageService::instance().inform(
            this,
            failureMessage(u"La data di lavoro non è stata cambiata: impossibile leggere i "
                           u"parametri dell'archivio."_s,
                           error),
            MessageService::Icon::Critical);
        return;
    }
    emit workingDateChanged();
    accept();
}
