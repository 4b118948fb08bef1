// The options window's final print of the journal book: the run, its list and its undoing.

#include "reports/ReportOptionsWindow.h"

#include "data/PatternFormatter.h"
#include "reports/FinalJournalPrint.h"
#include "reports/FinalPrintsWindow.h"
#include "ui/LaidOutReport.h"
#include "ui/MessageService.h"
#include "ui/ReportOutput.h"
#include "ui/ReportPreview.h"
#include "ui/ReportProgressDialog.h"
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

using namespace Qt::StringLiterals;

namespace {

QString shownDate(const QDate &date)
{
    return PatternFormatter().format(date, u"dd/mm/yyyy");
}

} // namespace

bool ReportOptionsWindow::finalPrint() const
{
    return m_finalOption->isChecked();
}

FiscalYear ReportOptionsWindow::fiscalYear() const
{
    return {m_environment.yearStart(), m_environment.yearEnd(), m_environment.yearLabel()};
}

void ReportOptionsWindow::finalPrintToggled()
{
    // A final print starts where the last one ended: its first day and sheet are not chosen.
    const bool final = finalPrint();
    m_fromDate->setEnabled(!final);
    m_sheetEdit->setEnabled(!final);
    m_finalLabel->clear();
    if (!final) {
        setPeriod(m_environment.yearStart(), m_toDate->date());
        m_sheetEdit->setText(u"1"_s);
        return;
    }
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    std::optional<FinalPrintStart> start;
    std::optional<QDate> last;
    if (connection.opened(&error)) {
        start = nextFinalPrint(connection.database(), fiscalYear(), &error);
        last = lastEntryDate(connection.database(), fiscalYear(), &error);
    }
    if (!start || !last) {
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
        m_draftOption->setChecked(true);
        return;
    }
    setPeriod(start->dateFrom,
              last->isValid() && *last >= start->dateFrom ? *last : m_environment.yearEnd());
    m_sheetEdit->setText(QString::number(start->firstSheet));
    m_finalLabel->setText(start->continues
                              ? u"Continua la stampa definitiva: dal %1, foglio %2, riga %3."_s.arg(
                                    shownDate(start->dateFrom), QString::number(start->firstSheet),
                                    QString::number(start->firstRow))
                              : u"Prima stampa definitiva dell'esercizio: dal %1, foglio 1."_s.arg(
                                    shownDate(start->dateFrom)));
}

void ReportOptionsWindow::runFinalPrint(ReportOutput output)
{
    MessageService &messages = MessageService::instance();
    if (output != ReportOutput::Print && output != ReportOutput::Pdf &&
        output != ReportOutput::Preview) {
        messages.inform(this, u"La stampa definitiva si produce sulla stampante o in PDF."_s);
        return;
    }
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    std::optional<LaidOutFinalPrint> laidOut;
    if (connection.opened(&error)) {
        ReportProgressDialog progress(this, u"Preparazione del Giornale contabile..."_s);
        laidOut =
            layOutFinalPrint(connection, fiscalYear(), m_toDate->date(),
                             m_journalCodesCheck->isChecked(), &error, progressShownIn(progress));
    }
    if (!laidOut) {
        if (!error.isEmpty())
            messages.inform(this, error, MessageService::Icon::Critical);
        return;
    }
    const FinalJournalPrint &prepared = laidOut->run;
    const LaidOutReport pages(std::move(laidOut->document));
    if (output == ReportOutput::Preview) {
        // Every copy of a final book is recorded: its preview shows the pages and prints none.
        ReportPreview preview(pages, this, ReportPreview::Printing::ViewOnly);
        preview.exec();
        return;
    }
    if (!messages.ask(this,
                      u"Stampare in definitiva il libro giornale dal %1 al %2? Le registrazioni "
                      u"stampate non potranno più essere modificate."_s.arg(
                          shownDate(prepared.start.dateFrom), shownDate(prepared.dateTo)),
                      MessageService::Icon::Question, false))
        return;
    std::optional<FinalPrint> recorded;
    if (output == ReportOutput::Pdf) {
        const QString proposed =
            QDir(documentsFolder())
                .filePath(exportBaseName(u"Giornale definitivo"_s, prepared.start.dateFrom,
                                         prepared.dateTo) +
                          u".pdf"_s);
        const QString path = messages.chooseSaveFile(
            this, u"Stampa definitiva in PDF"_s, exportFilter(PreviewDocument::Format::Pdf),
            proposed, exportSuffix(PreviewDocument::Format::Pdf));
        if (path.isEmpty())
            return;
        recorded =
            writeFinalJournalPdf(m_environment.archive(), prepared, pages.document(), path, &error);
    } else {
        const PrintOutcome outcome = printWholeDocument(this, pages);
        if (outcome == PrintOutcome::Cancelled)
            return;
        if (outcome == PrintOutcome::Failed) {
            messages.inform(this,
                            u"Stampa non riuscita: la stampa definitiva non è stata "
                            u"registrata."_s,
                            MessageService::Icon::Critical);
            return;
        }
        if (!messages.ask(this, u"La stampa è riuscita?"_s))
            return;
        recorded = recordFinalJournal(m_environment.archive(), prepared, pages.document(),
                                      documentSha256(pages.document()), {}, &error);
    }
    if (!recorded) {
        messages.inform(this, error, MessageService::Icon::Critical);
        return;
    }
    messages.inform(this, u"Stampa definitiva registrata: dal %1 al %2, fogli %3-%4."_s.arg(
                              shownDate(recorded->dateFrom), shownDate(recorded->dateTo),
                              QString::number(recorded->firstSheet),
                              QString::number(recorded->lastSheet)));
    finalPrintToggled();
}

void ReportOptionsWindow::showFinalPrints()
{
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    const std::optional<QList<FinalPrint>> prints =
        connection.opened(&error) ? finalPrintsOf(connection.database(), fiscalYear(), &error)
                                  : std::nullopt;
    if (!prints) {
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
        return;
    }
    FinalPrintsWindow list(*prints, m_environment.yearLabel(), this);
    list.exec();
}

void ReportOptionsWindow::undoLastFinalPrint()
{
    MessageService &messages = MessageService::instance();
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    const std::optional<QList<FinalPrint>> prints =
        connection.opened(&error) ? finalPrintsOf(connection.database(), fiscalYear(), &error)
                                  : std::nullopt;
    if (!prints || prints->isEmpty()) {
        messages.inform(
            this, prints ? u"Nessuna stampa definitiva da annullare nell'esercizio."_s : error,
            prints ? MessageService::Icon::Information : MessageService::Icon::Critical);
        return;
    }
    const FinalPrint &last = prints->last();
    if (!messages.ask(this,
                      u"Annullare l'ultima stampa definitiva del Giornale contabile (dal %1 al "
                      u"%2, fogli %3-%4)?\nLe registrazioni del periodo torneranno modificabili "
                      u"e i fogli andranno ristampati."_s.arg(
                          shownDate(last.dateFrom), shownDate(last.dateTo),
                          QString::number(last.firstSheet), QString::number(last.lastSheet)),
                      MessageService::Icon::Question, false))
        return;
    if (!::undoLastFinalPrint(m_environment.archive(), fiscalYear(), last.id, &error)) {
        messages.inform(this, error, MessageService::Icon::Critical);
        return;
    }
    if (finalPrint())
        finalPrintToggled();
}
