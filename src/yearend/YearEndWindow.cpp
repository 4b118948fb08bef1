#include "yearend/YearEndWindow.h"

#include "data/EngineErrors.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QDateEdit *datePicker(const QDate &date, QWidget *parent)
{
    auto *picker = new QDateEdit(date, parent);
    picker->setCalendarPopup(true);
    picker->setDisplayFormat(u"dd/MM/yyyy"_s);
    return picker;
}

QString profitOrLossCaption(const Archive &archive, Money result)
{
    const QString word = result.isNegative()
                             ? readParameter(archive, u"perditaDescrizione"_s, ValueType::Text,
                                             Storage::InArchive, u"Perdita d'esercizio"_s)
                                   .toString()
                             : readParameter(archive, u"utileDescrizione"_s, ValueType::Text,
                                             Storage::InArchive, u"Utile d'esercizio"_s)
                                   .toString();
    return u"Sottoconto "_s + word + u"(SP):"_s;
}

qint64 chosenId(const QComboBox *box)
{
    return box->currentIndex() < 0 ? 0 : box->currentData().toLongLong();
}

} // namespace

YearEndWindow::YearEndWindow(const Archive &archive, const YearEndYears &years, Money result,
                             QWidget *parent)
    : QDialog(parent), m_archive(archive), m_years(years), m_result(result)
{
    setObjectName(u"YearEndWindow"_s);
    setWindowTitle(u"Chiusura / Apertura Conti"_s);

    QString error;
    const QList<SubAccountChoice> balanceSheet = yearEndChoices(archive, true, &error);
    const QList<SubAccountChoice> incomeStatement = yearEndChoices(archive, false, &error);
    const YearEndInput defaults =
        yearEndDefaults(archive, years, result, balanceSheet, incomeStatement);

    auto *notes = new QLabel(
        u"Questa procedura consente di effettuare la chiusura dei sottoconti patrimoniali ed "
        u"economici per l'esercizio precedente\n"
        u"e l'apertura dei sottoconti patrimoniali per l'esercizio corrente.\n"
        u"Previa cancellazione dei movimenti generati, la procedura può essere eseguita più volte "
        u"in caso di errore o di rettifiche posteriori.\n"
        u"Si consiglia di effettuare un backup dei dati prima di effettuare la procedura."_s,
        this);
    notes->setWordWrap(true);

    m_closingDate = datePicker(defaults.closingDate, this);
    m_closingDate->setObjectName(u"dtp0"_s);
    m_economicClosing = new QLineEdit(defaults.economicClosing, this);
    m_economicClosing->setObjectName(u"txtData0"_s);
    m_patrimonialClosing = new QLineEdit(defaults.patrimonialClosing, this);
    m_patrimonialClosing->setObjectName(u"txtData1"_s);
    m_closingBalance = subAccountBox(balanceSheet, defaults.closingBalance);
    m_closingBalance->setObjectName(u"dtc0"_s);
    m_profitAndLoss = subAccountBox(incomeStatement, defaults.profitAndLoss);
    m_profitAndLoss->setObjectName(u"dtc1"_s);
    m_profitOrLoss = subAccountBox(balanceSheet, defaults.profitOrLoss);
    m_profitOrLoss->setObjectName(u"dtc4"_s);
    m_openingDate = datePicker(defaults.openingDate, this);
    m_openingDate->setObjectName(u"dtp1"_s);
    m_opening = new QLineEdit(defaults.opening, this);
    m_opening->setObjectName(u"txtData2"_s);
    m_openingBalance = subAccountBox(balanceSheet, defaults.openingBalance);
    m_openingBalance->setObjectName(u"dtc2"_s);

    auto *closing = new QGroupBox(u" Chiusura Conti Esercizio precedente "_s, this);
    auto *closingForm = new QFormLayout(closing);
    closingForm->addRow(u"Data registrazione chiusura:"_s, m_closingDate);
    closingForm->addRow(u"Descrizione per Chiusura Sottoconti economici:"_s, m_economicClosing);
    closingForm->addRow(u"Descrizione per Chiusura Sottoconti patrimoniali:"_s,
                        m_patrimonialClosing);
    closingForm->addRow(u"Sottoconto Bilancio di chiusura (SP):"_s, m_closingBalance);
    closingForm->addRow(u"Sottoconto Profitti e Perdite (CE):"_s, m_profitAndLoss);
    auto *resultLabel = new QLabel(profitOrLossCaption(archive, result), closing);
    resultLabel->setObjectName(u"lblRisultato"_s);
    closingForm->addRow(resultLabel, m_profitOrLoss);

    auto *opening = new QGroupBox(u" Apertura Conti Esercizio corrente "_s, this);
    auto *openingForm = new QFormLayout(opening);
    openingForm->addRow(u"Data registrazione apertura:"_s, m_openingDate);
    openingForm->addRow(u"Descrizione per Apertura Sottoconti patrimoniali:"_s, m_opening);
    openingForm->addRow(u"Sottoconto Bilancio di apertura (SP):"_s, m_openingBalance);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *cmdOK = buttons->addButton(u"Procedi"_s, QDialogButtonBox::AcceptRole);
    cmdOK->setObjectName(u"cmdOK"_s);
    QPushButton *cmdCancel = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    cmdCancel->setObjectName(u"cmdCancel"_s);
    addHelpButton(buttons, HelpContext::ChiusuraApertura);
    connect(cmdOK, &QPushButton::clicked, this, &YearEndWindow::procedi);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(notes);
    layout->addWidget(closing);
    layout->addWidget(opening);
    layout->addWidget(buttons);
    enterMovesToNextField(this);
    resize(780, sizeHint().height());
}

QComboBox *YearEndWindow::subAccountBox(const QList<SubAccountChoice> &choices, qint64 chosen)
{
    auto *box = new QComboBox(this);
    box->setMinimumContentsLength(40);
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    for (const SubAccountChoice &choice : choices)
        box->addItem(choice.text, choice.id);
    box->setCurrentIndex(box->findData(chosen));
    return box;
}

void YearEndWindow::run(QWidget *parent, const FiscalEnvironment &environment)
{
    MessageService &messages = MessageService::instance();
    const YearEndYears years = YearEndYears::of(environment);
    QString error;
    const QString refusal = yearEndRefusal(environment.archive(), years, &error);
    const std::optional<Money> result = refusal.isEmpty() && error.isEmpty()
                                            ? yearResult(environment.archive(), years, &error)
                                            : std::nullopt;
    if (!error.isEmpty() || !refusal.isEmpty() || !result) {
        messages.inform(
            parent,
            error.isEmpty()
                ? refusal
                : failureMessage(u"Impossibile leggere l'esercizio precedente."_s, error),
            error.isEmpty() ? MessageService::Icon::Information : MessageService::Icon::Critical);
        return;
    }
    YearEndWindow window(environment.archive(), years, *result, parent);
    window.exec();
}

YearEndInput YearEndWindow::input() const
{
    YearEndInput input;
    input.closingDate = m_closingDate->date();
    input.openingDate = m_openingDate->date();
    input.economicClosing = m_economicClosing->text();
    input.patrimonialClosing = m_patrimonialClosing->text();
    input.opening = m_opening->text();
    input.closingBalance = chosenId(m_closingBalance);
    input.profitAndLoss = chosenId(m_profitAndLoss);
    input.openingBalance = chosenId(m_openingBalance);
    input.profitOrLoss = chosenId(m_profitOrLoss);
    return input;
}

void YearEndWindow::keyPressEvent(QKeyEvent *event)
{
    // Enter that no field took (a date field passes it on) moves to the next field; only a
    // button with the focus acts on Enter itself, never the dialog's default one.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !qobject_cast<QPushButton *>(focusWidget())) {
        focusNextChild();
        return;
    }
    QDialog::keyPressEvent(event);
}

void YearEndWindow::procedi()
{
    MessageService &messages = MessageService::instance();
    const YearEndInput chosen = input();
    const QStringList errors = yearEndProblems(chosen, m_years);
    if (!errors.isEmpty()) {
        messages.inform(
            this,
            u"Sono stati individuati alcuni errori nell'inserimento dei parametri:\n\n"_s +
                errors.join(u'\n'),
            MessageService::Icon::Warning);
        return;
    }
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool done = runYearEnd(m_archive, chosen, m_years, m_result, &error).has_value();
    QGuiApplication::restoreOverrideCursor();
    if (!done) {
        informFailure(
            this, u"La procedura non è stata eseguita: nessuna registrazione è stata scritta."_s,
            error);
        return;
    }
    messages.inform(this, u"Procedura terminata con successo.."_s);
    accept();
}
