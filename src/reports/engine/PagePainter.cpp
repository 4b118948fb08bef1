#include "reports/engine/PagePainter.h"

#include "reports/engine/TextMeasure.h"

#include <QPageLayout>
#include <QPagedPaintDevice>
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

    // A font's size is resolved against the device before the painter's scale applies.
    std::vector<QFont> fonts;
    for (const ReportFont &font : document.fonts) {
        QFont qt = qtFont(font);
        qt.setPointSizeF(font.pointSize / scale);
        fonts.push_back(qt);
    }
    painter.setPen(QPen(Qt::black, 0.5));
    int currentFont = -1;
    for (const TextRun &run : page.texts) {
        if (run.font != currentFont && run.font < fonts.size()) {
            currentFont = run.font;
            painter.setFont(fonts[run.font]);
        }
        painter.drawText(run.box, int(run.alignment) | Qt::TextSingleLine | Qt::TextDontClip,
                         run.text);
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

bool paintReport(QPagedPaintDevice *device, const ReportDocument &document)
{
    device->setPageLayout(QPageLayout(QPageSize(document.page.size), document.page.orientation,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    QPainter painter;
    if (!painter.begin(device))
        return false;
    for (int i = 0; i < document.pageCount(); ++i) {
        if (i > 0)
            device->newPage();
        paintReportPage(painter, document, i);
    }
    return painter.end();
}
