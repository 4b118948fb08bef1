#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "reports/FilterChoices.h"
#include "reports/ReportCatalog.h"
#include "reports/ReportChooser.h"
#include "reports/ReportOptionsWindow.h"
#include "reports/ReportSettings.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/PreviewDocument.h"
#include "ui/ReportProgressDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

class BlankPages : public PreviewDocument {
public:
    int pageCount() const override { return 1; }
    QPageLayout pageLayout() const override
    {
        return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
    }
    void paintPage(QPainter &, int) const override {}
};

// A small chart: two accounts with two sub-accounts each, and entries on them in 2024.
struct Fixture {
    TestArchive archive;
    qint64 banche = 0, cassa = 0;
    qint64 bancaA = 0, bancaB = 0, contanti = 0, valori = 0;
    FiscalEnvironment environment;

    Fixture()
    {
        const qint64 attivo = archive.addMastro(u"A01"_s, u"Disponibilità"_s, 1);
        banche = archive.addConto(attivo, u"A01001"_s, u"Banche"_s);
        cassa = archive.addConto(attivo, u"A01002"_s, u"Cassa"_s);
        bancaA = archive.addSottoconto(banche, u"Banca Alfa"_s);
        bancaB = archive.addSottoconto(banche, u"Banca Beta"_s);
        contanti = archive.addSottoconto(cassa, u"Contanti"_s);
        valori = archive.addSottoconto(cassa, u"Valori bollati"_s);
        archive.addEntry(QDate(2024, 2, 1),
                         {{bancaA, {}, Money::fromUnits(1000000), u"prelievo"_s},
                          {{}, contanti, Money::fromUnits(1000000), u"prelievo"_s}});
        archive.addEntry(QDate(2024, 3, 1), {{valori, {}, Money::fromUnits(50000), u"bolli"_s},
                                             {{}, bancaB, Money::fromUnits(50000), u"bolli"_s}});
        archive.addEntry(QDate(2025, 1, 5),
                         {{bancaA, {}, Money::fromUnits(20000), u"fuori periodo"_s},
                          {{}, contanti, Money::fromUnits(20000), u"fuori periodo"_s}});
        environment.setArchive(archive);
        environment.setWorkingDate(QDate(2024, 5, 15));
        if (!environment.refresh())
            qFatal("environment");
    }
};

// The account-card rows a statement selects, as "sub-account: description".
QStringList cardRows(const Archive &archive, const BoundSql &statement)
{
    Connection connection(archive);
    QSqlQuery query = connection.query();
    QString error;
    if (!runSql(query, statement.sql, statement.values, &error))
        qFatal("%s", qPrintable(error));
    QStringList rows;
    while (query.next())
        rows.append(query.value(u"Conto"_s).toString() + u": "_s +
                    query.value(u"Descrizione"_s).toString());
    return rows;
}

template <typename T> T *child(QWidget &window, const QString &name)
{
    auto *widget = window.findChild<T *>(name);
    if (!widget)
        qFatal("no %s", qPrintable(name));
    return widget;
}

// Gives the widget the focus in its active window, so that it takes the keys typed.
void focusOn(QWidget *widget)
{
    QApplication::setActiveWindow(widget->window());
    widget->setFocus();
    QVERIFY(QTest::qWaitFor([widget] { return QApplication::focusWidget() == widget; }));
}

// Types into the focused widget, as the user does.
void focusAndPress(QWidget *widget, Qt::Key key, int times = 1)
{
    focusOn(widget);
    for (int press = 0; press < times; ++press)
        QTest::keyClick(QApplication::focusWidget(), key);
}

// Runs the report to the preview and closes the preview once it shows; true when one showed.
bool previewThenClose(QWidget &window)
{
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        if (QWidget *preview = QApplication::activeModalWidget()) {
            shown = preview->inherits("ReportPreview");
            preview->close();
        }
    });
    child<QPushButton>(window, u"cmdPreview"_s)->click();
    return shown;
}

// Opens the options window for a new round and makes it the active window, so that it takes
// the keys.
void openActive(ReportOptionsWindow &window)
{
    window.openWithDefaults();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

} // namespace

// The report options: the shared settings, the window's rules and the chooser.
class TestReportOptions : public QObject {
    Q_OBJECT

    // Every run of the options window records the settings the report received.
    struct Recorder {
        QList<ReportSettings> runs;
        ReportOptionsWindow::ReportLayout layout()
        {
            return [this](const ReportSettings &settings, ReportProgressDialog &, QString *) {
                runs.append(settings);
                return std::unique_ptr<PreviewDocument>(new BlankPages);
            };
        }
    };

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void filterTakesTheLeadingChosenIds()
    {
        ReportSettings settings;
        settings.setFilter(FilterLevel::Sottoconto, {3, 0, 0}, {42, 0, 0});
        QCOMPARE(settings.subAccountIds, QList<qint64>{42});
        QVERIFY(settings.accountIds.isEmpty());
        settings.setFilter(FilterLevel::Conto, {1, 2, 0}, {7, 8, 0});
        QCOMPARE(settings.accountIds, (QList<qint64>{7, 8}));
        QVERIFY(settings.subAccountIds.isEmpty());
        QCOMPARE(settings.filterIndex, (std::array<int, 3>{1, 2, 0}));
        settings.setFilter(FilterLevel::Conto, {0, 0, 0}, {0, 0, 0});
        QVERIFY(!settings.hasAccountFilter());
        QCOMPARE(inPlaceholders(3), u" IN (?, ?, ?)"_s);
        QVERIFY(inPlaceholders(0).isEmpty());
    }

    void accountCardStatementBindsPeriodAndFilter()
    {
        Fixture f;
        ReportSettings settings;
        settings.dateFrom = QDate(2024, 1, 1);
        settings.dateTo = QDate(2024, 12, 31);
        QCOMPARE(cardRows(f.archive, accountCardsStatement(settings)),
                 (QStringList{u"Banca Alfa: prelievo"_s, u"Banca Beta: bolli"_s,
                              u"Contanti: prelievo"_s, u"Valori bollati: bolli"_s}));

        settings.setFilter(FilterLevel::Sottoconto, {1, 0, 0}, {f.contanti, 0, 0});
        QCOMPARE(cardRows(f.archive, accountCardsStatement(settings)),
                 QStringList{u"Contanti: prelievo"_s});

        settings.setFilter(FilterLevel::Conto, {1, 0, 0}, {f.banche, 0, 0});
        QCOMPARE(cardRows(f.archive, accountCardsStatement(settings)),
                 (QStringList{u"Banca Alfa: prelievo"_s, u"Banca Beta: bolli"_s}));
        // The ids travel as bound values, never inside the text.
        QVERIFY(!accountCardsStatement(settings).sql.contains(QString::number(f.banche)));
    }

    void filterListsHoldEveryRecordByDescription()
    {
        Fixture f;
        QCOMPARE(f.archive.scalar(u"SELECT COUNT(*) FROM sottoconti"_s).toInt(), 4);
        f.archive.exec(u"UPDATE sottoconti SET descrizione = 'Alfa, l''altra' WHERE id = ?"_s,
                       {f.valori});
        const QList<FilterChoice> subAccounts = filterChoices(f.archive, FilterLevel::Sottoconto);
        QStringList texts;
        for (const FilterChoice &choice : subAccounts)
            texts.append(choice.text);
        QCOMPARE(texts, (QStringList{u"(nessun filtro)"_s, u"Alfa, l'altra"_s, u"Banca Alfa"_s,
                                     u"Banca Beta"_s, u"Contanti"_s}));
        QCOMPARE(subAccounts[1].id, f.valori);
        const QList<FilterChoice> accounts = filterChoices(f.archive, FilterLevel::Conto);
        QCOMPARE(accounts.size(), 3);
        QCOMPARE(accounts[2].id, f.cassa);
    }

    void sheetNumbers_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("sheet"); // -1 when refused
        QTest::newRow("plain") << u"15"_s << 15;
        QTest::newRow("zero") << u"0"_s << 0;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("letters") << u"1a"_s << -1;
        QTest::newRow("sign") << u"-3"_s << -1;
        QTest::newRow("last 16-bit") << u"32767"_s << 32767;
        QTest::newRow("would wrap") << u"32768"_s << -1;
    }

    void sheetNumbers()
    {
        QFETCH(QString, typed);
        QFETCH(int, sheet);
        QCOMPARE(parseSheetNumber(typed).value_or(-1), sheet);
    }

    void selectedReportShowsItsFrames()
    {
        Fixture f;
        ReportSettings settings;
        ReportOptionsWindow window(f.environment, settings);
        openActive(window);
        QCOMPARE(window.windowTitle(), u" Stampe Contabilità"_s);
        QVERIFY(!window.isModal());
        QCOMPARE(window.property("helpContext").toInt(), 26);
        QCOMPARE(child<QListWidget>(window, u"reportsGrid"_s)->count(), 8);
        QCOMPARE(child<QDateEdit>(window, u"Dat1"_s)->date(), QDate(2024, 1, 1));
        QCOMPARE(child<QDateEdit>(window, u"Dat2"_s)->date(), QDate(2024, 12, 31));

        struct Expected {
            int code;
            bool filter, journal, balance;
            QString note;
        };
        const QList<Expected> expected = {
            {1, true, false, false, u"Movimenti contabili verticale"_s},
            {4, true, false, false, u"Schede contabili orizzontale"_s},
            {5, false, false, true, reportEntry(5)->note},
            {6, false, false, true, reportEntry(6)->note},
            {7, false, true, false, u"Giornale contabile"_s},
            {8, false, false, false, reportEntry(8)->note},
        };
        // One size and the buttons in one place, whatever the report.
        const QSize size = window.size();
        const auto *preview = child<QPushButton>(window, u"cmdPreview"_s);
        const QPoint buttons = preview->mapTo(&window, QPoint());
        for (const Expected &report : expected) {
            window.selectReport(report.code);
            QApplication::processEvents();
            QCOMPARE(window.size(), size);
            QCOMPARE(preview->mapTo(&window, QPoint()), buttons);
            QCOMPARE(child<QGroupBox>(window, u"fraFiltro"_s)->isVisible(), report.filter);
            QCOMPARE(child<QGroupBox>(window, u"fraGiornale"_s)->isVisible(), report.journal);
            QCOMPARE(child<QGroupBox>(window, u"fraBilancio"_s)->isVisible(), report.balance);
            QVERIFY(child<QGroupBox>(window, u"fraPeriodo"_s)->isVisible());
            QCOMPARE(child<QLabel>(window, u"lblNotes"_s)->text(), report.note);
        }
        QVERIFY(reportEntry(6)->note.contains(u"(Attività/Passività - Costi/Ricavi)"_s));
        QCOMPARE(child<QLineEdit>(window, u"txtFoglio"_s)->text(), u"1"_s);
    }

    // The period follows the working date's fiscal year until the user types one of its own.
    void periodFollowsTheWorkingDateUnlessTypedByHand()
    {
        Fixture f;
        ReportSettings settings;
        ReportOptionsWindow window(f.environment, settings);
        openActive(window);
        auto *from = child<QDateEdit>(window, u"Dat1"_s);
        auto *to = child<QDateEdit>(window, u"Dat2"_s);
        f.environment.setWorkingDate(QDate(2025, 3, 1));
        QVERIFY(f.environment.refresh());
        window.followWorkingDate();
        QCOMPARE(from->date(), QDate(2025, 1, 1));
        QCOMPARE(to->date(), QDate(2025, 12, 31));

        focusOn(from);
        from->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(from, u"15"_s);
        QCOMPARE(from->date(), QDate(2025, 1, 15));
        f.environment.setWorkingDate(QDate(2024, 5, 15));
        QVERIFY(f.environment.refresh());
        window.followWorkingDate();
        QCOMPARE(from->date(), QDate(2025, 1, 15));
        QCOMPARE(to->date(), QDate(2025, 12, 31));
    }

    void filterListsFollowEachOther()
    {
        Fixture f;
        ScriptedMessages messages;
        ReportSettings settings;
        Recorder recorder;
        ReportOptionsWindow window(f.environment, settings);
        window.setReportLayout(ReportCode::MovimentiVerticale, recorder.layout());
        openActive(window);
        QComboBox *lists[3] = {child<QComboBox>(window, u"cmbConti0"_s),
                               child<QComboBox>(window, u"cmbConti1"_s),
                               child<QComboBox>(window, u"cmbConti2"_s)};
        QCOMPARE(lists[0]->count(), 5);
        QVERIFY(lists[0]->isEnabled() && !lists[1]->isEnabled() && !lists[2]->isEnabled());

        focusAndPress(lists[0], Qt::Key_Down, 3); // "Contanti"
        QCOMPARE(lists[0]->currentText(), u"Contanti"_s);
        QVERIFY(lists[1]->isEnabled() && !lists[2]->isEnabled());
        child<QPushButton>(window, u"cmdOK"_s)->click();
        QCOMPARE(recorder.runs.constLast().subAccountIds, QList<qint64>{f.contanti});
        QVERIFY(recorder.runs.constLast().accountIds.isEmpty());

        focusAndPress(lists[1], Qt::Key_Down);
        QVERIFY(lists[2]->isEnabled());
        focusAndPress(lists[2], Qt::Key_Down, 2);
        child<QPushButton>(window, u"cmdOK"_s)->click();
        QCOMPARE(recorder.runs.constLast().subAccountIds,
                 (QList<qint64>{f.contanti, f.bancaA, f.bancaB}));
        QCOMPARE(recorder.runs.constLast().output, ReportOutput::Print);

        // Back to "(nessun filtro)" in the first list resets and locks the others.
        focusAndPress(lists[0], Qt::Key_Home);
        QCOMPARE(lists[1]->currentIndex(), 0);
        QCOMPARE(lists[2]->currentIndex(), 0);
        QVERIFY(!lists[1]->isEnabled() && !lists[2]->isEnabled());
        QVERIFY(previewThenClose(window));
        QVERIFY(!recorder.runs.constLast().hasAccountFilter());

        // The account level fills the lists with the accounts.
        child<QRadioButton>(window, u"optConto1"_s)->click();
        QCOMPARE(lists[0]->count(), 3);
        focusAndPress(lists[0], Qt::Key_Down);
        QCOMPARE(lists[0]->currentText(), u"Banche"_s);
        child<QPushButton>(window, u"cmdOK"_s)->click();
        QCOMPARE(recorder.runs.constLast().accountIds, QList<qint64>{f.banche});
        QCOMPARE(recorder.runs.constLast().filterLevel, FilterLevel::Conto);
    }

    void accountCardsReceiveTheirStatement()
    {
        Fixture f;
        ScriptedMessages messages;
        ReportSettings settings;
        Recorder recorder;
        ReportOptionsWindow window(f.environment, settings);
        window.setReportLayout(ReportCode::SchedeVerticale, recorder.layout());
        window.setReportLayout(ReportCode::MovimentiVerticale, recorder.layout());
        openActive(window);
        window.selectReport(ReportCode::SchedeVerticale);
        child<QDateEdit>(window, u"Dat2"_s)->setDate(QDate(2024, 2, 28));
        QVERIFY(previewThenClose(window));
        QCOMPARE(recorder.runs.constLast().output, ReportOutput::Preview);
        QCOMPARE(cardRows(f.archive, recorder.runs.constLast().source),
                 (QStringList{u"Banca Alfa: prelievo"_s, u"Contanti: prelievo"_s}));
        window.selectReport(ReportCode::MovimentiVerticale);
        child<QPushButton>(window, u"cmdOK"_s)->click();
        QVERIFY(recorder.runs.constLast().source.sql.isEmpty());
    }

    void atLeastOneLevelStaysChecked()
    {
        Fixture f;
        ScriptedMessages messages;
        ReportSettings settings;
        Recorder recorder;
        ReportOptionsWindow window(f.environment, settings);
        window.setReportLayout(ReportCode::Bilancio, recorder.layout());
        openActive(window);
        window.selectReport(ReportCode::Bilancio);
        QCheckBox *levels[4];
        for (int index = 0; index < 4; ++index)
            levels[index] = child<QCheckBox>(window, u"chkLivello%1"_s.arg(index));
        for (int index : {3, 0, 1})
            focusAndPress(levels[index], Qt::Key_Space);
        QVERIFY(levels[2]->isChecked());
        focusAndPress(levels[2], Qt::Key_Space);
        QVERIFY(levels[2]->isChecked());
        QVERIFY(!levels[0]->isChecked() && !levels[1]->isChecked() && !levels[3]->isChecked());
        focusAndPress(levels[0], Qt::Key_Space);
        focusAndPress(levels[2], Qt::Key_Space);
        QVERIFY(!levels[2]->isChecked());
        QVERIFY(levels[0]->isChecked());

        focusAndPress(child<QCheckBox>(window, u"chkColonneFisse"_s), Qt::Key_Space);
        focusAndPress(child<QCheckBox>(window, u"chkSaldoZero"_s), Qt::Key_Space);
        child<QPushButton>(window, u"cmdOK"_s)->click();
        const ReportSettings &run = recorder.runs.constLast();
        QCOMPARE(run.levels, (std::array<bool, 4>{true, false, false, false}));
        QVERIFY(run.fixedColumns && run.zeroBalances);
        QVERIFY(!run.showCodes && !run.hideMarked && !run.closingEntries);

        // Opening the window again clears the balance boxes.
        window.openWithDefaults();
        QVERIFY(!child<QCheckBox>(window, u"chkColonneFisse"_s)->isChecked());
        QVERIFY(!settings.fixedColumns && !settings.zeroBalances);
    }

    void sheetNumberTakesDigitsOnlyAndHoldsTheFocus()
    {
        Fixture f;
        ScriptedMessages messages;
        ReportSettings settings;
        Recorder recorder;
        ReportOptionsWindow window(f.environment, settings);
        window.setReportLayout(ReportCode::GiornaleContabile, recorder.layout());
        openActive(window);
        window.selectReport(ReportCode::GiornaleContabile);
        auto *sheet = child<QLineEdit>(window, u"txtFoglio"_s);
        focusOn(sheet);
        QTest::keyClick(sheet, Qt::Key_Backspace);
        QTest::keyClicks(sheet, u"1x5-"_s);
        QCOMPARE(sheet->text(), u"15"_s);

        QVERIFY(previewThenClose(window));
        QCOMPARE(recorder.runs.constLast().firstSheet, 15);
        QCOMPARE(recorder.runs.constLast().output, ReportOutput::Preview);

        focusOn(sheet);
        QTest::keyClick(sheet, Qt::Key_Backspace);
        QTest::keyClick(sheet, Qt::Key_Backspace);
        QVERIFY(sheet->text().isEmpty());
        QTest::keyClick(sheet, Qt::Key_Tab);
        QTRY_VERIFY(sheet->hasFocus());

        // A run with no number keeps the field and tells why.
        const qsizetype runs = recorder.runs.size();
        child<QPushButton>(window, u"cmdOK"_s)->click();
        QCOMPARE(recorder.runs.size(), runs);
        QCOMPARE(messages.shown.size(), 1);
        QVERIFY(sheet->hasFocus());
    }

    void reportsNotBuiltSaySoAndExportsAreChecked()
    {
        Fixture f;
        ScriptedMessages messages;
        ReportSettings settings;
        Recorder recorder;
        ReportOptionsWindow window(f.environment, settings);
        window.setReportLayout(ReportCode::GiornaleContabile, recorder.layout());
        openActive(window);
        window.selectReport(ReportCode::Bilancio);
        child<QPushButton>(window, u"cmdPreview"_s)->click();
        QCOMPARE(messages.shown,
                 QStringList{u"Il report \"Bilancio\" non è ancora disponibile."_s});

        window.selectReport(ReportCode::GiornaleContabile);
        child<QAction>(window, u"expExcel"_s)->trigger();
        QCOMPARE(messages.shown.constLast(),
                 u"Il report \"Giornale contabile\" non si può esportare in questo formato."_s);
        QVERIFY(recorder.runs.isEmpty());

        // A cancelled save dialog writes nothing, says nothing and leaves the window open.
        const qsizetype shown = messages.shown.size();
        child<QAction>(window, u"expPdf"_s)->trigger();
        QCOMPARE(recorder.runs.size(), 1);
        QCOMPARE(recorder.runs.constLast().output, ReportOutput::Pdf);
        QVERIFY(!recorder.runs.constLast().exporting); // a PDF keeps the preview's headings
        QCOMPARE(messages.shown.size(), shown + 1);    // the save dialog's title only
        QCOMPARE(messages.saveStarts.constLast(),
                 QDir(f.archive.folder())
                     .filePath(u"documenti/Giornale contabile 2024-01-01 2024-12-31.pdf"_s));
        QVERIFY(QDir(QDir(f.archive.folder()).filePath(u"documenti"_s)).isEmpty());
        QVERIFY(window.isVisible());
        QVERIFY(!settings.exporting);
    }

    void chooserCaptionsAndChoice()
    {
        ReportChooser chooser;
        QCOMPARE(chooser.windowTitle(), u"Stampe"_s);
        QCOMPARE(child<QRadioButton>(chooser, u"optPrint0"_s)->text(),
                 u"Stampe contabili (Movimenti, Schede, Bilancio)"_s);
        QCOMPARE(child<QPushButton>(chooser, u"cmdOK"_s)->text(), u"Avanti >>"_s);
        QCOMPARE(chooser.choice(), ReportChooser::StampeContabili);
        child<QRadioButton>(chooser, u"optPrint1"_s)->click();
        QCOMPARE(chooser.choice(), ReportChooser::PianoDeiConti);
    }
};

QTEST_MAIN(TestReportOptions)
#include "tst_reportoptions.moc"
