// tovrin3-synth: fills a new archive folder with a synthetic chart and entries.
//   tovrin3-synth FOLDER [--entries N] [--years Y] [--first-year YYYY] [--seed S]

#include "SyntheticArchive.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Crea un archivio sintetico per prove e misure."_s);
    parser.addHelpOption();
    parser.addPositionalArgument(u"cartella"_s, u"Cartella del nuovo archivio."_s);
    parser.addOption({u"entries"_s, u"Numero di registrazioni."_s, u"n"_s, u"500000"_s});
    parser.addOption({u"years"_s, u"Esercizi (anni solari)."_s, u"n"_s, u"10"_s});
    parser.addOption({u"first-year"_s, u"Primo anno."_s, u"anno"_s, u"2015"_s});
    parser.addOption({u"seed"_s, u"Seme del generatore."_s, u"n"_s, u"1"_s});
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(1);

    SyntheticOptions options;
    options.entries = parser.value(u"entries"_s).toInt();
    options.years = std::max(1, parser.value(u"years"_s).toInt());
    options.firstYear = parser.value(u"first-year"_s).toInt();
    options.seed = parser.value(u"seed"_s).toUInt();
    const QString templatePath =
        QDir(QCoreApplication::applicationDirPath()).filePath(u"contab.gen"_s);
    QString error;
    if (!createSyntheticArchive(parser.positionalArguments().first(), templatePath, options,
                                &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    return 0;
}
