#include "journal/RenumberingWindow.h"

#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "data/Renumbering.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

RenumberingWindow::RenumberingWindow(const Archive &archive, const QDate &yearStart,
                                     const QDate &yearEnd, QWidget *parent)
    : QDialog(parent), m_archive(archive), m_yearStart(yearStart), m_yearEnd(yearEnd)
{
    setObjectName(u"RenumberingWindow"_s);
    setWindowTitle(u"Ricalcolo Progressivi"_s);

    auto *label = new QLabel(
        u"Questa procedura esegue il ricalcolo dei progressivi\nper l'Esercizio corrente."_s, this);
    label->setObjectName(u"Label1"_s);
    auto *buttons = new QDialogButtonBox(this);
    m_okButton = buttons->addButton(u"Procedi"_s, QDialogButtonBox::AcceptRole);
    m_okButton->setObjectName(u"cmdOK"_s);
    QPushButton *cmdCancel = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(u"cmdCancel"_s);
    addHelpButton(buttons, HelpContext::Progressivi);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addSpacing(12);
    layout->addWidget(buttons);

    connect(m_okButton, &QPushButton::clicked, this, &RenumberingWindow::procedi);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    removeCloseButton(this);
    setMinimumWidth(420);
}

void RenumberingWindow::procedi()
{
    m_okButton->setEnabled(false);
    auto *renumbering = new Renumbering(m_archive, m_yearStart, m_yearEnd, this);
    connect(renumbering, &Renumbering::done, this, [this] {
        MessageService::instance().inform(this, u"Ricalcolo effettuato con successo."_s);
        accept();
    });
    // A failed run changed nothing; the user reads why and closes with "Annulla".
    connect(renumbering, &Renumbering::failed, this, [this](const QString &error) {
        informFailure(this, u"Ricalcolo non riuscito: i progressivi non sono stati modificati."_s,
                      error);
    });
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    renumbering->run(Renumbering::Current);
    QGuiApplication::restoreOverrideCursor();
}

void RenumberingWindow::checkNumbering(QWidget *owner, const FiscalEnvironment &environment)
{
    QString error;
    const bool misaligned = numberingBroken(environment.archive(), environment.yearStart(),
                                            environment.yearEnd(), &error);
    MessageService &messages = MessageService::instance();
    if (!error.isEmpty()) {
        messages.inform(
            owner,
            failureMessage(u"Impossibile controllare la numerazione delle registrazioni."_s, error),
            MessageService::Icon::Critical);
        return;
    }
    if (misaligned &&
        messages.ask(owner, u"I progressivi non sono allineati: effettuare un ricalcolo?"_s)) {
        RenumberingWindow window(environment.archive(), environment.yearStart(),
                                 environment.yearEnd(), owner);
        window.exec();
    }
}
