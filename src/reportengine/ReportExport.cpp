#include "reportengine/ReportExport.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

std::optional<ExportFormat> exportFormatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == u"pdf"_s)
        return ExportFormat::Pdf;
    if (suffix == u"xlsx"_s)
        return ExportFormat::Xlsx;
    if (suffix == u"rtf"_s)
        return ExportFormat::Rtf;
    if (suffix == u"html"_s || suffix == u"htm"_s)
        return ExportFormat::Html;
    return std::nullopt;
}

bool exportReport(const ReportDocument &document, ExportFormat format, const QString &fileName,
                  QString *error)
{
    switch (format) {
    case ExportFormat::Pdf:
        return exportPdf(document, fileName, error);
    case ExportFormat::Xlsx:
        return exportXlsx(document, fileName, error);
    case ExportFormat::Rtf:
        return exportRtf(document, fileName, error);
    case ExportFormat::Html:
        return exportHtml(document, fileName, error);
    }
    return false;
}
