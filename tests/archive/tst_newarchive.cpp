#include "archive/ArchiveCommands.h"
#include "archive/NewArchive.h"
#include "archive/NewArchiveWindow.h"
#include "data/ArchiveFolders.h"
#include "data/CashAccounts.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A program folder with the empty archive, a spreadsheet template and a small chart template:
// two ledgers given out of code order, an account without sub-accounts and one lista row
// without captions.
class ProgramFolder {
public:
    ProgramFolder()
    {
        QDir dir(m_dir.path());
        QFile::copy(QDir(binDir()).filePath(u"contab.gen"_s), dir.filePath(u"contab.gen"_s));
        dir.mkdir(u"modelli"_s);
        QFile model(dir.filePath(u"modelli/bilancio3settore.xltx"_s));
        model.open(QIODevice::WriteOnly);
        model.write("modello");
        model.close();
        QFile pdc(pdcPath());
        pdc.open(QIODevice::WriteOnly);
        pdc.close();

        Connection c(pdcPath());
        QSqlQuery q = c.query();
        const QStringList script = {
            u"CREATE TABLE lista (foglio TEXT, nome TEXT, Descrizione TEXT, coDescrizione TEXT, "
            u"spDescrizione TEXT, "
            u"ceDescrizione TEXT, attDescrizione TEXT, pasDescrizione TEXT, cosDescrizione TEXT, "
            u"ricDescrizione TEXT, "
            u"utileDescrizione TEXT, perditaDescrizione TEXT)"_s,
            u"INSERT INTO lista (foglio, nome, Descrizione, ceDescrizione) VALUES "
            u"('piccolo', 'Piano piccolo', 'Per le prove', 'Rendiconto gestionale'), "
            u"('manca', 'Piano senza tabella', 'Rotto', NULL)"_s,
            u"CREATE TABLE piccolo (id INTEGER, mNatura TEXT, mGruppo TEXT, mCodice TEXT, "
            u"mDescrizione TEXT, "
            u"cCodice TEXT, cDescrizione TEXT, cBil TEXT, sDescrizione TEXT, sTipo TEXT, cLiq TEXT)"_s,
            u"INSERT INTO piccolo VALUES "
            u"(1, 'costi', 'Costi', 'C01', 'Costi generali', 'C01001', 'Affitti', NULL, 'Affitto "
            u"sede', NULL, NULL), "
            u"(2, 'attivo', 'Attivo', 'A01', 'Liquidità', 'A01002', 'Banche', 'x', 'Banca B', "
            u"NULL, 'x'), "
            u"(3, 'attivo', 'Attivo', 'A01', 'Liquidità', 'A01002', 'Banche', 'x', 'Banca A', "
            u"'bilancioapertura', 'x'), "
            u"(4, 'attivo', 'Attivo', 'A01', 'Liquidità', 'A01001', 'Cassa', NULL, 'Cassa', NULL, "
            u"'x'), "
            u"(5, 'passivo', NULL, 'P01', 'Fondi', 'P01001', 'Fondo vuoto', NULL, NULL, NULL, "
            u"NULL), "
            u"(6, 'altro', NULL, 'R01', 'Proventi', 'R01001', 'Quote', NULL, 'Quote', 'utile', NULL)"_s,
        };
        for (const QString &sql : script)
            runSql(q, sql);
    }
    QString path() const { return m_dir.path(); }
    QString pdcPath() const { return QDir(m_dir.path()).filePath(u"pdc.gen"_s); }

private:
    QTemporaryDir m_dir;
};

QStringList column(const QString &databasePath, const QString &sql)
{
    Connection c(databasePath);
    QSqlQuery q = c.query();
    runSql(q, sql);
    QStringList values;
    while (q.next())
        values.append(q.value(0).toString());
    return values;
}

} // namespace

class TestNewArchive : public QObject {
    Q_OBJECT

    QString m_dataPathBefore = u"/cartella/precedente"_s;

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    }
    void init()
    {
        writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser,
                       m_dataPathBefore);
    }

    void readsTheOfferedCharts()
    {
        ProgramFolder program;
        QString error;
        const QList<ChartTemplate> charts = loadChartTemplates(program.pdcPath(), &error);
        QCOMPARE(charts.size(), 2);
        QCOMPARE(charts[0].nome, u"Piano piccolo"_s);
        QCOMPARE(charts[0].captions.value(1),
                 std::pair(u"spDescrizione"_s, u"Stato Patrimoniale"_s));
        QCOMPARE(charts[0].captions.value(2),
                 std::pair(u"ceDescrizione"_s, u"Rendiconto gestionale"_s));
        QCOMPARE(charts[0].captions.value(7),
                 std::pair(u"utileDescrizione"_s, u"Utile d'esercizio"_s));
    }

    // An archive made before the flag gets it once, on the accounts the charts flag; a flag the
    // user cleared afterwards stays cleared.
    void olderArchiveGetsTheCashFlagFromTheChartsOnce()
    {
        SKIP_ON_SERVER();
        ProgramFolder program;
        TestArchive a;
        const qint64 ledger = a.addMastro(u"A01"_s, u"Liquidità"_s, 1);
        const qint64 cash = a.addConto(ledger, u"A01001"_s, u"Cassa"_s);
        a.addConto(ledger, u"A01009"_s, u"Crediti"_s);
        a.exec(u"ALTER TABLE conti DROP COLUMN liquidita"_s);
        QString error;
        const auto flags = [&] {
            return column(a.databasePath(),
                          u"SELECT prefisso || ':' || liquidita FROM conti ORDER BY id"_s);
        };
        QVERIFY2(inTransaction(
                     a,
                     [&](const Connection &c, QString *e) {
                         return ensureCashFlag(c, program.pdcPath(), e);
                     },
                     &error),
                 qPrintable(error));
        QCOMPARE(flags(), (QStringList{u"A01001:1"_s, u"A01009:0"_s}));
        a.exec(u"UPDATE conti SET liquidita = 0 WHERE id = ?"_s, {cash});
        QVERIFY(inTransaction(
            a,
            [&](const Connection &c, QString *e) {
                return ensureCashFlag(c, program.pdcPath(), e);
            },
            &error));
        QCOMPARE(flags(), (QStringList{u"A01001:0"_s, u"A01009:0"_s}));
    }

    void createsAnArchiveFromATemplate()
    {
        ProgramFolder program;
        QTemporaryDir base;
        QString error;
        const ChartTemplate chart = loadChartTemplates(program.pdcPath(), &error).first();
        QVERIFY(createArchive({base.path(), u"cont01"_s, chart, 7}, program.path(), &error));

        const QString folder = base.filePath(u"tv3_cont01"_s);
        QVERIFY(ArchiveFolders::isArchiveFolder(folder));
        QVERIFY(QDir(folder).exists(u"documenti"_s));
        QVERIFY(QFile::exists(folder + u"/modelli/bilancio3settore.xltx"_s));
        QCOMPARE(ArchiveFolders().dataFolder(), folder);
        const Archive a(folder);

        const QString db = databasePathFor(folder);
        QCOMPARE(
            column(
                db,
                u"SELECT prefisso || ':' || tipo || ':' || COALESCE(gruppo, '') FROM mastri ORDER BY id"_s),
            (QStringList{u"A01:1:Attivo"_s, u"C01:3:Costi"_s, u"P01:2:"_s, u"R01:4:"_s}));
        QCOMPARE(column(db, u"SELECT prefisso || ':' || bilancio || ':' || liquidita FROM conti "
                            u"ORDER BY id"_s),
                 (QStringList{u"A01001:0:1"_s, u"A01002:1:1"_s, u"C01001:0:0"_s, u"P01001:0:0"_s,
                              u"R01001:0:0"_s}));
        QCOMPARE(
            column(db, u"SELECT descrizione FROM sottoconti ORDER BY id"_s),
            (QStringList{u"Cassa"_s, u"Banca B"_s, u"Banca A"_s, u"Affitto sede"_s, u"Quote"_s}));
        QCOMPARE(readParameter(a, u"bilancioapertura"_s, ValueType::Integer, Storage::InArchive, -1)
                     .toInt(),
                 column(db, u"SELECT id FROM sottoconti WHERE descrizione = 'Banca A'"_s)
                     .first()
                     .toInt());
        QCOMPARE(readParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 1),
                 QVariant(7));
        QCOMPARE(readParameter(a, u"pasDescrizione"_s, ValueType::Text, Storage::InArchive, {}),
                 QVariant(u"Passività"_s));

        QVERIFY(!createArchive({base.path(), u"cont01"_s, chart, 1}, program.path(), &error));
        QVERIFY(error.contains(u"già presente"_s));
    }

    void removesAFailedCreation()
    {
        ProgramFolder program;
        QTemporaryDir base;
        QString error;
        const ChartTemplate broken = loadChartTemplates(program.pdcPath(), &error).at(1);
        QVERIFY(!createArchive({base.path(), u"rotto"_s, broken, 1}, program.path(), &error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFileInfo::exists(base.filePath(u"tv3_rotto"_s)));
        QCOMPARE(ArchiveFolders().dataFolder(), m_dataPathBefore);
    }

    void createsEveryShippedChart()
    {
        QString error;
        const QList<ChartTemplate> charts =
            loadChartTemplates(QDir(binDir()).filePath(u"pdc.gen"_s), &error);
        QVERIFY2(charts.size() >= 2, qPrintable(error));
        QTemporaryDir base;
        for (const ChartTemplate &chart : charts) {
            QVERIFY2(createArchive({base.path(), chart.foglio.toLower().remove(u'_'), chart, 1},
                                   binDir(), &error),
                     qPrintable(error));
            const Archive a(ArchiveFolders().dataFolder());
            for (const auto &[role, natures] :
                 {std::pair(u"bilancioapertura"_s, u"1,2"_s),
                  std::pair(u"bilanciochiusura"_s, u"1,2"_s),
                  std::pair(u"patrimonionetto"_s, u"1,2"_s), std::pair(u"utile"_s, u"1,2"_s),
                  std::pair(u"perdita"_s, u"1,2"_s), std::pair(u"profittieperdite"_s, u"3,4"_s)}) {
                const int id =
                    readParameter(a, role, ValueType::Integer, Storage::InArchive, -1).toInt();
                const QStringList nature =
                    column(a.databasePath(),
                           u"SELECT m.tipo FROM sottoconti s JOIN conti c ON c.id = s.idConto "
                           u"JOIN mastri m ON m.id = c.idMastro WHERE s.id = %1"_s.arg(id));
                QVERIFY2(nature.size() == 1 && natures.split(u',').contains(nature.first()),
                         qPrintable(chart.foglio + u" "_s + role));
            }
        }
    }

    void opensAnExistingArchive()
    {
        TestArchive a;
        writeParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 9);
        const Archive previous(u"/cartella/precedente"_s);
        FiscalEnvironment environment(previous);
        environment.setWorkingDate(QDate(2024, 10, 2));

        ScriptedMessages messages;
        messages.folders = {QString(), a.folder()};
        QVERIFY(!chooseAndOpenArchive(nullptr, environment));
        QCOMPARE(messages.shown.last(), u"Operazione annullata o Cartella non valida."_s);
        QCOMPARE(environment.archive(), previous);

        QVERIFY(chooseAndOpenArchive(nullptr, environment));
        QCOMPARE(messages.shown.first(), u"Apri Contabilità esistente"_s);
        QCOMPARE(ArchiveFolders().dataFolder(), a.folder());
        QCOMPARE(environment.archive(), a.archive());
        QCOMPARE(environment.yearStart(), QDate(2024, 9, 1));

        QDir(a.folder()).rmdir(u"modelli"_s);
        QString error;
        QVERIFY(!openArchive(a.folder(), environment, &error));
        QCOMPARE(error, u"Operazione annullata o Cartella non valida."_s);
    }

    void windowFiltersTheName()
    {
        ProgramFolder program;
        QString error;
        NewArchiveWindow window(program.path(), loadChartTemplates(program.pdcPath(), &error));
        window.show();
        auto *nome = window.findChild<QLineEdit *>(u"txtNome"_s);
        auto *folder = window.findChild<QLineEdit *>(u"txtFolder"_s);
        auto *archive = window.findChild<QLineEdit *>(u"txtContCartel"_s);
        QCOMPARE(nome->text(), u"cont01"_s);
        QCOMPARE(archive->text(), QDir::toNativeSeparators(folder->text() + u"/tv3_cont01"_s));
        // The folder keeps the letters, lower-cased and plain, and the digits of every word.
        nome->clear();
        QTest::keyClicks(nome, u"Amici del Parco"_s);
        QCOMPARE(nome->text(), u"Amici del Parco"_s);
        QVERIFY(archive->text().endsWith(u"tv3_amicidelparco"_s));
        nome->setText(u"Società 2 ../x"_s);
        QVERIFY(archive->text().endsWith(u"tv3_societa2x"_s));
        QCOMPARE(window.findChild<QComboBox *>(u"cmbData"_s)->currentText(), u"gennaio"_s);
        QVERIFY(!(window.windowFlags() & Qt::WindowCloseButtonHint));
    }

    void windowValidatesConfirmsAndCreates()
    {
        ProgramFolder program;
        QTemporaryDir base;
        QString error;
        NewArchiveWindow window(program.path(), loadChartTemplates(program.pdcPath(), &error));
        window.show();
        ScriptedMessages messages;
        auto *nome = window.findChild<QLineEdit *>(u"txtNome"_s);
        auto *ok = window.findChild<QPushButton *>(u"cmdOK"_s);

        messages.folders = {QString()};
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdFolderSelect"_s), Qt::LeftButton);
        QCOMPARE(messages.shown.last(), u"Operazione annullata."_s);
        messages.folders = {base.path()};
        QTest::mouseClick(window.findChild<QPushButton *>(u"cmdFolderSelect"_s), Qt::LeftButton);
        QCOMPARE(window.findChild<QLineEdit *>(u"txtFolder"_s)->text(),
                 QDir::toNativeSeparators(base.path()));

        nome->clear();
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(messages.shown.last(), u"Inserire un Nome per la Contabilità"_s);

        QDir(base.path()).mkdir(u"tv3_esiste"_s);
        nome->setText(u"esiste"_s);
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(
            messages.shown.last(),
            u"La Cartella selezionata è già presente: scegliere un altro Nome per la nuova Contabilità"_s);

        nome->setText(u"nuova"_s);
        window.findChild<QComboBox *>(u"cmbData"_s)->setCurrentIndex(5);
        messages.answers = {false};
        QTest::mouseClick(ok, Qt::LeftButton);
        const QString folder = QDir::toNativeSeparators(base.filePath(u"tv3_nuova"_s));
        QCOMPARE(
            messages.shown.last(),
            u"Creazione di una nuova Contabilità nella seguente cartella: \n\n\""_s + folder +
                u"\"\n\nPiano dei Conti: \"Piano piccolo\"\nMese di partenza Esercizi: \"giugno\"\n\nConfermare?"_s);
        QVERIFY(window.isVisible());
        QVERIFY(!QFileInfo::exists(folder));

        messages.answers = {true};
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(readParameter(Archive(folder), u"StartMonth"_s, ValueType::Integer,
                               Storage::InArchive, 1),
                 QVariant(6));
    }
};

QTEST_MAIN(TestNewArchive)
#include "tst_newarchive.moc"
