#include "data/OutputFile.h"
#include "reportengine/ReportExport.h"
#include "reportengine/TextMeasure.h"

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

QByteArray twips(double points)
{
    return QByteArray::number(qRound(points * 20.0));
}

// The text with RTF's special characters escaped and every character beyond ASCII as \uN.
QByteArray escaped(const QString &text)
{
    QByteArray out;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code == u'\\' || code == u'{' || code == u'}') {
            out += '\\';
            out += char(code);
        } else if (code >= 0x20 && code < 0x80) {
            out += char(code);
        } else if (code >= 0x80) {
            out += "\\u" + QByteArray::number(qint16(code)) + '?';
        }
    }
    return out;
}

QByteArray head(const ReportDocument &document)
{
    const QSizeF size = document.page.sizePoints();
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0\n{\\fonttbl";
    for (size_t i = 0; i < document.fonts.size(); ++i) {
        const QString family =
            document.fonts[i].family.isEmpty() ? defaultReportFamily() : document.fonts[i].family;
        out += "{\\f" + QByteArray::number(qsizetype(i)) + "\\fswiss " + escaped(family) + ";}";
    }
    out += "}\n{\\info{\\title " + escaped(document.title) + "}}\n";
    out += "\\paperw" + twips(size.width()) + "\\paperh" + twips(size.height()) +
           "\\margl0\\margr0\\margt0\\margb0";
    if (document.page.orientation == QPageLayout::Landscape)
        out += "\\landscape";
    return out + "\n";
}

// A frame placed on the page at the rectangle; its paragraph carries the text or the borders.
QByteArray frame(const QRectF &rect)
{
    return "{\\pard\\pvpg\\phpg\\posx" + twips(rect.x()) + "\\posy" + twips(rect.y()) + "\\absw" +
           twips(std::max(rect.width(), 1.0)) + "\\absh-" + twips(std::max(rect.height(), 1.0));
}

QByteArray border(const char *side, float width)
{
    return QByteArray("\\brdr") + side + "\\brdrs\\brdrw" + QByteArray::number(qRound(width * 20));
}

QByteArray pageRtf(const ReportDocument &document, const ReportPage &page)
{
    QByteArray out;
    for (const TextRun &run : page.texts) {
        const ReportFont &font = document.fonts.at(run.font);
        out += frame(run.box);
        out += run.alignment & Qt::AlignRight     ? "\\qr"
               : run.alignment & Qt::AlignHCenter ? "\\qc"
                                                  : "\\ql";
        out += "\\f" + QByteArray::number(run.font) + "\\fs" +
               QByteArray::number(qRound(font.pointSize * 2));
        if (font.bold)
            out += "\\b";
        if (font.italic)
            out += "\\i";
        out += ' ' + escaped(page.texts.text(run).toString()) + "\\par}\n";
    }
    for (const LineShape &shape : page.lines) {
        const QLineF &line = shape.line;
        const bool vertical = qFuzzyCompare(line.x1(), line.x2());
        const QRectF rect(std::min(line.x1(), line.x2()), std::min(line.y1(), line.y2()),
                          vertical ? 1.0 : std::abs(line.dx()),
                          vertical ? std::abs(line.dy()) : 1.0);
        out += frame(rect) + border(vertical ? "l" : "t", shape.width) + "\\fs2 \\par}\n";
    }
    for (const BoxShape &shape : page.boxes)
        out += frame(shape.rect) + "\\box\\brdrs\\brdrw" +
               QByteArray::number(qRound(shape.width * 20)) + "\\fs2 \\par}\n";
    return out;
}

} // namespace

bool exportRtf(const ReportDocument &document, const QString &fileName, QString *error)
{
    OutputFile out(fileName);
    if (!out.open(error))
        return false;
    QIODevice &file = out.device();
    file.write(head(document));
    for (int i = 0; i < document.pageCount(); ++i) {
        if (i > 0)
            file.write("{\\pard\\fs2\\page\\par}\n");
        file.write(pageRtf(document, document.pages[size_t(i)]));
    }
    file.write("}\n");
    return out.commit(error);
}
