#include "cli/PostCommand.h"

#include "cli/CliSupport.h"
#include "data/ClosedYears.h"
#include "data/InstanceLock.h"
#include "data/Renumbering.h"
#include "journal/EntryFile.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

// Far more than any file of entries a program writes; larger files are refused unread.
constexpr qint64 LargestFile = 256 * 1024 * 1024;

std::optional<QByteArray> fileContents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printLine(stderr, u"Impossibile leggere il file %1."_s.arg(QDir::toNativeSeparators(path)));
        return std::nullopt;
    }
    if (file.size() > LargestFile) {
        printLine(stderr, u"Il file %1 è troppo grande."_s.arg(QDir::toNativeSeparators(path)));
        return std::nullopt;
    }
    return file.readAll();
}

// As after a save in the editor: a year whose numbering no longer follows the dates is told.
void warnOfBrokenNumbering(const Archive &archive, const QList<JournalEntry> &entries)
{
    const Connection connection(archive, Connection::Mode::ReadOnly);
    QString error;
    const std::optional<int> startMonth = archiveStartMonth(connection.database(), &error);
    if (!startMonth)
        return;
    QSet<QDate> warned;
    for (const JournalEntry &entry : entries) {
        const FiscalYear year = fiscalYearContaining(entry.header.data, *startMonth);
        if (warned.contains(year.start))
            continue;
        warned.insert(year.start);
        if (numberingBroken(connection, year.start, year.end, &error).value_or(false))
            printLine(stderr, u"I progressivi dell'esercizio %1 non seguono più le date: "
                              u"eseguire tovrin3-cli renumber."_s.arg(year.label));
    }
}

} // namespace

int postCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    const std::optional<QByteArray> json = fileContents(parser.value(u"file"_s));
    if (!json)
        return ExitStatus::Refused;
    const bool dryRun = parser.isSet(u"dry-run"_s);
    InstanceLock lock;
    if (!dryRun)
        if (const std::optional<int> refused = lockForWriting(lock, *archive))
            return *refused;
    QString error;
    std::optional<QList<JournalEntry>> entries;
    {
        const Connection connection(*archive, Connection::Mode::ReadOnly);
        if (!connection.opened(&error))
            return reportFailure(u"Impossibile aprire l'archivio."_s, error);
        entries = readEntryFile(connection, *json, &error);
    }
    if (!entries)
        return reportRefusal(error);
    if (!postEntries(*archive, *entries, dryRun, &error))
        return reportFailure(u"Nessuna registrazione scritta."_s, error);
    for (const JournalEntry &entry : *entries)
        printLine(stdout, entry.header.progressivo.toString());
    if (!dryRun)
        warnOfBrokenNumbering(*archive, *entries);
    return ExitStatus::Done;
}
