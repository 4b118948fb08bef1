#include "cli/FillCommand.h"

#include "data/ArchiveStartup.h"
#include "data/Database.h"
#include "data/SqlText.h"
#include "data/cEnvironment.h"
#include "statements/StatementExport.h"
#include "statements/cExcel.h"

#include <QCommandLineParser>
#include <QDate>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int ExitFailure = 1;

int failWith(const QString &message)
{
    std::fputs(QString(message).replace(u'\n', u' ').toUtf8().constData(), stderr);
    std::fputc('\n', stderr);
    return ExitFailure;
}

} // namespace

int fillCommand(const QCommandLineParser &parser)
{
    const QString folder = parser.value(u"archive"_s);
    if (!parser.isSet(u"template"_s) || !parser.isSet(u"out"_s))
        return failWith(u"Indicare il modello (--template) e il file da generare (--out)."_s);
    if (const QString problem = archiveFolderProblem(folder); !problem.isEmpty())
        return failWith(problem);
    QDate date = QDate::currentDate();
    if (parser.isSet(u"date"_s)) {
        date = dateFromIso(parser.value(u"date"_s));
        if (!date.isValid())
            return failWith(
                u"Data non valida: \"%1\" (formato AAAA-MM-GG)."_s.arg(parser.value(u"date"_s)));
    }

    // The fiscal years depend on the archive's first month, which the environment reads.
    cEnvironment environment{Archive(folder)};
    environment.setCurDate(date);
    QString error;
    if (!environment.Update(&error))
        return failWith(error);

    cExcel excel;
    if (!excel.loadModel(parser.value(u"template"_s), &error) ||
        !generateStatement(excel, databasePathFor(folder), StatementYears::of(environment),
                           parser.value(u"out"_s), {}, &error))
        return failWith(error);
    std::printf("%d\n", excel.filledCount());
    return 0;
}
