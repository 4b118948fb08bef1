#include "data/ArchiveStartup.h"
#include "data/Database.h"
#include "data/Parameters.h"
#include "support/CliUser.h"
#include "support/PdfText.h"
#include "support/TestArchive.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Run = CliUser::Run;

// The command line runs as a user of its own, whose settings and instance lock never touch the
// user's running the tests.
const CliUser &user()
{
    static const CliUser theUser;
    return theUser;
}

QString runtimeFolder()
{
    return user().runtimeFolder();
}

QString settingsFile()
{
    return user().settingsFile();
}

Run cli(const QStringList &arguments, const QString &workingDirectory = {})
{
    return user().run(arguments, workingDirectory);
}

QByteArray hashOf(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A chart with one cash and one revenue sub-account; returns their ids.
std::pair<qint64, qint64> cashAndFees(TestArchive &a)
{
    const qint64 cassa = a.addSottoconto(
        a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s), u"Cassa"_s);
    const qint64 quote = a.addSottoconto(
        a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s), u"Quote"_s);
    return {cassa, quote};
}

// Runs statements that another tool could run: without the archive's checks and references.
void editBehindTheProgram(const TestArchive &a, const QStringList &statements)
{
    Connection connection(a.archive());
    QSqlQuery query = connection.query();
    QVERIFY(query.exec(u"PRAGMA foreign_keys = OFF"_s));
    QVERIFY(query.exec(u"PRAGMA ignore_check_constraints = ON"_s));
    for (const QString &statement : statements)
        QVERIFY2(query.exec(statement), qPrintable(statement));
}

QVariantList numbers(const TestArchive &a)
{
    Connection connection(a.archive());
    QSqlQuery query = connection.query();
    runSql(query, u"SELECT progressivo FROM regmain ORDER BY id"_s);
    QVariantList list;
    while (query.next())
        list.append(query.value(0));
    return list;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
}

// One user's calls of tovrin3-cli post, one after another, each booking an entry whose row text
// names the call; what each call reported.
class PostingUser {
public:
    struct Call {
        QString text;
        Run run;
    };

    PostingUser(const TestArchive &archive, qint64 debit, qint64 credit, const QString &name)
        : m_archive(archive), m_debit(debit), m_credit(credit), m_name(name)
    {
    }

    // Collects the call that ended and starts the next; false while the last one still runs.
    bool next()
    {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(10))
            return false;
        if (!m_text.isEmpty())
            m_calls.append({m_text, CliUser::result(m_process)});
        m_text = u"%1, chiamata %2"_s.arg(m_name).arg(m_calls.size() + 1);
        const QString file = m_archive.folder() + u"/documenti/"_s + m_name + u".json"_s;
        QFile json(file);
        json.open(QIODevice::WriteOnly);
        json.write(uR"([{"data": "2024-03-01", "righe": [{"dare": %1, "avere": %2,
                   "importo": "1.00", "descrizione": "%3"}]}])"_s.arg(m_debit)
                       .arg(m_credit)
                       .arg(m_text)
                       .toUtf8());
        json.close();
        m_user.start(m_process, {u"post"_s, u"--archive"_s, m_archive.folder(), u"--file"_s, file});
        return true;
    }

    QList<Call> finish()
    {
        if (!m_text.isEmpty())
            m_calls.append({m_text, CliUser::result(m_process)});
        m_text.clear();
        return m_calls;
    }

private:
    const TestArchive &m_archive;
    qint64 m_debit;
    qint64 m_credit;
    QString m_name;
    CliUser m_user;
    QProcess m_process;
    QString m_text;
    QList<Call> m_calls;
};

// How many entries of the database file carry the row text with the number.
int booked(const QString &databasePath, const QString &text, const QString &number)
{
    Connection connection(databasePath, Connection::Mode::ReadOnly);
    QSqlQuery query = connection.query();
    runSql(query,
           u"SELECT COUNT(*) FROM regmain JOIN regdet ON regdet.idRegMain = regmain.id "
           u"WHERE regdet.descrizione = ? AND (? = '' OR regmain.progressivo = ?)"_s,
           {text, number, number});
    return query.next() ? query.value(0).toInt() : -1;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void describesAnArchiveWithoutWritingIt()
    {
        TestArchive a;
        const qint64 s = a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s), u"Cassa"_s);
        a.addEntry(QDate(2024, 3, 5), {{s, s, Money::fromCents(100), u"giroconto"_s}});
        a.addEntry(QDate(2024, 2, 29), {{s, {}, Money::fromCents(100), u"a"_s},
                                        {{}, s, Money::fromCents(100), u"b"_s}});
        writeParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 3);
        const QByteArray before = hashOf(a.databasePath());

        const Run run =
            cli({u"info"_s, u"--archive"_s, a.folder(), u"--date"_s, u"2025-01-10"_s, u"--json"_s});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject info = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(info.value(u"aMajor"_s).toInt(), -1);
        QCOMPARE(info.value(u"aMinor"_s).toInt(), -1);
        QCOMPARE(info.value(u"StartMonth"_s).toInt(), 3);
        QCOMPARE(info.value(u"EseDate1"_s).toString(), u"2024-03-01"_s);
        QCOMPARE(info.value(u"EseDate2"_s).toString(), u"2025-02-28"_s);
        QCOMPARE(info.value(u"EseDate1Prev"_s).toString(), u"2023-03-01"_s);
        QCOMPARE(info.value(u"EseDate2Prev"_s).toString(), u"2024-02-29"_s);
        QCOMPARE(info.value(u"EsercizioString"_s).toString(), u"2024/2025"_s);
        QVERIFY(info.value(u"LastRegDate"_s).toString().contains(u"2024"_s));
        const QJsonObject counts = info.value(u"counts"_s).toObject();
        QCOMPARE(counts.value(u"mastri"_s).toInt(), 1);
        QCOMPARE(counts.value(u"sottoconti"_s).toInt(), 1);
        QCOMPARE(counts.value(u"regmain"_s).toInt(), 2);
        QCOMPARE(counts.value(u"regdet"_s).toInt(), 3);
        QCOMPARE(hashOf(a.databasePath()), before);

        const Run text = cli({u"info"_s, u"--archive"_s, a.folder(), u"--date"_s, u"2025-01-10"_s});
        QCOMPARE(text.exitCode, 0);
        QVERIFY(text.out.contains(u"Esercizio: 2024/2025 (dal 01/03/2024 al 28/02/2025)"_s));
        QVERIFY(text.out.contains(u"Registrazioni: 2"_s));
    }

    void refusesFoldersThatHoldNoArchive()
    {
        SKIP_ON_SERVER();
        const Run missing = cli({u"info"_s, u"--archive"_s, u"/nessuna/cartella"_s, u"--json"_s});
        QCOMPARE(missing.exitCode, 2);
        QVERIFY(missing.out.isEmpty());
        QCOMPARE(missing.err.count(u'\n'), 1);
        QVERIFY(missing.err.contains(u"non trovata o danneggiata"_s));

        TestArchive a;
        QFile::remove(a.databasePath());
        QFile file(a.databasePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\x00\x01\x00\x00Standard ACE DB\x00", 20));
        file.close();
        const Run access = cli({u"info"_s, u"--archive"_s, a.folder()});
        QCOMPARE(access.exitCode, 2);
        QCOMPARE(access.err.count(u'\n'), 1);
        QVERIFY(access.err.contains(u"Access"_s));

        // Options pasted after sslmode would send the password typed to another server.
        QFile ini(serverIniPath(a.folder()));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[server]\nhost=localhost\ndatabase=circolo\nuser=contabile\n"
                  "sslmode=disable host=127.0.0.2 port=40123\n");
        ini.close();
        const Run injected = cli({u"info"_s, u"--archive"_s, a.folder()});
        QCOMPARE(injected.exitCode, 2);
        QVERIFY2(injected.err.contains(u"per sslmode alla riga 5"_s), qPrintable(injected.err));
        const Run address = cli({u"migrate"_s, u"--archive"_s, a.folder(), u"--to"_s,
                                 u"postgresql://u@localhost/db?sslmode=disable%20host%3Dx"_s});
        QVERIFY(address.exitCode != 0);
        QVERIFY2(address.err.contains(u"valore non ammesso per sslmode"_s),
                 qPrintable(address.err));
    }

    void closesTheYearOrSaysWhyNot()
    {
        TestArchive a;
        const qint64 cassa = a.addSottoconto(
            a.addConto(a.addMastro(u"A01"_s, u"Cassa"_s, 1), u"A01001"_s, u"Cassa"_s), u"Cassa"_s);
        const qint64 tecnico =
            a.addConto(a.addMastro(u"P09"_s, u"Tecnici"_s, 2), u"P09001"_s, u"Bilanci"_s);
        const qint64 quote = a.addSottoconto(
            a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Quote"_s),
            u"Quote"_s);
        const QStringList args{u"yearend"_s, u"--archive"_s, a.folder(), u"--date"_s,
                               u"2024-06-01"_s};

        const Run empty = cli(args);
        QCOMPARE(empty.exitCode, 1);
        QVERIFY(
            empty.err.startsWith(u"Nessuna Registrazione presente nell'Esercizio precedente"_s));

        a.addEntry(QDate(2023, 3, 1), {{cassa, quote, Money::fromCents(15000), u"Quote"_s}});
        const Run invalid = cli(args + QStringList{u"--closing-date"_s, u"2024-01-01"_s});
        QCOMPARE(invalid.exitCode, 1);
        QCOMPARE(
            invalid.err.split(u'\n', Qt::SkipEmptyParts),
            (QStringList{u"- Data registrazione chiusura non compresa nell'esercizio precedente"_s,
                         u"- Inserire Sottoconto \"Profitti e Perdite\""_s,
                         u"- Inserire Sottoconto \"Utile/Perdita d'esercizio\""_s,
                         u"- Inserire Sottoconto \"Bilancio di chiusura\""_s,
                         u"- Inserire Sottoconto \"Bilancio di apertura\""_s}));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);

        writeParameter(a, u"bilanciochiusura"_s, ValueType::Integer, Storage::InArchive,
                       a.addSottoconto(tecnico, u"Chiusura"_s));
        writeParameter(a, u"bilancioapertura"_s, ValueType::Integer, Storage::InArchive,
                       a.addSottoconto(tecnico, u"Apertura"_s));
        writeParameter(a, u"utile"_s, ValueType::Integer, Storage::InArchive,
                       a.addSottoconto(tecnico, u"Avanzo"_s));
        writeParameter(
            a, u"profittieperdite"_s, ValueType::Integer, Storage::InArchive,
            a.addSottoconto(
                a.scalar(u"SELECT id FROM conti WHERE prefisso = 'R01001'"_s).toLongLong(),
                u"Profitti e perdite"_s));
        const Run done = cli(args);
        QCOMPARE(done.exitCode, 0);
        // Two openings (the cash, and the profit reopened as equity), two closings, the result.
        QCOMPARE(done.out.split(u'\n', Qt::SkipEmptyParts).size(), 5);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain WHERE tipo = 1 AND data = '2024-01-01'"_s)
                     .toInt(),
                 2);
        QCOMPARE(cli(args).exitCode, 1);
    }

    void speaksItalianAboutItsArguments()
    {
        const Run unknown = cli({u"info"_s, u"--bogus"_s});
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY(unknown.err.startsWith(u"Opzione sconosciuta: bogus\nUso: tovrin3-cli"_s));
        const Run missing = cli({u"info"_s, u"--archive"_s});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY2(missing.err.startsWith(u"Manca il valore dell'opzione --archive."_s),
                 qPrintable(missing.err));
        const Run help = cli({u"--help"_s});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains(u"renumber --archive CARTELLA"_s));
        for (const Run &run : {unknown, missing, help, cli({})})
            QVERIFY2(!run.out.contains(u"Usage"_s) && !run.err.contains(u"Usage"_s) &&
                         !run.err.contains(u"Unknown"_s) && !run.err.contains(u"Missing"_s),
                     qPrintable(run.err));
    }

    void listsTheOfferedCharts()
    {
        const Run run = cli({u"charts"_s});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        for (int i = 0; i < lines.size(); ++i)
            QVERIFY2(QRegularExpression(u"^%1\t\\S.*$"_s.arg(i)).match(lines.at(i)).hasMatch(),
                     qPrintable(lines.at(i)));
    }

    void createsAnArchiveAsTheWindowDoes()
    {
        QTemporaryDir parent;
        QFile::remove(settingsFile());
        const Run run = cli({u"new"_s, u"--parent"_s, parent.path(), u"--name"_s, u"Prova 1"_s,
                             u"--chart"_s, u"0"_s, u"--start-month"_s, u"7"_s});
        QCOMPARE(run.exitCode, 0);
        const QString folder = QDir(parent.path()).filePath(u"tv3_prova1"_s);
        QCOMPARE(run.out, QDir::toNativeSeparators(folder) + u"\n"_s);
        for (const auto &sub : {u"allegati"_s, u"modelli"_s, u"documenti"_s, u"contab.mdb"_s})
            QVERIFY(QFileInfo::exists(QDir(folder).filePath(sub)));
        {
            Connection connection(databasePathFor(folder));
            QSqlQuery query = connection.query();
            runSql(query, u"SELECT valore FROM parametri WHERE chiave = 'StartMonth'"_s);
            QVERIFY(query.next());
            QCOMPARE(query.value(0).toString(), u"7"_s);
            runSql(query, u"SELECT COUNT(*) FROM sottoconti"_s);
            QVERIFY(query.next() && query.value(0).toInt() > 0);
        }
        QVERIFY(
            QSettings(settingsFile(), QSettings::IniFormat).value(u"settings/dataPath"_s).isNull());
        QVERIFY(cli({u"info"_s, u"--archive"_s, folder})
                    .out.startsWith(u"Versione dell'archivio: %1.%2\n"_s.arg(ProgramVersion::Major)
                                        .arg(ProgramVersion::Minor)));

        const Run current =
            cli({u"new"_s, u"--parent"_s, parent.path(), u"--name"_s, u"prova2"_s, u"--chart"_s,
                 u"0"_s, u"--start-month"_s, u"1"_s, u"--make-current"_s});
        QCOMPARE(current.exitCode, 0);
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat)
                     .value(u"settings/dataPath"_s)
                     .toString(),
                 QDir(parent.path()).filePath(u"tv3_prova2"_s));
        // Started from another folder, the program still finds an archive made relative.
        QCOMPARE(cli({u"new"_s, u"--parent"_s, u"."_s, u"--name"_s, u"prova3"_s, u"--chart"_s,
                      u"0"_s, u"--start-month"_s, u"1"_s, u"--make-current"_s},
                     parent.path())
                     .exitCode,
                 0);
        QCOMPARE(QSettings(settingsFile(), QSettings::IniFormat)
                     .value(u"settings/dataPath"_s)
                     .toString(),
                 QDir(parent.path()).filePath(u"tv3_prova3"_s));
    }

    void refusesBadArgumentsAndCreatesNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QStringList good{u"--name"_s, u"cont01"_s,        u"--chart"_s,
                               u"0"_s,      u"--start-month"_s, u"1"_s};
        auto with = [&](const QString &option, const QString &value) {
            QStringList arguments = good;
            arguments[arguments.indexOf(option) + 1] = value;
            return arguments;
        };
        QTest::newRow("no letter or digit")
            << with(u"--name"_s, u"../_"_s) << u"Nome della Contabilità non valido"_s;
        QTest::newRow("17 characters")
            << with(u"--name"_s, u"abcdefghijklmnopq"_s) << u"Nome della Contabilità non valido"_s;
        QTest::newRow("blank name")
            << with(u"--name"_s, u" "_s) << u"Inserire un Nome per la Contabilità"_s;
        QTest::newRow("chart out of range")
            << with(u"--chart"_s, u"99"_s) << u"Piano dei Conti non valido"_s;
        QTest::newRow("chart not a number")
            << with(u"--chart"_s, u"primo"_s) << u"Piano dei Conti non valido"_s;
        QTest::newRow("month 13") << with(u"--start-month"_s, u"13"_s)
                                  << u"Mese di partenza non valido"_s;
        QTest::newRow("month 0") << with(u"--start-month"_s, u"0"_s)
                                 << u"Mese di partenza non valido"_s;
        QTest::newRow("no month") << QStringList(good.mid(0, 4))
                                  << u"Mese di partenza non valido"_s;
    }
    void refusesBadArgumentsAndCreatesNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTemporaryDir parent;
        const Run run = cli(QStringList{u"new"_s, u"--parent"_s, parent.path()} + arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.startsWith(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(folderEntries(parent.path()), QStringList());
    }

    void refusesAFolderThatExistsOrAMissingParent()
    {
        QTemporaryDir parent;
        QDir(parent.path()).mkdir(u"tv3_cont01"_s);
        const QStringList rest{u"--name"_s, u"cont01"_s,        u"--chart"_s,
                               u"0"_s,      u"--start-month"_s, u"1"_s};
        const Run existing = cli(QStringList{u"new"_s, u"--parent"_s, parent.path()} + rest);
        QCOMPARE(existing.exitCode, 2);
        QVERIFY(existing.err.startsWith(u"La Cartella selezionata è già presente"_s));
        QCOMPARE(folderEntries(QDir(parent.path()).filePath(u"tv3_cont01"_s)), QStringList());

        const QString missing = QDir(parent.path()).filePath(u"manca"_s);
        const Run noParent = cli(QStringList{u"new"_s, u"--parent"_s, missing} + rest);
        QCOMPARE(noParent.exitCode, 2);
        QVERIFY(noParent.err.startsWith(u"Cartella di partenza non trovata"_s));
        QVERIFY(!QFileInfo::exists(missing));
    }

    void checksASoundArchive()
    {
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        a.addEntry(QDate(2024, 3, 5), {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, 1);
        const QByteArray before = hashOf(a.databasePath());
        const Run run = cli(
            {u"check"_s, u"--archive"_s, a.folder(), u"--date"_s, u"2024-06-01"_s, u"--json"_s});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject check = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(check.value(u"progressiviAllineati"_s).toBool(), true);
        // A server is not asked what it keeps sound itself, and the check says so.
        QCOMPARE(check.value(u"integrity"_s).toString(),
                 a.onServer() ? u"non verificata: il server controlla i propri file"_s : u"ok"_s);
        for (const auto &key : {u"foreignKeys"_s, u"unbalanced"_s, u"withoutRows"_s,
                                u"invalidValues"_s, u"monthlyTotals"_s}) {
            QVERIFY2(check.value(key).isArray(), qPrintable(key));
            QVERIFY2(check.value(key).toArray().isEmpty(), qPrintable(key));
        }
        QCOMPARE(hashOf(a.databasePath()), before);
    }

    void checkFindsWhatOtherToolsBroke()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        const qint64 sound = a.addEntry(QDate(2024, 3, 5),
                                        {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, 1);
        const qint64 halved = a.addEntry(QDate(2024, 3, 6),
                                         {{cassa, {}, Money::fromCents(100), u"Quota"_s},
                                          {{}, quote, Money::fromCents(100), u"Quota"_s}},
                                         0, 2);
        const qint64 empty = a.addEntry(QDate(2024, 3, 7),
                                        {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, 3);
        const qint64 otherYear = a.addEntry(
            QDate(2023, 3, 7), {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, 1);
        const qint64 fraction = a.addEntry(
            QDate(2024, 3, 8), {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, 4);
        editBehindTheProgram(
            a,
            {u"UPDATE regdet SET importo = 10050 WHERE idRegMain = %1"_s.arg(fraction),
             u"DELETE FROM regdet WHERE idRegMain = %1 AND contoavere IS NOT NULL"_s.arg(halved),
             u"DELETE FROM regdet WHERE idRegMain = %1"_s.arg(empty),
             u"UPDATE regmain SET data = '2024-02-30' WHERE id = %1"_s.arg(otherYear),
             u"UPDATE regdet SET importo = 12.5, contoavere = 9999 WHERE idRegMain = %1"_s.arg(
                 sound),
             u"UPDATE saldi_mese SET dare = dare + 1 WHERE conto = %1 AND mese = '2024-03'"_s.arg(
                 cassa)});

        const Run run = cli(
            {u"check"_s, u"--archive"_s, a.folder(), u"--date"_s, u"2024-06-01"_s, u"--json"_s});
        QCOMPARE(run.exitCode, 1);
        const QJsonObject check = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(check.value(u"integrity"_s).toString(), u"ok"_s);
        QCOMPARE(check.value(u"unbalanced"_s).toArray(), QJsonArray{halved});
        QCOMPARE(check.value(u"withoutRows"_s).toArray(), QJsonArray{empty});
        // 2 and 3 left, plus the header with the impossible date, which sorts inside the year.
        QCOMPARE(check.value(u"progressiviAllineati"_s).toBool(), false);
        const QJsonArray foreign = check.value(u"foreignKeys"_s).toArray();
        QCOMPARE(foreign.size(), 1);
        QCOMPARE(foreign.first().toObject().value(u"table"_s).toString(), u"regdet"_s);
        QCOMPARE(foreign.first().toObject().value(u"parent"_s).toString(), u"sottoconti"_s);
        QStringList invalid;
        for (const QJsonValue &value : check.value(u"invalidValues"_s).toArray()) {
            const QJsonObject o = value.toObject();
            invalid.append(o.value(u"table"_s).toString() + u'.' + o.value(u"column"_s).toString() +
                           u'=' + o.value(u"value"_s).toVariant().toString());
        }
        QCOMPARE(invalid, (QStringList{u"regmain.data=2024-02-30"_s, u"regdet.importo=12.5"_s,
                                       u"regdet.importo=10050"_s}));
        const QJsonObject drifted{{u"conto"_s, cassa}, {u"mese"_s, u"2024-03"_s}, {u"tipo"_s, 0}};
        QCOMPARE(check.value(u"monthlyTotals"_s).toArray(), QJsonArray{drifted});
    }

    void checkCallsADamagedFileUnusable()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        cashAndFees(a);
        QFile file(a.databasePath());
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(100);
        file.write(QByteArray(3000, '\x5a'));
        file.close();
        const Run run = cli({u"check"_s, u"--archive"_s, a.folder(), u"--json"_s});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY2(!run.err.startsWith(u"database"_s) && run.err.contains(u"danneggiat"_s),
                 qPrintable(run.err));
    }

    void renumbersThePeriodAskedFor()
    {
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        writeParameter(a, u"StartMonth"_s, ValueType::Integer, Storage::InArchive, 3);
        const auto add = [&](const QDate &date, int number) {
            a.addEntry(date, {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, number);
        };
        add(QDate(2024, 2, 29), 7); // the last day of the previous year
        add(QDate(2023, 3, 1), 7);
        add(QDate(2024, 3, 1), 9);
        add(QDate(2022, 5, 1), 4); // two years back: never touched
        const QStringList args{u"renumber"_s, u"--archive"_s,  a.folder(),
                               u"--date"_s,   u"2024-06-01"_s, u"--period"_s};

        const Run bad = cli(args + QStringList{u"ogni"_s});
        QCOMPARE(bad.exitCode, 1);
        QVERIFY(bad.err.startsWith(u"Periodo non valido"_s));
        QCOMPARE(cli(args + QStringList{u"current"_s}).exitCode, 0);
        QCOMPARE(numbers(a), (QVariantList{7, 7, 1, 4}));
        const Run previous = cli(args + QStringList{u"previous"_s});
        QCOMPARE(previous.exitCode, 0);
        QCOMPARE(previous.out, u"Ricalcolo effettuato con successo.\n"_s);
        QCOMPARE(numbers(a), (QVariantList{2, 1, 1, 4}));
        a.exec(u"UPDATE regmain SET progressivo = 5"_s);
        QCOMPARE(cli(args + QStringList{u"both"_s}).exitCode, 0);
        QCOMPARE(numbers(a), (QVariantList{2, 1, 1, 5}));
    }

    void postsEntriesFromAFileAllOrNone()
    {
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        a.addEntry(QDate(2024, 1, 10), {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, 1);
        const auto post = [&](const QByteArray &json, const QStringList &extra = {}) {
            const QString file = a.folder() + u"/documenti/registrazioni.json"_s;
            QFile out(file);
            out.open(QIODevice::WriteOnly);
            out.write(json);
            out.close();
            return cli(QStringList{u"post"_s, u"--archive"_s, a.folder(), u"--file"_s, file} +
                       extra);
        };
        const QByteArray good = QByteArray(R"([
            {"data": "2024-03-01", "descrizione": "Quote di marzo",
             "righe": [{"dare": )") +
                                QByteArray::number(cassa) + R"(, "importo": "300.10",
                        "descrizione": "Quote di marzo"},
                       {"avere": "Quote", "importo": "300.1", "descrizione": "Quote di marzo"}]},
            {"data": "2024-04-02",
             "righe": [{"dare": "Cassa", "avere": "Quote", "importo": "0.0500",
                        "descrizione": "Arrotondamento"}]}])";

        const Run dry = post(good, {u"--dry-run"_s});
        QCOMPARE(dry.exitCode, 0);
        QCOMPARE(dry.out, u"2\n3\n"_s);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);

        const Run booked = post(good);
        QCOMPARE(booked.exitCode, 0);
        QCOMPARE(booked.out, u"2\n3\n"_s);
        QCOMPARE(a.scalar(u"SELECT SUM(importo) FROM regdet"_s).toLongLong(),
                 10000 + 3001000 * 2 + 500);
        QCOMPARE(a.scalar(u"SELECT descrizione FROM regmain WHERE progressivo = 2"_s).toString(),
                 u"Quote di marzo"_s);

        // An unbalanced second entry, a sub-account no one has, an amount with five decimals or
        // a fraction of a cent, a key given twice (the reader would keep the second), a text
        // longer than the exports write: each refused with its place, nothing written.
        for (const auto &[json, message] :
             {std::pair(QByteArray(R"([{"data": "2024-05-01", "righe": [{"dare": "Cassa",
                     "avere": "Quote", "importo": "1.00", "descrizione": "x"}]},
                     {"data": "2024-05-02", "righe": [{"dare": "Cassa", "importo": "1.00",
                     "descrizione": "x"}]}])"),
                        u"Registrazione 2: "_s),
              std::pair(QByteArray(R"([{"data": "2024-05-01", "righe": [{"dare": "Banca",
                     "importo": "1.00", "descrizione": "x"}]}])"),
                        u"Registrazione 1, riga 1: nessun sottoconto"_s),
              std::pair(QByteArray(R"([{"data": "2024-05-01", "righe": [{"dare": "Cassa",
                     "avere": "Quote", "importo": "1.00001", "descrizione": "x"}]}])"),
                        u"Registrazione 1, riga 1: importo"_s),
              std::pair(QByteArray(R"([{"data": "2024-05-01", "righe": [{"dare": "Cassa",
                     "avere": "Quote", "importo": "0.005", "descrizione": "x"}]}])"),
                        u"Registrazione 1, riga 1: importo con frazioni di centesimo: 0,005."_s),
              std::pair(QByteArray(R"([{"data": "2024-05-01", "righe": [{"dare": "Cassa",
                     "avere": "Quote", "importo": "1.00", "importo": "1000.00",
                     "descrizione": "x"}]}])"),
                        u"Registrazione 1, riga 1: la chiave \"importo\" è ripetuta"_s),
              std::pair(R"([{"data": "2024-05-01", "righe": [{"dare": "Cassa",
                     "avere": "Quote", "importo": "1.00", "descrizione": "DESCRIPTION"}]}])"_ba
                            .replace("DESCRIPTION", QByteArray(256, 'x')),
                        u"Registrazione 1, riga 1: descrizione più lunga di 255 caratteri."_s),
              std::pair(QByteArray("{\"data\": 1}"), u"Il file deve contenere"_s)}) {
            const Run refused = post(json);
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.err.startsWith(message), qPrintable(refused.err));
            QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 3);
        }
    }

    void importsABankStatementOnce()
    {
        TestArchive a;
        const auto [bank, dues] = cashAndFees(a);
        const QString camt = QStringLiteral(TOVRIN_BANK_DATA) + u"/camt053-v02.xml"_s;
        const QStringList import{u"import-bank"_s, u"--archive"_s, a.folder(), u"--file"_s, camt,
                                 u"--bank"_s,      u"Cassa"_s};
        const Run rule = cli({u"bank-rule"_s, u"add"_s, u"--archive"_s, a.folder(), u"--contains"_s,
                              u"quota associativa"_s, u"--subaccount"_s, QString::number(dues),
                              u"--sign"_s, u"entrate"_s});
        QCOMPARE(rule.exitCode, 0);
        QCOMPARE(cli({u"bank-rule"_s, u"list"_s, u"--archive"_s, a.folder()}).out,
                 u"1\tcontiene 'quota associativa', entrate\t%1 Quote\n"_s.arg(dues));

        const Run dry = cli(import + QStringList{u"--dry-run"_s, u"--json"_s});
        QVERIFY2(dry.exitCode == 0, qPrintable(dry.err));
        const QJsonObject listed = QJsonDocument::fromJson(dry.out.toUtf8()).object();
        const QJsonObject first = listed[u"movimenti"_s].toArray()[0].toObject();
        QCOMPARE(first[u"importo"_s].toString(), u"150.00"_s);
        QCOMPARE(first[u"sottoconto"_s].toInteger(), dues);
        QCOMPARE(first[u"motivo"_s].toString(), u"regola: contiene 'quota associativa', entrate"_s);
        QCOMPARE(listed[u"daAssegnare"_s].toInt(), 2);
        // The balances differ from the empty books: told on stderr, booking goes on.
        QVERIFY(dry.err.startsWith(u"Attenzione: Saldo iniziale al 01/03/2026"_s));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 0);

        Run booked = cli(import);
        QCOMPARE(booked.exitCode, 0);
        QVERIFY2(booked.out.endsWith(u"Registrati: 2; già importati: 0; già registrati: 0; in "
                                     u"attesa: 1; rifiutati: 0; da assegnare: 2.\n"_s),
                 qPrintable(booked.out));
        booked = cli(import);
        QVERIFY(booked.out.endsWith(u"Registrati: 0; già importati: 2; già registrati: 0; in "
                                    u"attesa: 1; rifiutati: 0; da assegnare: 2.\n"_s));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);

        // A file that is not a statement: refused with its place, nothing written.
        const QString bad = a.folder() + u"/documenti/rotto.xml"_s;
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\">"
                   "<BkToCstmrStmt><Stmt><Ntry><Amt>1.00</Amt></Ntry></Stmt></BkToCstmrStmt>"
                   "</Document>");
        file.close();
        const Run refused = cli({u"import-bank"_s, u"--archive"_s, a.folder(), u"--file"_s, bad,
                                 u"--bank"_s, QString::number(bank)});
        QCOMPARE(refused.exitCode, 1);
        QCOMPARE(refused.err, u"Ntry 1: segno mancante o non valido (CdtDbtInd). Nessun movimento "
                              u"importato.\n"_s);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);

        // Amounts no total of the books could hold: refused whole, nothing written.
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray huge = "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\">"
                          "<BkToCstmrStmt><Stmt>";
        for (int i = 0; i < 12; ++i)
            huge += "<Ntry><Amt Ccy=\"EUR\">90000000000000.00</Amt><CdtDbtInd>CRDT</CdtDbtInd>"
                    "<BookgDt><Dt>2026-03-02</Dt></BookgDt></Ntry>";
        file.write(huge + "</Stmt></BkToCstmrStmt></Document>");
        file.close();
        const Run tooLarge = cli({u"import-bank"_s, u"--archive"_s, a.folder(), u"--file"_s, bad,
                                  u"--bank"_s, QString::number(bank)});
        QCOMPARE(tooLarge.exitCode, 1);
        QVERIFY2(tooLarge.err.startsWith(u"Ntry 1: importo 90.000.000.000.000,00 oltre"_s),
                 qPrintable(tooLarge.err));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);
    }

    // Italian exports read with profiles made on the command line: BancoPosta (two-digit years,
    // balance rows with a stray bar, no final newline) and Satispay (month names with a time,
    // quotes, a non-breaking space, emoji, a status); an IBAN picks the account of a file.
    void importsItalianBankExportsWithProfilesMadeHere()
    {
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        const QString folder = a.folder();
        const auto write = [&](const QString &name, const QByteArray &bytes) {
            QFile file(folder + u"/documenti/"_s + name);
            file.open(QIODevice::WriteOnly);
            file.write(bytes);
            return file.fileName();
        };
        const auto importing = [&](const QString &file, const QString &profile) {
            const Run run =
                cli({u"import-bank"_s, u"--archive"_s, folder, u"--file"_s, file, u"--bank"_s,
                     u"Cassa"_s, u"--profile"_s, profile, u"--dry-run"_s, u"--json"_s});
            return std::pair(run, QJsonDocument::fromJson(run.out.toUtf8()).object());
        };
        const QStringList profile{u"csv-profile"_s, u"add"_s, u"--archive"_s, folder};
        QCOMPARE(cli(profile + QStringList{u"--name"_s,
                                           u"BancoPosta"_s,
                                           u"--separator"_s,
                                           u";"_s,
                                           u"--encoding"_s,
                                           u"windows-1252"_s,
                                           u"--skip"_s,
                                           u"1"_s,
                                           u"--date-format"_s,
                                           u"dd/MM/yy"_s,
                                           u"--date-column"_s,
                                           u"1"_s,
                                           u"--value-date-column"_s,
                                           u"2"_s,
                                           u"--debit-column"_s,
                                           u"3"_s,
                                           u"--credit-column"_s,
                                           u"4"_s,
                                           u"--description-column"_s,
                                           u"5"_s})
                     .exitCode,
                 0);
        const QString posta =
            write(u"posta.csv"_s, "Data;Valuta;Addebiti;Accrediti;Descrizione operazioni\r\n"
                                  "|SALDO INIZIALE;;;26.851,95;\r\n"
                                  "31/12/17;29/12/17;;1.507,10;BONIFICO DA ROSSI quota\r\n"
                                  "29/12/17;28/12/17;12,50;;COMMISSIONI\r\n"
                                  "|SALDO FINALE;;;28.346,55;");
        auto [run, json] = importing(posta, u"BancoPosta"_s);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QJsonArray movements = json[u"movimenti"_s].toArray();
        QCOMPARE(movements.size(), 2);
        QCOMPARE(movements[0].toObject()[u"data"_s].toString(), u"2017-12-31"_s);
        QCOMPARE(movements[0].toObject()[u"importo"_s].toString(), u"1507.10"_s);
        QCOMPARE(movements[1].toObject()[u"importo"_s].toString(), u"-12.50"_s);
        QVERIFY2(run.err.contains(u"Righe ignorate perché contengono saldo: 2."_s),
                 qPrintable(run.err));

        QCOMPARE(cli(profile + QStringList{u"--name"_s,
                                           u"Satispay"_s,
                                           u"--separator"_s,
                                           u","_s,
                                           u"--encoding"_s,
                                           u"utf-8"_s,
                                           u"--skip"_s,
                                           u"1"_s,
                                           u"--date-format"_s,
                                           u"d MMM yyyy. HH:mm:ss"_s,
                                           u"--date-column"_s,
                                           u"1"_s,
                                           u"--amount-column"_s,
                                           u"4"_s,
                                           u"--description-column"_s,
                                           u"3"_s,
                                           u"--counterparty-column"_s,
                                           u"2"_s,
                                           u"--status-column"_s,
                                           u"5"_s,
                                           u"--status"_s,
                                           u"APPROVED"_s})
                     .exitCode,
                 0);
        const QString satispay =
            write(u"satispay.csv"_s, "\"Data\",\"Nome\",\"Descrizione\",\"Importo\",\"Stato\"\n"
                                     "\"24 lug 2024. 02:59:45\",\"Bar Centrale\",\"Caff\xc3\xa8 "
                                     "\xe2\x98\x95\",\"-17,00\xc2\xa0\xe2\x82\xac\",\"APPROVED\"\n"
                                     "\"25 lug 2024. 10:00:00\",\"Mario\",\"Rimborso\",\"5,50\","
                                     "\"NOT APPROVED\"\n");
        std::tie(run, json) = importing(satispay, u"Satispay"_s);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        movements = json[u"movimenti"_s].toArray();
        QCOMPARE(movements.size(), 2);
        QCOMPARE(movements[0].toObject()[u"data"_s].toString(), u"2024-07-24"_s);
        QCOMPARE(movements[0].toObject()[u"importo"_s].toString(), u"-17.00"_s);
        QCOMPARE(movements[0].toObject()[u"descrizione"_s].toString(), u"Caffè ☕"_s);
        QCOMPARE(movements[1].toObject()[u"stato"_s].toString(), u"in attesa"_s);
        QCOMPARE(json[u"inAttesa"_s].toInt(), 1);
        QVERIFY(cli({u"csv-profile"_s, u"list"_s, u"--archive"_s, folder})
                    .out.startsWith(u"BancoPosta\tseparatore ;\tWindows-1252"_s));

        // Bad arguments save nothing.
        for (const QStringList &bad :
             {QStringList{u"--name"_s, u"X"_s, u"--encoding"_s, u"latin9"_s, u"--date-column"_s,
                          u"1"_s, u"--amount-column"_s, u"2"_s, u"--description-column"_s, u"3"_s},
              QStringList{u"--name"_s, u"X"_s, u"--date-column"_s, u"0"_s, u"--amount-column"_s,
                          u"2"_s, u"--description-column"_s, u"3"_s}})
            QCOMPARE(cli(profile + bad).exitCode, 1);
        QCOMPARE(cli({u"csv-profile"_s, u"list"_s, u"--archive"_s, folder}).out.count(u'\n'), 2);
        const QStringList account{u"bank-account"_s, u"--archive"_s, folder,
                                  u"--subaccount"_s, u"Cassa"_s,     u"--iban"_s};
        QCOMPARE(cli(account + QStringList{u"IT61X0542811101000000123456"_s}).exitCode, 1);
        QCOMPARE(cli(account + QStringList{u"IT60X0542811101000000123456"_s}).exitCode, 0);

        // A sub-account that is not cash or bank takes no statement.
        a.exec(u"UPDATE conti SET liquidita = 1 WHERE id = (SELECT idConto FROM sottoconti "
               u"WHERE id = ?)"_s,
               {cassa});
        const Run notBank =
            cli({u"import-bank"_s, u"--archive"_s, folder, u"--file"_s, posta, u"--bank"_s,
                 QString::number(quote), u"--profile"_s, u"BancoPosta"_s});
        QCOMPARE(notBank.exitCode, 1);
        QVERIFY2(notBank.err.contains(u"Disponibilità liquide"_s), qPrintable(notBank.err));
    }

    void drawsTheDashboardWithoutADisplay()
    {
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        a.exec(u"UPDATE conti SET liquidita = 1 WHERE id = (SELECT idConto FROM sottoconti "
               u"WHERE id = ?)"_s,
               {cassa});
        a.addEntry(QDate(2024, 3, 5), {{cassa, quote, Money::fromCents(12345), u"Quota"_s}}, 0, 1);
        const auto draw = [&](const QString &suffix) {
            const QString out = a.folder() + u"/documenti/cruscotto."_s + suffix;
            const Run run = cli({u"report"_s, u"cruscotto"_s, u"--archive"_s, a.folder(),
                                 u"--date"_s, u"2024-06-30"_s, u"--out"_s, out});
            QFile file(out);
            return run.exitCode == 0 && file.open(QIODevice::ReadOnly) ? file.readAll()
                                                                       : QByteArray();
        };
        QVERIFY(draw(u"png"_s).startsWith("\x89PNG"));
        QVERIFY(draw(u"svg"_s).contains("Cruscotto dell'esercizio 2024"));
        QVERIFY(!draw(u"pdf"_s).isEmpty());
        const QString pdf = pdfPageTexts(a.folder() + u"/documenti/cruscotto.pdf"_s).join(u' ');
        QVERIFY2(pdf.contains(u"Ricavi e costi per mese"_s), qPrintable(pdf));
        const QJsonObject json = QJsonDocument::fromJson(draw(u"json"_s)).object();
        QCOMPARE(json[u"indicatori"_s][u"cassa"_s][u"valore"_s].toString(), u"123.45"_s);
    }

    void writesOnlyWhenNoOneElseIs()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        a.addEntry(QDate(2024, 3, 5), {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, 3);
        const QStringList renumber{u"renumber"_s,   u"--archive"_s, a.folder(),  u"--date"_s,
                                   u"2024-06-01"_s, u"--period"_s,  u"current"_s};
        {
            // The program runs: the command line reads but does not write.
            QLockFile program(QDir(runtimeFolder()).filePath(u"tovrin3.lock"_s));
            QVERIFY(program.tryLock(0));
            const Run refused = cli(renumber);
            QCOMPARE(refused.exitCode, 3);
            QVERIFY(refused.err.startsWith(u"Applicazione già in esecuzione"_s));
            QCOMPARE(cli({u"check"_s, u"--archive"_s, a.folder(), u"--date"_s, u"2024-06-01"_s,
                          u"--json"_s})
                         .exitCode,
                     1);
            QCOMPARE(numbers(a), QVariantList{3});
        }
        {
            // Another machine is writing to the shared archive, then committing.
            Connection other(a.archive());
            QSqlQuery query = other.query();
            QVERIFY(query.exec(u"BEGIN IMMEDIATE"_s));
            const Run busy = cli(renumber);
            QCOMPARE(busy.exitCode, 3);
            QVERIFY2(busy.err.startsWith(u"Impossibile aprire l'archivio in scrittura"_s),
                     qPrintable(busy.err));
            QCOMPARE(busy.err.count(u"in uso"_s), 1);
            QVERIFY(query.exec(u"ROLLBACK"_s));
            QVERIFY(query.exec(u"BEGIN EXCLUSIVE"_s));
            const Run unreadable = cli(renumber);
            QCOMPARE(unreadable.exitCode, 3);
            QVERIFY2(unreadable.err.contains(u"L'archivio è in uso"_s), qPrintable(unreadable.err));
            QVERIFY(query.exec(u"ROLLBACK"_s));
        }
        QCOMPARE(cli(renumber).exitCode, 0);
        QCOMPARE(numbers(a), QVariantList{1});
    }

    void twoUsersWritingNeverCorruptTheFile_data()
    {
        QTest::addColumn<bool>("reading");
        QTest::newRow("two writers") << false;
        QTest::newRow("two writers and a reader") << true;
    }

    void twoUsersWritingNeverCorruptTheFile()
    {
        SKIP_ON_SERVER();
        QFETCH(bool, reading);
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        PostingUser first(a, cassa, quote, u"primo"_s);
        PostingUser second(a, cassa, quote, u"secondo"_s);
        const CliUser reader;
        QProcess reads;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 4000) {
            first.next();
            second.next();
            if (reading && reads.state() == QProcess::NotRunning)
                reader.start(reads, {u"check"_s, u"--archive"_s, a.folder(), u"--date"_s,
                                     u"2024-03-01"_s, u"--json"_s});
        }
        reads.waitForFinished(30000);
        QList<PostingUser::Call> calls = first.finish() + second.finish();

        Connection connection(a.archive(), Connection::Mode::ReadOnly);
        QSqlQuery integrity = connection.query();
        QVERIFY(runSql(integrity, u"PRAGMA integrity_check"_s) && integrity.next());
        QCOMPARE(integrity.value(0).toString(), u"ok"_s);
        int saved = 0;
        QSet<QString> numbers;
        for (const PostingUser::Call &call : std::as_const(calls)) {
            if (call.run.exitCode != 0) {
                // A call that failed wrote nothing.
                QVERIFY2(call.run.exitCode == 3, qPrintable(call.run.err));
                QCOMPARE(booked(a.databasePath(), call.text, {}), 0);
                continue;
            }
            ++saved;
            const QString number = call.run.out.trimmed();
            QVERIFY2(!numbers.contains(number), qPrintable(number));
            numbers.insert(number);
            QVERIFY2(booked(a.databasePath(), call.text, number) == 1, qPrintable(call.text));
        }
        QVERIFY2(saved >= 10, qPrintable(QString::number(saved)));
    }

    void aRestoreKeepsEveryUserOut()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        a.addEntry(QDate(2024, 1, 10), {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, 1);
        const Run backup = cli({u"backup"_s, u"--archive"_s, a.folder()});
        QCOMPARE(backup.exitCode, 0);
        PostingUser other(a, cassa, quote, u"altro"_s);
        QElapsedTimer clock;
        clock.start();
        QProcess restore;
        bool started = false;
        while (clock.elapsed() < 3000) {
            other.next();
            if (!started && clock.elapsed() > 1000) {
                user().start(restore, {u"restore"_s, u"--archive"_s, a.folder(), u"--from"_s,
                                       backup.out.trimmed()});
                started = true;
            }
        }
        const Run restored = CliUser::result(restore);
        QVERIFY2(restored.exitCode == 0, qPrintable(restored.err));
        const QString replaced =
            restored.out.trimmed().section(u"l'archivio sostituito è in "_s, 1);
        QVERIFY(QFile::exists(replaced));
        // Whatever the other user was told is saved is in the archive or in the copy of the
        // archive the restore replaced.
        int saved = 0;
        for (const PostingUser::Call &call : other.finish()) {
            if (call.run.exitCode != 0)
                continue;
            ++saved;
            const QString number = call.run.out.trimmed();
            QVERIFY2(booked(a.databasePath(), call.text, number) +
                             booked(replaced, call.text, number) ==
                         1,
                     qPrintable(call.text));
        }
        QVERIFY(saved > 0);
    }

    void printsTheJournalInDefinitivaAndListsTheRuns()
    {
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        int number = 0;
        for (const QDate &date : {QDate(2024, 1, 15), QDate(2024, 2, 15), QDate(2024, 4, 15)})
            a.addEntry(date, {{cassa, quote, Money::fromCents(1000), u"Quota"_s}}, 0, ++number);
        QTemporaryDir out;
        const QStringList final{u"report"_s, u"giornale"_s, u"--final"_s,   u"--archive"_s,
                                a.folder(),  u"--date"_s,   u"2024-06-01"_s};
        const QStringList list{u"final-prints"_s, u"--archive"_s, a.folder(), u"--date"_s,
                               u"2024-06-01"_s};

        const Run xlsx = cli(final + QStringList{u"--out"_s, out.filePath(u"q1.xlsx"_s)});
        QCOMPARE(xlsx.exitCode, 1);
        const Run unwritable = cli(final + QStringList{u"--to"_s, u"2024-03-31"_s, u"--out"_s,
                                                       out.filePath(u"nessuna/q1.pdf"_s)});
        QCOMPARE(unwritable.exitCode, 1);
        QCOMPARE(cli(list).out, QString());

        const Run first = cli(
            final + QStringList{u"--to"_s, u"2024-03-31"_s, u"--out"_s, out.filePath(u"q1.pdf"_s)});
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(first.out,
                 u"Stampa definitiva dal 2024-01-01 al 2024-03-31: fogli 1-1, righe 1-2.\n"_s);
        const Run second = cli(final + QStringList{u"--out"_s, out.filePath(u"q2.pdf"_s)});
        QCOMPARE(second.out,
                 u"Stampa definitiva dal 2024-04-01 al 2024-04-15: fogli 2-2, righe 3-3.\n"_s);
        const Run nothing = cli(final + QStringList{u"--out"_s, out.filePath(u"q3.pdf"_s)});
        QCOMPARE(nothing.exitCode, 1);
        QCOMPARE(nothing.err,
                 u"Nessuna registrazione da stampare in definitiva dal 16/04/2024.\n"_s);
        QVERIFY(!QFile::exists(out.filePath(u"q3.pdf"_s)));

        const Run json = cli(list + QStringList{u"--json"_s});
        QCOMPARE(json.exitCode, 0);
        const QJsonArray runs = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(runs.size(), 2);
        const QJsonObject last = runs.at(1).toObject();
        QCOMPARE(last.value(u"from"_s).toString(), u"2024-04-01"_s);
        QCOMPARE(last.value(u"firstSheet"_s).toInt(), 2);
        QCOMPARE(last.value(u"lastRow"_s).toInt(), 3);
        QCOMPARE(last.value(u"debit"_s).toString(), u"30.00"_s);
        QCOMPARE(last.value(u"sha256"_s).toString(),
                 QString::fromLatin1(hashOf(out.filePath(u"q2.pdf"_s)).toHex()));
        QCOMPARE(cli(list).out.split(u'\n', Qt::SkipEmptyParts).first(),
                 u"dal 01/01/2024 al 31/03/2024\tfogli 1-1\trighe 1-2\tDare 20,00\tAvere 20,00"_s);
        QCOMPARE(cli(list + QStringList{u"--year"_s, u"2023"_s}).out, QString());
    }

    void outputsNeverLandOnTheArchive()
    {
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        a.addEntry(QDate(2024, 3, 5), {{cassa, quote, Money::fromCents(100), u"Quota"_s}}, 0, 1);
        const QByteArray before = hashOf(a.databasePath());
        QTemporaryDir out;
        const QString link = out.filePath(u"bilancio.pdf"_s);
        QVERIFY(QFile::link(a.databasePath(), link));
        const QString linkedXlsx = out.filePath(u"bilancio.xlsx"_s);
        QVERIFY(QFile::link(a.databasePath(), linkedXlsx));
        const QStringList archive{u"--archive"_s, a.folder(), u"--date"_s, u"2024-06-01"_s};
        const QString model = QDir(binDir()).filePath(u"modelli/bilancio3settore.xltx"_s);
        for (const QStringList &command :
             {QStringList{u"fill"_s, u"--template"_s, model, u"--out"_s, a.databasePath()},
              QStringList{u"fill"_s, u"--template"_s, model, u"--out"_s, linkedXlsx},
              QStringList{u"report"_s, u"bilancio"_s, u"--out"_s, link},
              QStringList{u"report"_s, u"giornale"_s, u"--out"_s, a.folder()},
              QStringList{u"report"_s, u"giornale"_s, u"--final"_s, u"--out"_s, link}}) {
            const Run run = cli(command.mid(0, command.first() == u"report"_s ? 2 : 1) + archive +
                                command.mid(command.first() == u"report"_s ? 2 : 1));
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains(u"non può essere sovrascritto"_s) ||
                         run.err.contains(u"cartella"_s) || run.err.contains(u".xlsx"_s),
                     qPrintable(run.err));
            QVERIFY(!run.err.contains(u"QStandardPaths"_s));
        }
        QCOMPARE(hashOf(a.databasePath()), before);
        QVERIFY(QFileInfo(link).isSymLink());
    }

    void hostileEditsAreCaughtAndRepaired()
    {
        SKIP_ON_SERVER();
        TestArchive a;
        const auto [cassa, quote] = cashAndFees(a);
        for (int day = 1; day <= 3; ++day)
            a.addEntry(QDate(2024, 3, day), {{cassa, quote, Money::fromCents(1000), u"Quota"_s}}, 0,
                       day);
        QTemporaryDir out;
        const QStringList balance{u"report"_s, u"bilancio"_s,   u"--archive"_s, a.folder(),
                                  u"--date"_s, u"2024-06-01"_s, u"--out"_s};
        QCOMPARE(cli(balance + QStringList{out.filePath(u"prima.json"_s)}).exitCode, 0);

        // REPLACE deletes the old row without the delete triggers: the month's totals double.
        a.exec(u"REPLACE INTO regdet (id, idRegMain, riga, contodare, contoavere, importo, "
               u"descrizione) SELECT id, idRegMain, riga, contodare, contoavere, importo, 'Nuova' "
               u"FROM regdet WHERE id = (SELECT MIN(id) FROM regdet)"_s);
        const Run drifted = cli(balance + QStringList{out.filePath(u"dopo.json"_s)});
        QCOMPARE(drifted.exitCode, 0);
        QVERIFY(drifted.err.contains(u"totali mensili"_s));
        QCOMPARE(hashOf(out.filePath(u"dopo.json"_s)), hashOf(out.filePath(u"prima.json"_s)));

        // A planted trigger that would double every amount on renumbering.
        a.exec(u"UPDATE regmain SET progressivo = 4 - progressivo"_s);
        a.exec(u"CREATE TRIGGER doppio AFTER UPDATE OF progressivo ON regmain BEGIN "
               u"UPDATE regdet SET importo = importo * 2 WHERE idRegMain = NEW.id; END"_s);
        const QStringList renumber{u"renumber"_s,   u"--archive"_s, a.folder(),  u"--date"_s,
                                   u"2024-06-01"_s, u"--period"_s,  u"current"_s};
        const Run refused = cli(renumber);
        QCOMPARE(refused.exitCode, 2);
        QVERIFY2(refused.err.contains(u"trigger doppio"_s), qPrintable(refused.err));
        const QStringList check{u"check"_s,  u"--archive"_s,  a.folder(),
                                u"--date"_s, u"2024-06-01"_s, u"--json"_s};
        const Run found = cli(check);
        QCOMPARE(found.exitCode, 1);
        const QJsonObject report = QJsonDocument::fromJson(found.out.toUtf8()).object();
        const QJsonArray planted{QJsonObject{{u"type"_s, u"trigger"_s}, {u"name"_s, u"doppio"_s}}};
        QCOMPARE(report.value(u"foreignObjects"_s).toArray(), planted);
        QVERIFY(!report.value(u"monthlyTotals"_s).toArray().isEmpty());

        const Run repaired = cli(check + QStringList{u"--repair"_s});
        QCOMPARE(repaired.exitCode, 1); // the numbering is still out of order
        QCOMPARE(folderEntries(a.folder() + u"/backup"_s).size(), 1);
        const QJsonObject after = QJsonDocument::fromJson(repaired.out.toUtf8()).object();
        QVERIFY(after.value(u"foreignObjects"_s).toArray().isEmpty());
        QVERIFY(after.value(u"monthlyTotals"_s).toArray().isEmpty());
        QCOMPARE(cli(renumber).exitCode, 0);
        QCOMPARE(a.scalar(u"SELECT SUM(importo) FROM regdet"_s).toLongLong(), 300000);
        QCOMPARE(cli(check).exitCode, 0);
    }

    void refusesABadDate()
    {
        TestArchive a;
        const Run run = cli({u"info"_s, u"--archive"_s, a.folder(), u"--date"_s, u"31/12/2024"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(u"Data non valida"_s));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
