#pragma once

#include "dashboard/DashboardFigures.h"

#include <QRectF>
#include <QSizeF>

#include <functional>
#include <optional>

class QChart;
class QPainter;

// The dashboard's charts, drawn the same on screen, on paper and in files: colours from a
// palette readable by colour-blind users and in black and white (blue and orange, with dashes
// for the year before), Italian month names and amounts.

// Cash and bank day by day; the year before as a lighter dashed line.
QChart *cashChart(const DashboardFigures &figures);
// Revenues and costs month by month in paired bars, the running result as a line.
QChart *monthsChart(const DashboardFigures &figures);
// The largest items as horizontal bars with their amounts.
QChart *itemsChart(const QList<DashboardItem> &items, const QString &title, bool costs);

// The key figures as lines of text: "Cassa e banca al 31/03/2026: 1.234,56 (un anno prima
// 1.000,00)".
QStringList keyFigureLines(const DashboardFigures &figures);

// The whole dashboard on one page: the organisation and the date at the top, the key figures,
// the four charts.
void paintDashboardPage(QPainter &painter, const QRectF &page, const DashboardFigures &figures,
                        const QString &organisation);

// The files a chart or the page can be written to: text stays text in PDF and SVG; PNG is drawn
// at 150 dpi.
enum class PictureFormat { Pdf, Png, Svg };
std::optional<PictureFormat> pictureFormatOf(const QString &path);

using PagePainting = std::function<void(QPainter &, const QRectF &)>;
// The bytes of a file of the size, drawn by paint into the rectangle it is given.
QByteArray pictureBytes(PictureFormat format, const QSizeF &millimetres, const PagePainting &paint);

// A4 landscape, in millimetres.
inline const QSizeF A4Landscape(297, 210);
