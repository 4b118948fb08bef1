#include "ui/ReportOutput.h"

#include <QDir>
#include <QRegularExpression>

#include "data/OutputFile.h"
#include "ui/MessageService.h"
#include "ui/ReportPreview.h"

#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

using namespace Qt::StringLiterals;

bool paintPages(const PreviewDocument &document, QPagedPaintDevice &device, int first, int last)
{
    first = std::max(first, 0);
    last = std::min(last, document.pageCount() - 1);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    for (int page = first; page <= last; ++page) {
        if (page > first && !device.newPage())
            return false;
        painter.save();
        document.paintPage(painter, page);
        painter.restore();
    }
    return painter.end();
}

bool printDocument(QWidget *parent, const PreviewDocument &document)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(document.pageLayout());
    printer.setFullPage(true);
    printer.setFromTo(1, std::max(document.pageCount(), 1));
    if (!MessageService::instance().setUpPrinter(parent, printer))
        return true;
    const bool allPages = printer.printRange() != QPrinter::PageRange;
    const int first = allPages ? 0 : printer.fromPage() - 1;
    const int last = allPages ? document.pageCount() - 1 : printer.toPage() - 1;
    if (paintPages(document, printer, first, last))
        return true;
    MessageService::instance().inform(parent, u"Stampa non riuscita."_s,
                                      MessageService::Icon::Critical);
    return false;
}

PrintOutcome printWholeDocument(QWidget *parent, const PreviewDocument &document)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(document.pageLayout());
    printer.setFullPage(true);
    if (!MessageService::instance().setUpPrinter(parent, printer))
        return PrintOutcome::Cancelled;
    return paintPages(document, printer, 0, document.pageCount() - 1) ? PrintOutcome::Printed
                                                                      : PrintOutcome::Failed;
}

bool writePdf(const PreviewDocument &document, const QString &path, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    OutputFile file(path);
    if (!file.open(error))
        return false;
    {
        QPdfWriter writer(&file.device());
        writer.setResolution(1200);
        writer.setPageLayout(document.pageLayout());
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setCreator(u"Tovrin"_s);
        if (!paintPages(document, writer, 0, document.pageCount() - 1)) {
            *error = u"Impossibile scrivere il file %1."_s.arg(path);
            return false;
        }
    }
    return file.commit(error);
}

QString exportFilter(PreviewDocument::Format format)
{
    switch (format) {
    case PreviewDocument::Format::Excel:
        return u"Microsoft Excel (*.xlsx)"_s;
    case PreviewDocument::Format::Rtf:
        return u"Rich Text Format (*.rtf)"_s;
    case PreviewDocument::Format::Html:
        return u"Formato HTML (*.html)"_s;
    case PreviewDocument::Format::Pdf:
        break;
    }
    return u"Acrobat Reader (*.pdf)"_s;
}

QString exportSuffix(PreviewDocument::Format format)
{
    switch (format) {
    case PreviewDocument::Format::Excel:
        return u"xlsx"_s;
    case PreviewDocument::Format::Rtf:
        return u"rtf"_s;
    case PreviewDocument::Format::Html:
        return u"html"_s;
    case PreviewDocument::Format::Pdf:
        break;
    }
    return u"pdf"_s;
}

QString exportBaseName(const QString &report, const QDate &from, const QDate &to)
{
    QString name = report;
    if (from.isValid() && to.isValid())
        name += u' ' + from.toString(Qt::ISODate) + u' ' + to.toString(Qt::ISODate);
    static const QRegularExpression unfit(uR"([/\:*?"<>|])"_s);
    return name.replace(unfit, u"-"_s);
}

QString exportDocument(QWidget *parent, const PreviewDocument &document,
                       PreviewDocument::Format format, const QString &startFolder,
                       const QString &baseName)
{
    MessageService &messages = MessageService::instance();
    const QString proposed = QDir(startFolder).filePath(baseName + u'.' + exportSuffix(format));
    const QString path = messages.chooseSaveFile(parent, u"Esporta"_s, exportFilter(format),
                                                 proposed, exportSuffix(format));
    if (path.isEmpty())
        return {};
    QString error;
    if (!document.write(format, path, &error)) {
        messages.inform(parent, error, MessageService::Icon::Critical);
        return {};
    }
    messages.inform(parent, u"File scritto: %1"_s.arg(QDir::toNativeSeparators(path)));
    return path;
}

std::optional<PreviewDocument::Format> exportFormatFor(ReportOutput output)
{
    switch (output) {
    case ReportOutput::Excel:
        return PreviewDocument::Format::Excel;
    case ReportOutput::Rtf:
        return PreviewDocument::Format::Rtf;
    case ReportOutput::Pdf:
        return PreviewDocument::Format::Pdf;
    case ReportOutput::Html:
        return PreviewDocument::Format::Html;
    case ReportOutput::Print:
    case ReportOutput::Preview:
        break;
    }
    return std::nullopt;
}

void deliverReport(QWidget *parent, const PreviewDocument &document, ReportOutput output,
                   const QString &startFolder, const QString &baseName)
{
    if (output == ReportOutput::Preview) {
        ReportPreview preview(document, parent);
        preview.exec();
    } else if (output == ReportOutput::Print) {
        printDocument(parent, document);
    } else if (const std::optional<PreviewDocument::Format> format = exportFormatFor(output)) {
        exportDocument(parent, document, *format, startFolder, baseName);
    }
}
