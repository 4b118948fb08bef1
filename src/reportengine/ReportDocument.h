#pragma once

#include "reportengine/ReportDefinition.h"

#include <QLineF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <vector>

// A text drawn in its box, one line, aligned inside it. Its characters are kept by the
// TextRuns that hold it.
struct TextRun {
    QRectF box;
    quint32 start = 0;
    quint32 length = 0;
    quint16 font = 0;
    quint16 alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

// The texts of a page, or of a band being placed, their characters one after another in one
// string: a year's journal book shows a million texts, and a string each would take as much
// memory again.
class TextRuns {
public:
    void add(QStringView text, const QRectF &box, quint16 font, quint16 alignment);
    // Moves the runs of other to the end of these, their boxes moved by (dx, dy).
    void take(TextRuns &&other, double dx, double dy);
    // Gives the run at index its text after the fact (the page count, once all pages exist).
    void setText(size_t index, QStringView text);
    void reserve(size_t runs, qsizetype characters)
    {
        m_runs.reserve(runs);
        m_characters.reserve(characters);
    }
    void shrinkToFit();

    QStringView text(const TextRun &run) const
    {
        return QStringView(m_characters).mid(run.start, run.length);
    }
    size_t size() const { return m_runs.size(); }
    bool empty() const { return m_runs.empty(); }
    const TextRun &operator[](size_t index) const { return m_runs[index]; }
    std::vector<TextRun>::const_iterator begin() const { return m_runs.begin(); }
    std::vector<TextRun>::const_iterator end() const { return m_runs.end(); }

private:
    QString m_characters;
    std::vector<TextRun> m_runs;
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
    TextRuns texts;
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
