#include "cli/PostCommand.h"

#include "cli/CliSupport.h"
#include "data/InstanceLock.h"
#include "journal/EntryFile.h"

#include <QCommandLineParser>

using namespace Qt::StringLiterals;

int postCommand(const QCommandLineParser &parser)
{
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    const std::optional<QByteArray> json = inputFile(parser.value(u"file"_s));
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
    if (!dryRun) {
        QList<QDate> dates;
        for (const JournalEntry &entry : std::as_const(*entries))
            dates << entry.header.data;
        warnOfBrokenNumbering(*archive, dates);
    }
    return ExitStatus::Done;
}
