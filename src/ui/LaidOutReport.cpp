#include "ui/LaidOutReport.h"

#include "reportengine/PagePainter.h"
#include "reportengine/ReportExport.h"
#include "ui/ReportProgressDialog.h"

#include <limits>

namespace {

ExportFormat engineFormat(PreviewDocument::Format format)
{
    switch (format) {
    case PreviewDocument::Format::Excel:
        return ExportFormat::Xlsx;
    case PreviewDocument::Format::Rtf:
        return ExportFormat::Rtf;
    case PreviewDocument::Format::Html:
        return ExportFormat::Html;
    case PreviewDocument::Format::Pdf:
        break;
    }
    return ExportFormat::Pdf;
}

int clampedCount(qint64 count)
{
    return int(std::min<qint64>(count, std::numeric_limits<int>::max()));
}

} // namespace

LaidOutReport::LaidOutReport(ReportDocument document) : m_document(std::move(document)) {}

QPageLayout LaidOutReport::pageLayout() const
{
    return QPageLayout(QPageSize(m_document.page.size), m_document.page.orientation,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

void LaidOutReport::paintPage(QPainter &painter, int index) const
{
    paintReportPage(painter, m_document, index);
}

QList<PreviewDocument::ContentsEntry> LaidOutReport::contents() const
{
    QList<ContentsEntry> entries;
    for (const TocEntry &entry : m_document.toc)
        entries.append({entry.text, entry.page, entry.level});
    return entries;
}

bool LaidOutReport::write(Format format, const QString &path, QString *error) const
{
    return exportReport(m_document, engineFormat(format), path, error);
}

LayoutProgressCallback progressShownIn(ReportProgressDialog &dialog)
{
    return [&dialog](const LayoutProgress &progress) {
        // Without a known total the dialog counts the pages made so far.
        if (progress.totalRows < 0)
            return dialog.step(progress.pages, 0);
        return dialog.step(clampedCount(progress.rows), clampedCount(progress.totalRows));
    };
}
