// tovrin3-cli: archive work from the command line.
//   tovrin3-cli info --archive DIR [--date YYYY-MM-DD] [--json]
//   tovrin3-cli yearend --archive DIR [--date D] [--closing-date D] [--opening-date D]

#include "archive/ArchiveInfo.h"
#include "data/ArchiveStartup.h"
#include "data/SqlText.h"
#include "data/cEnvironment.h"
#include "yearend/YearEnd.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int ExitUsage = 1;
constexpr int ExitArchive = 2;

void printLine(FILE *stream, const QString &text)
{
    std::fputs(text.toUtf8().constData(), stream);
    std::fputc('\n', stream);
}

// The date of an option in ISO form, or fallback when the option is absent; an unreadable date
// is told on stderr and gives nothing.
std::optional<QDate> dateOption(const QCommandLineParser &parser, const QString &name,
                                const QDate &fallback)
{
    if (!parser.isSet(name))
        return fallback;
    const QDate date = dateFromIso(parser.value(name));
    if (!date.isValid()) {
        printLine(stderr,
                  u"Data non valida: \"%1\" (formato AAAA-MM-GG)."_s.arg(parser.value(name)));
        return std::nullopt;
    }
    return date;
}

int info(const QCommandLineParser &parser)
{
    const std::optional<QDate> date = dateOption(parser, u"date"_s, QDate::currentDate());
    if (!date)
        return ExitUsage;
    QString error;
    const std::optional<ArchiveInfo> facts =
        readArchiveInfo(parser.value(u"archive"_s), *date, &error);
    if (!facts) {
        printLine(stderr, error);
        return ExitArchive;
    }
    if (parser.isSet(u"json"_s))
        printLine(stdout,
                  QString::fromUtf8(QJsonDocument(facts->toJson()).toJson(QJsonDocument::Compact)));
    else
        for (const QString &line : facts->toLines())
            printLine(stdout, line);
    return 0;
}

// Closes the previous fiscal year and opens the current one with the archive's role parameters
// and the default descriptions; prints the ids of the entries written.
int yearend(const QCommandLineParser &parser)
{
    const QString folder = parser.value(u"archive"_s);
    if (const QString problem = archiveFolderProblem(folder); !problem.isEmpty()) {
        printLine(stderr, QString(problem).replace(u'\n', u' '));
        return ExitArchive;
    }
    const Archive archive(folder);
    const std::optional<QDate> date = dateOption(parser, u"date"_s, QDate::currentDate());
    if (!date)
        return ExitUsage;
    cEnvironment environment(archive);
    environment.setCurDate(*date);
    QString error;
    if (!environment.Update(&error)) {
        printLine(stderr, error);
        return ExitUsage;
    }
    const YearEndYears years = YearEndYears::of(environment);
    const QString refusal = yearEndRefusal(archive, years, &error);
    const std::optional<Money> result = refusal.isEmpty() && error.isEmpty()
                                            ? risultatoEsercizio(archive, years, &error)
                                            : std::nullopt;
    if (!result) {
        printLine(stderr, QString(error.isEmpty() ? refusal : error).replace(u'\n', u' '));
        return ExitUsage;
    }
    YearEndInput input =
        yearEndDefaults(archive, years, *result, yearEndChoices(archive, true, &error),
                        yearEndChoices(archive, false, &error));
    const std::optional<QDate> closing = dateOption(parser, u"closing-date"_s, input.closingDate);
    const std::optional<QDate> opening = dateOption(parser, u"opening-date"_s, input.openingDate);
    if (!closing || !opening)
        return ExitUsage;
    input.closingDate = *closing;
    input.openingDate = *opening;
    const QStringList errors = ControllaParametri(input, years);
    for (const QString &line : errors)
        printLine(stderr, line);
    if (!errors.isEmpty())
        return ExitUsage;
    const std::optional<QList<qint64>> written = runYearEnd(archive, input, years, *result, &error);
    if (!written) {
        printLine(stderr, u"Chiusura/Apertura non eseguita, archivio invariato: "_s + error);
        return ExitUsage;
    }
    for (qint64 id : *written)
        printLine(stdout, QString::number(id));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tovrin3-cli"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Velmora Contabilità 3 da riga di comando"_s);
    parser.addHelpOption();
    parser.addPositionalArgument(u"comando"_s, u"info | yearend"_s);
    parser.addOption({u"archive"_s, u"Cartella della contabilità."_s, u"cartella"_s});
    parser.addOption({u"date"_s, u"Data di lavoro (AAAA-MM-GG), oggi se assente."_s, u"data"_s});
    parser.addOption({u"json"_s, u"Risultato in JSON."_s});
    parser.addOption({u"closing-date"_s, u"Data delle registrazioni di chiusura."_s, u"data"_s});
    parser.addOption({u"opening-date"_s, u"Data delle registrazioni di apertura."_s, u"data"_s});
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.value(0) == u"info"_s && parser.isSet(u"archive"_s))
        return info(parser);
    if (positional.value(0) == u"yearend"_s && parser.isSet(u"archive"_s))
        return yearend(parser);
    printLine(stderr, u"Uso: tovrin3-cli info --archive CARTELLA [--date AAAA-MM-GG] [--json]\n"
                      u"     tovrin3-cli yearend --archive CARTELLA [--date AAAA-MM-GG] "
                      u"[--closing-date AAAA-MM-GG] [--opening-date AAAA-MM-GG]"_s);
    return ExitUsage;
}
