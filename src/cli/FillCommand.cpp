#include "cli/FillCommand.h"

#include "cli/CliSupport.h"
#include "data/FiscalEnvironment.h"
#include "data/OutputFile.h"
#include "statements/StatementExport.h"
#include "statements/WorkbookFiller.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int fillIn(const QCommandLineParser &parser, const Archive &archive, FiscalEnvironment &environment)
{
    const QString out = parser.value(u"out"_s);
    if (const Connection connection(archive, Connection::Mode::ReadOnly); connection.isOpen())
        warnIfTotalsDiffer(connection.database());
    QString error;
    WorkbookFiller filler;
    if (!filler.loadTemplate(parser.value(u"template"_s), &error))
        return reportRefusal(error);
    QString notice;
    if (!generateStatement(filler, archive, StatementYears::of(environment), out, {}, &error,
                           &notice))
        return reportFailure(u"Compilazione del modello non eseguita."_s, error);
    if (!notice.isEmpty())
        printLine(stderr, notice);
    std::printf("%d\n", filler.filledCount());
    return ExitStatus::Done;
}

} // namespace

int fillCommand(const QCommandLineParser &parser)
{
    if (!parser.isSet(u"template"_s) || !parser.isSet(u"out"_s))
        return reportRefusal(u"Indicare il modello (--template) e il file da generare (--out)."_s);
    const QString out = parser.value(u"out"_s);
    if (QFileInfo(out).suffix().compare(u"xlsx"_s, Qt::CaseInsensitive) != 0)
        return reportRefusal(u"Il file da generare deve avere l'estensione .xlsx: %1"_s.arg(out));
    if (const QString problem = outputTargetProblem(out); !problem.isEmpty())
        return reportRefusal(problem);
    return withEnvironment(parser, fillIn);
}
