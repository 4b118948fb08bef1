#include "data/OutputFile.h"
#include "reportengine/ReportExport.h"
#include "reportengine/TextMeasure.h"

using namespace Qt::StringLiterals;

namespace {

QString pt(double value)
{
    return QString::number(value, 'f', 1) + u"pt"_s;
}

QString textAlign(quint16 alignment)
{
    if (alignment & Qt::AlignRight)
        return u"right"_s;
    if (alignment & Qt::AlignHCenter)
        return u"center"_s;
    return u"left"_s;
}

QString head(const ReportDocument &document)
{
    const QSizeF size = document.page.sizePoints();
    QString out = u"<!DOCTYPE html>\n<html lang=\"it\">\n<head>\n<meta charset=\"utf-8\">\n"_s;
    out += u"<title>"_s + document.title.toHtmlEscaped() + u"</title>\n<style>\n"_s;
    out += u".page{position:relative;overflow:hidden;background:#fff;margin:0 auto 12pt;"
           u"border:1px solid #ccc;page-break-after:always;width:%1;height:%2}\n"_s.arg(
               pt(size.width()), pt(size.height()));
    out += u".page span{position:absolute;white-space:pre;overflow:hidden}\n"
           u".page div{position:absolute;border-color:#000;border-style:solid;border-width:0}\n"_s;
    for (size_t i = 0; i < document.fonts.size(); ++i) {
        const ReportFont &font = document.fonts[i];
        out +=
            u".f%1{font-family:'%2',sans-serif;font-size:%3;font-weight:%4;font-style:%5}\n"_s.arg(
                QString::number(i), font.family.isEmpty() ? defaultReportFamily() : font.family,
                pt(font.pointSize), font.bold ? u"bold"_s : u"normal"_s,
                font.italic ? u"italic"_s : u"normal"_s);
    }
    return out + u"</style>\n</head>\n<body>\n"_s;
}

QString pageHtml(const ReportPage &page)
{
    QString out = u"<div class=\"page\">\n"_s;
    for (const TextRun &run : page.texts)
        out += u"<span class=\"f%1\" style=\"left:%2;top:%3;width:%4;height:%5;line-height:%5;"
               u"text-align:%6\">%7</span>\n"_s.arg(
                   QString::number(run.font), pt(run.box.x()), pt(run.box.y()), pt(run.box.width()),
                   pt(run.box.height()), textAlign(run.alignment),
                   page.texts.text(run).toString().toHtmlEscaped());
    for (const LineShape &shape : page.lines) {
        const QLineF &line = shape.line;
        const bool vertical = qFuzzyCompare(line.x1(), line.x2());
        out += u"<div style=\"left:%1;top:%2;width:%3;height:%4;%5:%6\"></div>\n"_s.arg(
            pt(std::min(line.x1(), line.x2())), pt(std::min(line.y1(), line.y2())),
            pt(vertical ? 0.0 : std::abs(line.dx())), pt(vertical ? std::abs(line.dy()) : 0.0),
            vertical ? u"border-left-width"_s : u"border-top-width"_s, pt(shape.width));
    }
    for (const BoxShape &shape : page.boxes)
        out += u"<div style=\"left:%1;top:%2;width:%3;height:%4;border-width:%5\"></div>\n"_s.arg(
            pt(shape.rect.x()), pt(shape.rect.y()), pt(shape.rect.width()), pt(shape.rect.height()),
            pt(shape.width));
    return out + u"</div>\n"_s;
}

} // namespace

bool exportHtml(const ReportDocument &document, const QString &fileName, QString *error)
{
    OutputFile out(fileName);
    if (!out.open(error))
        return false;
    QIODevice &file = out.device();
    file.write(head(document).toUtf8());
    for (const ReportPage &page : document.pages)
        file.write(pageHtml(page).toUtf8());
    file.write("</body>\n</html>\n");
    return out.commit(error);
}
