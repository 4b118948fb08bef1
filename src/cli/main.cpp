// tovrin3-cli: archive work from the command line.
//   tovrin3-cli info --archive DIR [--date YYYY-MM-DD] [--json]

#include "app/ArchiveInfo.h"
#include "data/SqlText.h"

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

int info(const QCommandLineParser &parser)
{
    QDate date = QDate::currentDate();
    if (parser.isSet(u"date"_s)) {
        date = dateFromIso(parser.value(u"date"_s));
        if (!date.isValid()) {
            printLine(stderr, u"Data non valida: \"%1\" (formato AAAA-MM-GG)."_s.arg(
                                  parser.value(u"date"_s)));
            return ExitUsage;
        }
    }
    QString error;
    const std::optional<ArchiveInfo> facts =
        readArchiveInfo(parser.value(u"archive"_s), date, &error);
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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"tovrin3-cli"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Velmora Contabilità 3 da riga di comando"_s);
    parser.addHelpOption();
    parser.addPositionalArgument(u"comando"_s, u"info"_s);
    parser.addOption({u"archive"_s, u"Cartella della contabilità."_s, u"cartella"_s});
    parser.addOption({u"date"_s, u"Data di lavoro (AAAA-MM-GG), oggi se assente."_s, u"data"_s});
    parser.addOption({u"json"_s, u"Risultato in JSON."_s});
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    if (positional.value(0) == u"info"_s && parser.isSet(u"archive"_s))
        return info(parser);
    printLine(stderr, u"Uso: tovrin3-cli info --archive CARTELLA [--date AAAA-MM-GG] [--json]"_s);
    return ExitUsage;
}
