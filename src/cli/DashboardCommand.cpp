#include "cli/DashboardCommand.h"

#include "cli/CliSupport.h"
#include "dashboard/DashboardCharts.h"
#include "dashboard/DashboardFigures.h"
#include "data/ArchiveStartup.h"
#include "data/ItalianLanguage.h"
#include "data/OutputFile.h"
#include "reports/JournalBook.h"

#include <QApplication>
#include <QCommandLineParser>

using namespace Qt::StringLiterals;

namespace {

int drawDashboard(const QCommandLineParser &parser)
{
    const QString out = parser.value(u"out"_s);
    if (const QString problem = outputTargetProblem(out); !problem.isEmpty())
        return reportRefusal(problem);
    const std::optional<PictureFormat> format = pictureFormatOf(out);
    if (!format && !out.endsWith(u".json"_s, Qt::CaseInsensitive))
        return reportRefusal(
            u"Formato del file non riconosciuto: \"%1\" (usare .pdf, .png, .svg o .json)."_s.arg(
                out));
    const std::optional<QDate> date = dateOption(parser, u"date"_s, QDate::currentDate());
    if (!date)
        return ExitStatus::Refused;
    int status = ExitStatus::Done;
    const std::optional<Archive> archive = archiveOption(parser, &status);
    if (!archive)
        return status;
    const Connection connection(*archive, Connection::Mode::ReadOnly);
    QString error;
    if (!connection.opened(&error))
        return reportFailure(u"Impossibile aprire l'archivio."_s, error);
    warnIfTotalsDiffer(connection.database());
    const std::optional<DashboardFigures> figures =
        dashboardFigures(connection.database(), *date, &error);
    const std::optional<OrganisationLines> organisation =
        figures ? readOrganisation(connection.database(), &error) : std::nullopt;
    if (!organisation)
        return reportFailure(u"Cruscotto non prodotto."_s, error);
    const QByteArray content =
        format ? pictureBytes(*format, A4Landscape,
                              [&](QPainter &painter, const QRectF &page) {
                                  paintDashboardPage(painter, page, *figures, organisation->name);
                              })
               : dashboardJson(*figures);
    if (!writeOutputFile(out, content, &error))
        return reportFailure(u"Cruscotto non prodotto."_s, error);
    return ExitStatus::Done;
}

} // namespace

int runDashboardReport(int argc, char *argv[])
{
    // Charts are drawn by widgets of their own, which want an application even without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    useItalian(app);
    QCoreApplication::setApplicationName(u"tovrin3-cli"_s);
    QCommandLineParser parser;
    parser.addPositionalArgument(u"report"_s, u"report cruscotto"_s);
    parser.addOption({u"archive"_s, u"Cartella della contabilità."_s, u"cartella"_s});
    parser.addOption({u"date"_s, u"Data di lavoro (AAAA-MM-GG), oggi se assente."_s, u"data"_s});
    parser.addOption({u"out"_s, u"File da scrivere (.pdf, .png, .svg, .json)."_s, u"file"_s});
    if (!parser.parse(QCoreApplication::arguments()) || !parser.isSet(u"archive"_s) ||
        !parser.isSet(u"out"_s))
        return reportRefusal(u"Uso: tovrin3-cli report cruscotto --archive CARTELLA "
                             u"[--date AAAA-MM-GG] --out FILE.pdf|.png|.svg|.json"_s);
    return drawDashboard(parser);
}
