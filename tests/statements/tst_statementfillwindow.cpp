#include "WorkbookXml.h"
#include "statements/BalanceSections.h"
#include "statements/StatementFillWindow.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const StatementYears Years{{QDate(2024, 1, 1), QDate(2024, 12, 31)},
                           {QDate(2023, 1, 1), QDate(2023, 12, 31)}};

QString shippedTemplate()
{
    return QDir(binDir()).filePath(u"modelli/bilancio3settore.xltx"_s);
}

// Cash of the third-sector chart moves by 150,25 in 2023 and by 30,00 in 2024 (no opening entry,
// 2023 not closed).
void addCashMovements(TestArchive &a)
{
    const qint64 cassa =
        a.addSottoconto(a.addConto(a.addMastro(u"170"_s, u"Disponibilità liquide"_s, 1),
                                   u"170030"_s, u"Danaro e valori in cassa"_s),
                        u"Cassa contanti"_s);
    const qint64 quote = a.addSottoconto(
        a.addConto(a.addMastro(u"410"_s, u"Proventi"_s, 4), u"410010"_s, u"Quote"_s),
        u"Quote associative"_s);
    a.addEntry(QDate(2023, 4, 1), {{cassa, quote, Money::fromCents(15025), u""_s}});
    a.addEntry(QDate(2024, 4, 1), {{cassa, quote, Money::fromCents(3000), u""_s}});
}

} // namespace

class TestStatementFillWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void generatesTheWorkbookFromTheChosenTemplate()
    {
        TestArchive a;
        addCashMovements(a);
        const QString model = a.folder() + u"/modelli/bilancio3settore.xltx"_s;
        QVERIFY(QFile::copy(shippedTemplate(), model));
        const QString out = a.folder() + u"/documenti/bilancio.xlsx"_s;
        ScriptedMessages messages;
        messages.files = {model, out};

        StatementFillWindow window(a.folder(), Years);
        window.show();
        auto *genera = window.findChild<QPushButton *>(u"cmdOK"_s);
        QVERIFY(!genera->isEnabled());
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdFolderSelect"_s), Qt::LeftButton);
        QVERIFY(genera->isEnabled());
        QCOMPARE(window.findChild<QLineEdit *>(u"txtFolder"_s)->text(),
                 QDir::toNativeSeparators(model));

        QTest::mouseClick(genera, Qt::LeftButton);
        QCOMPARE(messages.shown,
                 QStringList(
                     {u"Apri il file Modello"_s, u"Salva il File generato"_s,
                      u"File generato con successo: "_s + out + u'\n' + previousYearOpenNotice()}));
        // Open for the next file, with the template read again.
        QVERIFY(window.isVisible());
        QVERIFY(genera->isEnabled());
        QCOMPARE(messages.fileDialogs,
                 QStringList({a.folder() + u"/modelli | Modello Excel (*.xltx *.xlsx)"_s,
                              a.folder() + u"/documenti/bilancio3settore 2024-01-01 "
                                           u"2024-12-31.xlsx | File Excel (*.xlsx) | xlsx"_s}));
        QCOMPARE(window.statusText(), u"Processo terminato."_s);
        const QByteArray cash = WorkbookXml::cellHolding(model, u"{{C170030}}"_s);
        QVERIFY(!cash.isEmpty());
        QCOMPARE(WorkbookXml::numberIn(out, cash), QByteArray("180.25"));
        QCOMPARE(WorkbookXml::numberIn(out, WorkbookXml::cellHolding(model, u"{{P170030}}"_s)),
                 QByteArray("150.25"));
    }

    void clickingTheFieldOpensTheDialogAndCancellingDisablesGenera()
    {
        TestArchive a;
        ScriptedMessages messages;
        messages.files = {shippedTemplate()};
        StatementFillWindow window(a.folder(), Years);
        window.show();
        auto *field = window.findChild<QLineEdit *>(u"txtFolder"_s);
        QCOMPARE(field->text(), u"Selezionare un File Modello di Bilancio.."_s);
        QTest::mouseClick(field, Qt::LeftButton);
        auto *genera = window.findChild<QPushButton *>(u"cmdOK"_s);
        QVERIFY(genera->isEnabled());
        QTest::mouseClick(field, Qt::LeftButton);
        QVERIFY(!genera->isEnabled());
        QCOMPARE(messages.shown.size(), 2);
    }

    void anUnreadableTemplateIsToldAndTheWindowStays()
    {
        TestArchive a;
        const QString broken = a.folder() + u"/modelli/rotto.xltx"_s;
        {
            QFile file(broken);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("testo");
        }
        ScriptedMessages messages;
        messages.files = {broken};
        StatementFillWindow window(a.folder(), Years);
        window.show();
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdFolderSelect"_s), Qt::LeftButton);
        QVERIFY(!window.findChild<QPushButton *>(u"cmdOK"_s)->isEnabled());
        QVERIFY(messages.shown.last().startsWith(u"Impossibile aprire il modello"_s));
        QVERIFY(window.isVisible());
    }

    void cancellingTheSaveDialogDoesNothing()
    {
        TestArchive a;
        ScriptedMessages messages;
        messages.files = {shippedTemplate()};
        StatementFillWindow window(a.folder(), Years);
        window.show();
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdFolderSelect"_s), Qt::LeftButton);
        auto *genera = window.findChild<QPushButton *>(u"cmdOK"_s);
        QTest::mouseClick(genera, Qt::LeftButton);
        QVERIFY(genera->isEnabled());
        QVERIFY(window.isVisible());
        QVERIFY(window.statusText().isEmpty());
        QVERIFY(QDir(a.folder() + u"/documenti"_s).isEmpty());
    }

    void aFailedSaveIsReportedAndLeavesNoFile()
    {
        TestArchive a;
        ScriptedMessages messages;
        const QString out = a.folder() + u"/manca/bilancio.xlsx"_s;
        messages.files = {shippedTemplate(), out};
        StatementFillWindow window(a.folder(), Years);
        window.show();
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdFolderSelect"_s), Qt::LeftButton);
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdOK"_s), Qt::LeftButton);
        QVERIFY(messages.shown.last().startsWith(u"Procedura interrotta."_s));
        QCOMPARE(window.statusText(), u"Processo terminato."_s);
        QVERIFY(!QFile::exists(out));
    }

    void escapeClosesTheWindow()
    {
        TestArchive a;
        ScriptedMessages messages;
        StatementFillWindow window(a.folder(), Years);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QVERIFY(messages.shown.isEmpty());
    }

    void theCommandLineFillsAndCounts()
    {
        TestArchive a;
        addCashMovements(a);
        const QString out = a.folder() + u"/documenti/riga.xlsx"_s;
        QProcess cli;
        cli.start(QDir(binDir()).filePath(u"tovrin3-cli"_s),
                  {u"fill"_s, u"--archive"_s, a.folder(), u"--date"_s, u"2024-06-30"_s,
                   u"--template"_s, shippedTemplate(), u"--out"_s, out});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const int filled = QString::fromUtf8(cli.readAllStandardOutput()).trimmed().toInt();
        QVERIFY(filled > 100);
        QCOMPARE(filled % 2, 0);
        // 2023 is not closed: the cash at the end of 2024 holds it, and the user is told.
        QCOMPARE(WorkbookXml::numberIn(
                     out, WorkbookXml::cellHolding(shippedTemplate(), u"{{C170030}}"_s)),
                 QByteArray("180.25"));
        QCOMPARE(QString::fromUtf8(cli.readAllStandardError()).trimmed(), previousYearOpenNotice());
        // The heading names the organisation and the two fiscal years.
        pugi::xml_document sheet;
        QVERIFY(WorkbookXml::load(out, u"xl/worksheets/sheet1.xml"_s, &sheet));
        QCOMPARE(QString::fromUtf8(WorkbookXml::cell(sheet, "B3").child("is").child_value("t")),
                 u"Esercizio 2024"_s);
        QCOMPARE(QString::fromUtf8(WorkbookXml::cell(sheet, "C3").child("is").child_value("t")),
                 u"Esercizio 2023"_s);
        QVERIFY(WorkbookXml::cell(sheet, "A2").child("is"));

        cli.start(QDir(binDir()).filePath(u"tovrin3-cli"_s),
                  {u"fill"_s, u"--archive"_s, a.folder(), u"--template"_s,
                   a.folder() + u"/modelli/assente.xltx"_s, u"--out"_s, out + u"2.xlsx"_s});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains(u"non esiste"_s));
        QVERIFY(!QFile::exists(out + u"2.xlsx"_s));
    }
};

QTEST_MAIN(TestStatementFillWindow)
#include "tst_statementfillwindow.moc"
