#pragma once

#include "reportengine/ReportDefinition.h"

#include <QLineF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <vector>

// A text drawn in its box, one line, aligned inside it.
struct TextRun {
    QString text;
    QRectF box;
    quint16 font = 0;
    quint16 alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

struct LineShape {
    QLineF line;
    float width = 0.5f;
};

struct BoxShape {
    QRectF rect;
    float width = 0.5f;
};

// One value of a tabular line, typed for spreadsheets.
struct Cell {
    enum class Kind : quint8 { Text, Money, Integer, Date };
    Kind kind = Kind::Text;
    quint16 column = 0;
    qint32 pattern = -1; // index in ReportDocument::patterns, -1 for none
    qint64 number = 0;   // money in ten-thousandths, a whole number, or a date's julian day
    QString text;        // texts only
};

// The cells of one detail line (or of another band that the report makes tabular).
struct SheetRow {
    std::vector<Cell> cells;
};

// The display list of one laid-out page, in points from the page's top-left corner.
struct ReportPage {
    std::vector<TextRun> texts;
    std::vector<LineShape> lines;
    std::vector<BoxShape> boxes;
    std::vector<SheetRow> rows;
};

struct TocEntry {
    QString text;
    int level = 0;
    int page = 0; // index of the page
    double y = 0.0;
};

// The pages of a laid-out report: what every renderer draws, without reading any data.
struct ReportDocument {
    QString title;
    PageSetup page;
    std::vector<ReportFont> fonts;
    QStringList patterns;
    QStringList sheetCaptions;             // the spreadsheet's caption row, by sheet column
    std::vector<double> sheetColumnWidths; // points, by sheet column
    std::vector<ReportPage> pages;
    std::vector<TocEntry> toc;

    int pageCount() const { return int(pages.size()); }
    // The page's display list as text, one shape a line, for golden tests.
    QString toText(int pageIndex) const;
    // The texts of the page line by line (runs at one height joined by " | ").
    QStringList textLines(int pageIndex) const;
};
