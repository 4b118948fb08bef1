// Times the numbering check and the renumbering of a fiscal year of 50,000 entries (two rows
// each) whose numbers were scrambled, inside an archive that also holds the year before.
//   bench_renumbering [entries]

#include "BenchSupport.h"
#include "data/Database.h"
#include "data/Renumbering.h"
#include "data/SqlText.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

void fillYear(const Connection &connection, int year, int entries, QRandomGenerator &random)
{
    QSqlQuery header = connection.query();
    QSqlQuery row = connection.query();
    header.prepare(u"INSERT INTO regmain (data, progressivo, tipo) VALUES (?, ?, 0)"_s);
    row.prepare(
        u"INSERT INTO regdet (idRegMain, riga, contodare, contoavere, importo, descrizione) "
        u"VALUES (?, ?, ?, ?, ?, 'riga')"_s);
    const QDate first(year, 1, 1);
    for (int i = 0; i < entries; ++i) {
        header.addBindValue(isoDate(first.addDays(random.bounded(365))));
        header.addBindValue(random.bounded(entries) + 1);
        must(header.exec(), engineText(header));
        const QVariant id = header.lastInsertId();
        for (int r = 0; r < 2; ++r) {
            row.addBindValue(id);
            row.addBindValue((r + 1) * 10);
            row.addBindValue(r == 0 ? QVariant(1) : QVariant());
            row.addBindValue(r == 0 ? QVariant() : QVariant(2));
            row.addBindValue(qint64(random.bounded(1, 1000000)) * 100);
            must(row.exec(), engineText(row));
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 50000;
    QTemporaryDir dir;
    const QString db = dir.filePath(u"contab.mdb"_s);
    must(QFile::copy(QDir(QCoreApplication::applicationDirPath()).filePath(u"contab.gen"_s), db),
         u"contab.gen missing"_s);
    QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
    const Archive archive = Archive::ofDatabase(db);
    {
        Connection connection(archive);
        QSqlQuery q = connection.query();
        must(
            runSql(
                q,
                u"INSERT INTO mastri (prefisso, descrizione, tipo) VALUES ('A01', 'Attivo', 1)"_s) &&
                runSql(
                    q,
                    u"INSERT INTO conti (idMastro, prefisso, descrizione) VALUES (1, 'A01001', 'Liquidità')"_s) &&
                runSql(
                    q,
                    u"INSERT INTO sottoconti (idConto, descrizione) VALUES (1, 'Cassa'), (1, 'Banca')"_s),
            u"chart"_s);
        Transaction transaction(connection);
        QRandomGenerator random(42);
        fillYear(connection, 2023, entries, random);
        fillYear(connection, 2024, entries, random);
        must(transaction.commit(), u"commit"_s);
    }

    const QDate start(2024, 1, 1), end(2024, 12, 31);
    QElapsedTimer timer;
    timer.start();
    const bool misaligned = numberingBroken(archive, start, end);
    const qint64 checkBefore = timer.nsecsElapsed();
    timer.restart();
    Renumbering ricalcolo(archive, start, end);
    must(ricalcolo.run(Renumbering::Current), u"renumbering failed"_s);
    const qint64 renumber = timer.nsecsElapsed();
    timer.restart();
    const bool stillMisaligned = numberingBroken(archive, start, end);
    const qint64 checkAfter = timer.nsecsElapsed();

    std::printf("entries in the year: %d (plus %d in the year before)\n", entries, entries);
    std::printf("check, scrambled year (%s): %.1f ms\n", misaligned ? "misaligned" : "aligned",
                checkBefore / 1e6);
    std::printf("renumbering: %.1f ms\n", renumber / 1e6);
    std::printf("check, renumbered year (%s): %.1f ms\n",
                stillMisaligned ? "misaligned" : "aligned", checkAfter / 1e6);
    return stillMisaligned ? 1 : 0;
}
