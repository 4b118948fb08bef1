#include "data/FinalPrints.h"
#include "data/FiscalEnvironment.h"
#include "journal/EntryEditor.h"
#include "reports/FinalPrintsWindow.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportOptionsWindow.h"
#include "reports/ReportSettings.h"
#include "support/PdfText.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/ReportPreview.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Entries on the 15th of January to June: a fee of 10 euros a month into cash.
struct HalfYear {
    TestArchive archive;
    qint64 cassa = 0, quote = 0;
    QList<qint64> entries; // by month, January first

    HalfYear()
    {
        cassa =
            archive.addSottoconto(archive.addConto(archive.addMastro(u"A01"_s, u"Liquidità"_s, 1),
                                                   u"A01001"_s, u"Cassa e banche"_s),
                                  u"Cassa"_s);
        quote =
            archive.addSottoconto(archive.addConto(archive.addMastro(u"R01"_s, u"Proventi"_s, 4),
                                                   u"R01001"_s, u"Quote"_s),
                                  u"Quote associative"_s);
        for (int month = 1; month <= 6; ++month)
            entries.append(
                archive.addEntry(QDate(2024, month, 15),
                                 {{cassa, QVariant(), Money::fromCents(1000), u"Quota"_s},
                                  {QVariant(), quote, Money::fromCents(1000), u"Quota"_s}},
                                 0, month));
    }

    QList<FinalPrint> prints() const
    {
        const Connection connection(archive.archive(), Connection::Mode::ReadOnly);
        return finalPrintsOf(connection.database(), {QDate(2024, 1, 1), QDate(2024, 12, 31), {}},
                             nullptr)
            .value_or(QList<FinalPrint>());
    }
};

// Types the month, then the day into a picker, as a user moving from a longer month does.
void typeMonthAndDay(QDateEdit *picker, const QString &month, const QString &day)
{
    picker->setFocus();
    QVERIFY(QTest::qWaitFor([picker] { return QApplication::focusWidget() == picker; }));
    picker->setSelectedSection(QDateTimeEdit::MonthSection);
    QTest::keyClicks(picker, month);
    picker->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(picker, day);
}

} // namespace

// The final print from the journal book options, and the editor of a printed entry.
class TestFinalPrintWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void twoQuartersPrintedThenTheSecondUndone()
    {
        HalfYear book;
        FiscalEnvironment environment(book.archive);
        environment.setWorkingDate(QDate(2024, 7, 1));
        QVERIFY(environment.refresh());
        ReportSettings settings;
        ScriptedMessages messages;
        ReportOptionsWindow window(environment, settings);
        window.openWithDefaults();
        window.selectReport(ReportCode::GiornaleContabile);
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));

        auto *final = window.findChild<QRadioButton *>(u"optDefinitiva"_s);
        auto *from = window.findChild<QDateEdit *>(u"Dat1"_s);
        auto *to = window.findChild<QDateEdit *>(u"Dat2"_s);
        auto *sheet = window.findChild<QLineEdit *>(u"txtFoglio"_s);
        auto *state = window.findChild<QLabel *>(u"lblDefinitiva"_s);
        final->setFocus();
        QTest::keyClick(final, Qt::Key_Space);
        QVERIFY(window.finalPrint());
        QVERIFY(!from->isEnabled());
        QVERIFY(!sheet->isEnabled());
        QCOMPARE(from->date(), QDate(2024, 1, 1));
        QCOMPARE(to->date(), QDate(2024, 6, 15)); // the last entry date
        QCOMPARE(state->text(),
                 u"Prima stampa definitiva dell'esercizio: dal 01/01/2024, foglio 1."_s);

        // The other reports keep their own period.
        window.selectReport(ReportCode::Bilancio);
        QVERIFY(from->isEnabled());
        window.selectReport(ReportCode::GiornaleContabile);
        QVERIFY(!from->isEnabled());

        // January to March in PDF, after a question whose default is No: No records nothing.
        typeMonthAndDay(to, u"03"_s, u"31"_s);
        QCOMPARE(to->date(), QDate(2024, 3, 31));
        QTemporaryDir folder;
        messages.files = {folder.filePath(u"q1.pdf"_s)};
        window.run(ReportOutput::Pdf);
        QCOMPARE(messages.shown.constLast(),
                 u"Stampare in definitiva il libro giornale dal 01/01/2024 al 31/03/2024? Le "
                 u"registrazioni stampate non potranno più essere modificate."_s);
        QCOMPARE(messages.defaultAnswers.constLast(), false);
        QVERIFY(book.prints().isEmpty());
        messages.answers = {true};
        window.run(ReportOutput::Pdf);
        QCOMPARE(messages.shown.constLast(),
                 u"Stampa definitiva registrata: dal 01/01/2024 al 31/03/2024, fogli 1-1."_s);
        QCOMPARE(book.prints().size(), 1);
        QCOMPARE(from->date(), QDate(2024, 4, 1));
        QCOMPARE(sheet->text(), u"2"_s);
        QCOMPARE(state->text(),
                 u"Continua la stampa definitiva: dal 01/04/2024, foglio 2, riga 7."_s);

        // The preview of a final run shows its pages, offers no printing and records nothing.
        bool printable = true;
        QTimer::singleShot(0, [&printable] {
            auto *preview = qobject_cast<ReportPreview *>(QApplication::activeModalWidget());
            if (!preview)
                return;
            printable = preview->findChild<QAction *>(u"actStampa"_s) != nullptr;
            preview->reject();
        });
        window.run(ReportOutput::Preview);
        QVERIFY(!printable);
        QCOMPARE(book.prints().size(), 1);

        // April to June on the printer: a print the user says failed records nothing.
        messages.printFiles = {folder.filePath(u"spoiled.pdf"_s)};
        messages.answers = {true, false};
        window.run(ReportOutput::Print);
        QCOMPARE(messages.shown.constLast(), u"La stampa è riuscita?"_s);
        QCOMPARE(messages.defaultAnswers.constLast(), false);
        QCOMPARE(book.prints().size(), 1);
        messages.printFiles = {folder.filePath(u"q2.pdf"_s)};
        messages.answers = {true, true};
        window.run(ReportOutput::Print);
        const QList<FinalPrint> prints = book.prints();
        QCOMPARE(prints.size(), 2);
        QCOMPARE(prints.last().dateTo, QDate(2024, 6, 15));
        QCOMPARE(prints.last().firstSheet, 2);
        QCOMPARE(prints.last().hash.size(), 64);
        const QStringList pages = pdfPageTexts(folder.filePath(u"q2.pdf"_s));
        QVERIFY(!pages.isEmpty());
        QVERIFY2(pages.first().contains(u"Riporto: 30,00 30,00"_s), qPrintable(pages.first()));

        // The list of the year's runs.
        QStringList listed;
        QTimer::singleShot(0, [&listed] {
            auto *list = qobject_cast<FinalPrintsWindow *>(QApplication::activeModalWidget());
            if (!list)
                return;
            for (int row = 0; row < list->table()->rowCount(); ++row)
                listed.append(list->table()->item(row, 0)->text() + u" | "_s +
                              list->table()->item(row, 1)->text() + u" | "_s +
                              list->table()->item(row, 3)->text());
            list->reject();
        });
        window.findChild<QPushButton *>(u"cmdStampeDefinitive"_s)->click();
        QCOMPARE(listed, (QStringList{u"dal 01/01/2024 al 31/03/2024 | 1 - 1 | 30,00"_s,
                                      u"dal 01/04/2024 al 15/06/2024 | 2 - 2 | 60,00"_s}));

        // The undo asks first; without a Yes nothing changes.
        auto *undo = window.findChild<QPushButton *>(u"cmdAnnullaDefinitiva"_s);
        messages.answers.clear();
        undo->click();
        QVERIFY(messages.shown.constLast().startsWith(
            u"Annullare l'ultima stampa definitiva del Giornale contabile (dal 01/04/2024 al "
            u"15/06/2024, fogli 2-2)?"_s));
        QCOMPARE(messages.defaultAnswers.constLast(), false);
        QCOMPARE(book.prints().size(), 2);
        messages.answers = {true};
        undo->click();
        QCOMPARE(book.prints().size(), 1);
        QCOMPARE(from->date(), QDate(2024, 4, 1));

        // April is open again, March is not.
        EntryEditor editor(environment);
        QVERIFY(editor.openEntry(book.entries.at(3)));
        QVERIFY(editor.findChild<QPushButton *>(u"cmdModifica"_s)->isEnabled());
        QVERIFY(editor.openEntry(book.entries.at(2)));
        auto *change = editor.findChild<QPushButton *>(u"cmdModifica"_s);
        QVERIFY(!change->isEnabled());
        QVERIFY(!editor.findChild<QPushButton *>(u"cmdElimina"_s)->isEnabled());
        QCOMPARE(editor.findChild<QLabel *>(u"sbPanel1"_s)->text(), lockedEntryMessage());
        // Asked to change it all the same, the editor says why not.
        editor.startEditing();
        QCOMPARE(messages.shown.constLast(), lockedEntryMessage());
        QCOMPARE(editor.state(), EntryEditor::State::View);
    }
};

QTEST_MAIN(TestFinalPrintWindow)
#include "tst_finalprintwindow.moc"
