#include "chart/ChartRecords.h"
#include "data/FieldValues.h"
#include "support/TestArchive.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestChartRecords : public QObject {
    Q_OBJECT

private slots:
    void codes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("complete");
        QTest::newRow("lower case") << u"ab1"_s << u"AB1"_s << true;
        QTest::newRow("blanks around") << u" x9 "_s << u"X9"_s << false;
        QTest::newRow("two characters") << u"A0"_s << u"A0"_s << false;
        QTest::newRow("blanks only") << u"   "_s << QString() << false;
    }

    void codes()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(bool, complete);
        QCOMPARE(normalisedCode(typed), stored);
        QCOMPARE(isThreeCharacterCode(typed), complete);
    }

    void codeCharacters()
    {
        for (const QChar c : u"09AZaz"_s)
            QVERIFY(isCodeCharacter(c));
        for (const QChar c : u" -_'*%èÀ"_s)
            QVERIFY2(!isCodeCharacter(c), qPrintable(QString(c)));
        QCOMPARE(accountCode(u"A01"_s, u"b2c"_s), u"A01B2C"_s);
    }

    void descriptionSizesComeFromTheArchive()
    {
        TestArchive archive;
        QCOMPARE(columnSize(archive, u"mastri"_s, u"descrizione"_s, 0), 100);
        QCOMPARE(columnSize(archive, u"sottoconti"_s, u"descrizione"_s, 0), 100);
        QCOMPARE(columnSize(archive, u"sottoconti"_s, u"note"_s, 7), 7);
    }

    void duplicateAccountCodeWritesNothing()
    {
        TestArchive archive;
        const qint64 mastro = archive.addMastro(u"A01"_s, u"Attivo"_s, 1);
        const qint64 esistente = archive.addConto(mastro, u"A01B2C"_s, u"Cassa"_s);
        const ChartSave refused =
            saveConto(archive, {0, mastro, u"A01B2C"_s, u"Altra cassa"_s, false});
        QVERIFY(!refused.saved());
        QVERIFY(refused.duplicateCode);
        QCOMPARE(archive.scalar(u"SELECT COUNT(*) FROM conti"_s).toInt(), 1);

        // A change that takes another account's code is refused the same way.
        const qint64 altro = archive.addConto(mastro, u"A01002"_s, u"Banca"_s);
        const ChartSave changed =
            saveConto(archive, {altro, mastro, u"A01B2C"_s, u"Banca"_s, false});
        QVERIFY(changed.duplicateCode);
        QCOMPARE(archive.scalar(u"SELECT prefisso FROM conti WHERE id = ?"_s, {altro}).toString(),
                 u"A01002"_s);

        // Other refusals carry the engine's text and are not taken for a duplicate.
        const ChartSave orphan =
            saveConto(archive, {0, 999, u"Z99001"_s, u"Senza mastro"_s, false});
        QVERIFY(!orphan.saved());
        QVERIFY(!orphan.duplicateCode);
        QVERIFY(orphan.error.contains(u"FOREIGN KEY"_s, Qt::CaseInsensitive));
        QVERIFY(esistente > 0);
    }

    void recordsRoundTrip()
    {
        TestArchive archive;
        const ChartSave mastro = saveMastro(archive, {0, u"C01"_s, u"Costi"_s, 3, QString()});
        QVERIFY(mastro.saved());
        // An empty group is no group at all.
        QVERIFY(archive.scalar(u"SELECT gruppo FROM mastri WHERE id = ?"_s, {mastro.id}).isNull());
        QCOMPARE(
            saveMastro(archive, {mastro.id, u"C01"_s, u"Costi generali"_s, 3, u"Gestione"_s}).id,
            mastro.id);
        const std::optional<Mastro> read = loadMastro(archive, mastro.id);
        QVERIFY(read);
        QCOMPARE(read->descrizione, u"Costi generali"_s);
        QCOMPARE(read->gruppo, u"Gestione"_s);

        const ChartSave conto = saveConto(archive, {0, mastro.id, u"C01001"_s, u"Servizi"_s, true});
        QVERIFY(conto.saved());
        archive.exec(u"UPDATE conti SET bilancio = 1 WHERE id = ?"_s, {conto.id});
        QVERIFY(loadConto(archive, conto.id)->bilancio);
        QCOMPARE(prefissoMastro(archive, mastro.id), u"C01"_s);
        QCOMPARE(descrizioneConto(archive, conto.id), u"Servizi"_s);

        // Two sub-accounts of one account may share their name.
        const ChartSave a = saveSottoconto(archive, {0, conto.id, u"Utenze"_s, QString(), {}});
        const ChartSave b = saveSottoconto(archive, {0, conto.id, u"Utenze"_s, u"seconda sede"_s,
                                                     u"IT60X0542811101000000123456"_s});
        QVERIFY(a.saved() && b.saved() && a.id != b.id);
        QCOMPARE(loadSottoconto(archive, b.id)->note, u"seconda sede"_s);
        QCOMPARE(loadSottoconto(archive, b.id)->iban, u"IT60X0542811101000000123456"_s);
        QVERIFY(!loadSottoconto(archive, b.id + 100));

        QCOMPARE(mastroCodeInUse(archive, u"C01"_s, 0), std::optional<bool>(true));
        QCOMPARE(mastroCodeInUse(archive, u"C01"_s, mastro.id), std::optional<bool>(false));
        QCOMPARE(mastroDescriptionInUse(archive, u"Costi generali"_s), std::optional<bool>(true));
    }
};

QTEST_GUILESS_MAIN(TestChartRecords)
#include "tst_chartrecords.moc"
