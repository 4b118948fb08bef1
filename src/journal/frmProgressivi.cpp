#include "journal/frmProgressivi.h"

#include "data/EngineErrors.h"
#include "data/Renumbering.h"
#include "data/cEnvironment.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

frmProgressivi::frmProgressivi(const Archive &archive, const QDate &eseDate1, const QDate &eseDate2,
                               QWidget *parent)
    : QDialog(parent), m_archive(archive), m_eseDate1(eseDate1), m_eseDate2(eseDate2)
{
    setObjectName(u"frmProgressivi"_s);
    setWindowTitle(u"Ricalcolo Progressivi"_s);

    auto *label = new QLabel(
        u"Questa procedura esegue il ricalcolo dei progressivi\nper l'Esercizio corrente."_s, this);
    label->setObjectName(u"Label1"_s);
    auto *buttons = new QDialogButtonBox(this);
    m_cmdOK = buttons->addButton(u"Procedi"_s, QDialogButtonBox::AcceptRole);
    m_cmdOK->setObjectName(u"cmdOK"_s);
    QPushButton *cmdCancel = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(u"cmdCancel"_s);
    addHelpButton(buttons, HelpContext::Progressivi);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addSpacing(12);
    layout->addWidget(buttons);

    connect(m_cmdOK, &QPushButton::clicked, this, &frmProgressivi::procedi);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    TogliChiudi(this);
    setMinimumWidth(420);
}

void frmProgressivi::procedi()
{
    m_cmdOK->setEnabled(false);
    auto *ricalcolo = new clsRicalcolo(m_archive, m_eseDate1, m_eseDate2, this);
    connect(ricalcolo, &clsRicalcolo::done, this, [this] {
        MessageService::instance().inform(this, u"Ricalcolo effettuato con successo."_s);
        accept();
    });
    // A failed run changed nothing; the user reads why and closes with "Annulla".
    connect(ricalcolo, &clsRicalcolo::failed, this, [this](const QString &error) {
        informFailure(this, u"Ricalcolo non riuscito: i progressivi non sono stati modificati."_s,
                      error);
    });
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ricalcolo->esegui(clsRicalcolo::Corrente);
    QGuiApplication::restoreOverrideCursor();
}

void frmProgressivi::controllaProgressivi(QWidget *owner, const cEnvironment &environment)
{
    QString error;
    const bool misaligned = ProgressiviDisallineati(environment.archive(), environment.EseDate1(),
                                                    environment.EseDate2(), &error);
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
        frmProgressivi window(environment.archive(), environment.EseDate1(), environment.EseDate2(),
                              owner);
        window.exec();
    }
}
