#include "reportengine/PagePainter.h"

#include "reportengine/TextMeasure.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPen>

void paintReportPage(QPainter &painter, const ReportDocument &document, int pageIndex)
{
    const ReportPage &page = document.pages.at(size_t(pageIndex));
    const double scale = painter.device()->logicalDpiY() / 72.0;
    painter.save();
    painter.scale(scale, scale);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);

    // A font's size is resolved against the device before the painter's scale applies; so
    // scaled, the metrics come out in points.
    struct PaintFont {
        QFont font;
        QFontMetricsF metrics;
    };
    std::vector<PaintFont> fonts;
    for (const ReportFont &font : document.fonts) {
        QFont qt = qtFont(font);
        qt.setPointSizeF(font.pointSize / scale);
        fonts.push_back({qt, QFontMetricsF(qt, painter.device())});
    }
    painter.setPen(QPen(Qt::black, 0.5));
    int currentFont = -1;
    for (const TextRun &run : page.texts) {
        if (run.font >= fonts.size())
            continue;
        // The page outlives the drawing: its characters are not copied.
        const QStringView characters = page.texts.text(run);
        const QString text = QString::fromRawData(characters.data(), characters.size());
        if (run.font != currentFont) {
            currentFont = run.font;
            painter.setFont(fonts[run.font].font);
        }
        // Drawing at a point skips the line layout of rectangle drawing: large books print
        // much faster.
        const QFontMetricsF &metrics = fonts[run.font].metrics;
        double x = run.box.left();
        if (run.alignment & (Qt::AlignRight | Qt::AlignHCenter)) {
            const double free = run.box.width() - metrics.horizontalAdvance(text);
            x += run.alignment & Qt::AlignRight ? free : free / 2.0;
        }
        const double y =
            run.box.top() + (run.box.height() - metrics.height()) / 2.0 + metrics.ascent();
        painter.drawText(QPointF(x, y), text);
    }
    for (const LineShape &shape : page.lines) {
        painter.setPen(QPen(Qt::black, shape.width));
        painter.drawLine(shape.line);
    }
    for (const BoxShape &shape : page.boxes) {
        painter.setPen(QPen(Qt::black, shape.width));
        painter.drawRect(shape.rect);
    }
    painter.restore();
}
