#include "data/FinalPrints.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "main/Deletion.h"
#include "main/DeletionCommand.h"
#include "main/MainWindow.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/grid/BoundGridModel.h"
#include "ui/grid/DataGrid.h"

#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Renumber = u"I progressivi non sono allineati: effettuare un ricalcolo?"_s;

struct Fixture {
    TestArchive archive;
    FiscalEnvironment environment{archive};
    qint64 attivo = 0, ricavi = 0, liquidita = 0, quoteConto = 0;
    qint64 cassa = 0, quote = 0, vecchio = 0;
    qint64 entries[3] = {};

    Fixture()
    {
        writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser,
                       archive.folder());
        attivo = archive.addMastro(u"A01"_s, u"Disponibilità"_s, 1);
        ricavi = archive.addMastro(u"R01"_s, u"Proventi"_s, 4);
        liquidita = archive.addConto(attivo, u"A01001"_s, u"Liquidità"_s);
        quoteConto = archive.addConto(ricavi, u"R01001"_s, u"Quote"_s);
        cassa = archive.addSottoconto(liquidita, u"Cassa"_s);
        quote = archive.addSottoconto(quoteConto, u"Quote soci"_s);
        vecchio = archive.addSottoconto(liquidita, u"Cassa vecchia"_s);
        archive.addEntry({2023, 6, 1}, {{vecchio, quote, Money::fromCents(500), u"Anno prima"_s}},
                         0, 1);
        for (int i = 0; i < 3; ++i)
            entries[i] = archive.addEntry(
                {2024, 2 + i, 1}, {{cassa, quote, Money::fromCents(1000), u"Quota"_s}}, 0, i + 1);
        environment.setWorkingDate({2024, 5, 15});
        environment.refresh();
    }

    bool exists(const QString &table, qint64 id) const
    {
        return archive.scalar(u"SELECT COUNT(*) FROM %1 WHERE id = ?"_s.arg(table), {id}).toInt() ==
               1;
    }
};

// The window on a view with the record of that id current.
void select(MainWindow &window, MainView view, qint64 id)
{
    window.showView(view);
    auto *grid = window.findChild<DataGrid *>(u"grid"_s);
    auto *model = static_cast<BoundGridModel *>(grid->model());
    QVERIFY(grid->setCurrentRow(model->find(u"id"_s, id)));
    QCOMPARE(window.currentRecordId(), id);
}

} // namespace

class TestDeletion : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void chartIsDeletedBottomUp()
    {
        Fixture f;
        ScriptedMessages messages;
        MainWindow window(f.environment);
        wireDeletionCommand(window, f.environment);

        select(window, MainView::Mastri, f.attivo);
        Elimina(window, f.environment);
        QCOMPARE(messages.shown,
                 QStringList{u"Il Mastro ha uno o più Conti associati.\nNon verrà quindi "
                             "eliminato."_s});

        // An account with sub-accounts stays; once empty it goes after Yes, not after No.
        messages.shown.clear();
        const qint64 vuoto = f.archive.addConto(f.attivo, u"A01009"_s, u"Vuoto"_s);
        select(window, MainView::Conti, f.liquidita);
        Elimina(window, f.environment);
        select(window, MainView::Conti, vuoto);
        Elimina(window, f.environment);
        messages.answers = {true};
        Elimina(window, f.environment);
        QCOMPARE(messages.shown,
                 (QStringList{u"Il Conto ha uno o più Sottoconti associati.\nNon verrà quindi "
                              "eliminato."_s,
                              u"Eliminare il Conto selezionato?"_s,
                              u"Eliminare il Conto selezionato?"_s}));
        QVERIFY(!f.exists(u"conti"_s, vuoto));
        QVERIFY(window.currentRecordId() != vuoto);

        // Without accounts the ledger goes.
        messages.shown.clear();
        const qint64 solo = f.archive.addMastro(u"S01"_s, u"Solo"_s, 2);
        select(window, MainView::Mastri, solo);
        messages.answers = {true};
        Elimina(window, f.environment);
        QCOMPARE(messages.shown, QStringList{u"Eliminare il Mastro selezionato?"_s});
        QVERIFY(!f.exists(u"mastri"_s, solo));
    }

    void subAccountUsedInAnyYearStays()
    {
        Fixture f;
        ScriptedMessages messages;
        MainWindow window(f.environment);
        // Only an entry of the previous fiscal year names it.
        select(window, MainView::Sottoconti, f.vecchio);
        messages.answers = {true};
        Elimina(window, f.environment);
        QCOMPARE(messages.shown,
                 QStringList{u"Il SottoConto ha uno o più Registrazioni associate.\nNon verrà "
                             "quindi eliminato."_s});
        QVERIFY(f.exists(u"sottoconti"_s, f.vecchio));

        messages.shown.clear();
        const qint64 nuovo = f.archive.addSottoconto(f.liquidita, u"Nuovo"_s);
        select(window, MainView::Sottoconti, nuovo);
        messages.answers = {true};
        Elimina(window, f.environment);
        QCOMPARE(messages.shown, QStringList{u"Eliminare il Sottoconto selezionato?"_s});
        QVERIFY(!f.exists(u"sottoconti"_s, nuovo));
    }

    void renumberingOfferedAfterAMiddleDeletionOnly()
    {
        Fixture f;
        ScriptedMessages messages;
        MainWindow window(f.environment);

        select(window, MainView::Movimenti, f.entries[2]);
        messages.answers = {true};
        Elimina(window, f.environment);
        QCOMPARE(messages.shown, QStringList{u"Eliminare la Registrazione selezionata?"_s});
        QVERIFY(!f.exists(u"regmain"_s, f.entries[2]));
        // The rows went with their header.
        QCOMPARE(
            f.archive.scalar(u"SELECT COUNT(*) FROM regdet WHERE idRegMain = ?"_s, {f.entries[2]})
                .toInt(),
            0);

        messages.shown.clear();
        select(window, MainView::Movimenti, f.entries[0]);
        messages.answers = {true, false};
        Elimina(window, f.environment);
        QCOMPARE(messages.shown,
                 (QStringList{u"Eliminare la Registrazione selezionata?"_s, Renumber}));
        QCOMPARE(window.listedRows(), 1);

        // No still checks the numbers and reloads.
        messages.shown.clear();
        f.archive.addEntry({2024, 4, 1}, {{f.cassa, f.quote, Money::fromCents(100), u"X"_s}});
        select(window, MainView::Movimenti, f.entries[1]);
        Elimina(window, f.environment);
        QCOMPARE(messages.shown,
                 (QStringList{u"Eliminare la Registrazione selezionata?"_s, Renumber}));
        QCOMPARE(window.listedRows(), 2);
    }

    void accountCardsGroupRowOnlyChecksNumbers()
    {
        Fixture f;
        ScriptedMessages messages;
        f.archive.exec(u"UPDATE regmain SET progressivo = 7 WHERE id = ?"_s, {f.entries[1]});
        MainWindow window(f.environment);
        window.showView(MainView::Schede);
        QCOMPARE(window.currentRecordId(), 0);
        Elimina(window, f.environment);
        QCOMPARE(messages.shown, QStringList{Renumber});
        QCOMPARE(f.archive.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 4);
    }

    void emptyViewDoesNothing()
    {
        TestArchive archive;
        ScriptedMessages messages;
        FiscalEnvironment environment(archive);
        environment.refresh();
        MainWindow window(environment);
        for (const MainView view : {MainView::Movimenti, MainView::Mastri, MainView::Sottoconti}) {
            window.showView(view);
            Elimina(window, environment);
        }
        QVERIFY(messages.shown.isEmpty());
    }

    void aPrintedEntryIsRefusedInTheRulesWords()
    {
        Fixture f;
        ScriptedMessages messages;
        f.archive.exec(u"INSERT INTO stampe_definitive (inizio_esercizio, fine_esercizio, dal, al, "
                       u"foglio_dal, foglio_al, riga_dal, riga_al, dare, avere, stampata_il, "
                       u"impronta) VALUES ('2024-01-01', '2024-12-31', '2024-01-01', '2024-03-31', "
                       u"1, 1, 1, 6, 0, 0, '2024-04-01T10:00:00', '')"_s);
        MainWindow window(f.environment);
        select(window, MainView::Movimenti, f.entries[0]);
        messages.answers = {true};
        Elimina(window, f.environment);
        QCOMPARE(messages.shown.value(1), lockedEntryMessage());
        QCOMPARE(messages.titles.value(1), QString());
        QVERIFY(f.exists(u"regmain"_s, f.entries[0]));
    }

    void failedDeleteRollsBackAndNamesItsStep()
    {
        // The failure is injected with a trigger in SQLite's own syntax.
        SKIP_ON_SERVER();
        Fixture f;
        ScriptedMessages messages;
        // The engine fails the statement itself, after the reference check has passed.
        f.archive.exec(u"CREATE TRIGGER no_delete BEFORE DELETE ON mastri "
                       "BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END"_s);
        const qint64 solo = f.archive.addMastro(u"S01"_s, u"Solo"_s, 2);
        MainWindow window(f.environment);
        select(window, MainView::Mastri, solo);
        messages.answers = {true};
        Elimina(window, f.environment);
        QCOMPARE(
            messages.shown,
            (QStringList{u"Eliminare il Mastro selezionato?"_s,
                         u"L'eliminazione non è stata eseguita. L'archivio ha rifiutato dati non "
                         u"coerenti con le sue regole. Nulla è stato salvato: controllare "
                         u"i dati e riprovare.\n\ndisk I/O error\n"
                         u"in tovrin3.frmMain.Elimina linea 265"_s}));
        QCOMPARE(messages.titles.last(), u"Errore Applicazione"_s);
        QVERIFY(f.exists(u"mastri"_s, solo));

        // A delete the archive's references forbid is rolled back as a whole.
        Deletion deletion(f.archive, MainView::Conti);
        QVERIFY(!deletion.remove(f.liquidita));
        QVERIFY(deletion.failureText().endsWith(u"\nin tovrin3.frmMain.Elimina linea 325"_s));
        QVERIFY(f.exists(u"conti"_s, f.liquidita));
    }
};

QTEST_MAIN(TestDeletion)
#include "tst_deletion.moc"
