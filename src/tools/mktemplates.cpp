// Builds a spreadsheet template (.xltx) from its text source:
//   tovrin3-mktemplates SOURCE.txt OUT.xltx
//
// The source lists one statement line per text line, fields separated by "|":
//   sheet   | Name of the worksheet | Title printed on its first row
//   heading | Text                                a caption without amounts
//   line    | id | Text | 123456 + 123            the sum of the named account and ledger codes;
//                                                 "123456(+)" takes only its sub-accounts' debit
//                                                 balances and "123456(-)" only their credit
//                                                 ones, as a positive amount (each bank's
//                                                 overdraft among the debts, never netted)
//   figure  | id | Text                          a figure the program computes by that id
//                                                 (the cash-basis statement's), as {{C:id}}
//   total   | id | Text | id1 + id2 - id3         a formula on other lines (of any worksheet)
//   input   | id | Text                          an amount typed by the user, marked in yellow
//   note    | Text                                an explanatory row in italics
// Blank lines and lines starting with "#" are ignored. Each code of a "line" gets two placeholder
// cells ({{C…}} and {{P…}}) in hidden columns; the amount columns add them up, so every amount in
// the template is a formula. The output is written beside OUT first and moved into place only
// when complete.

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <xlsxwriter.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "tovrin3-mktemplates: %s\n", qPrintable(message));
    std::exit(1);
}

enum class Kind { Heading, Line, Total, Input, Note };

struct Row {
    Kind kind;
    QString id;
    QString text;
    QStringList terms; // codes of a line ("170010", "170010(+)"), or signed ids of a total
    int sourceLine;
};

struct Sheet {
    QString name;
    QString title;
    QList<Row> rows;
};

constexpr int FirstDataRow = 3; // after the title, a blank row and the column headers
constexpr lxw_col_t LabelColumn = 0, CurrentColumn = 1, PreviousColumn = 2;
constexpr lxw_col_t FirstHelperColumn = 4;

// "+A", "-B" for "A - B"; for codes every term is positive.
QStringList signedTerms(const QString &expression, int sourceLine)
{
    QStringList terms;
    QString sign = u"+"_s;
    for (const QString &token : expression.split(u' ', Qt::SkipEmptyParts)) {
        if (token == u"+"_s || token == u"-"_s) {
            sign = token;
            continue;
        }
        terms << sign + token;
        sign = u"+"_s;
    }
    if (terms.isEmpty())
        fail(u"line %1: no terms"_s.arg(sourceLine));
    return terms;
}

// The code of a line's term, without the part of the balance it takes.
QString codeOf(const QString &term)
{
    return term.endsWith(u"(+)"_s) || term.endsWith(u"(-)"_s) ? term.chopped(3) : term;
}

// The placeholder's code of a term: "170010(-)" asks for "170010-".
QString placeholderCodeOf(const QString &term)
{
    return codeOf(term) + (term == codeOf(term) ? QString() : QString(term.at(term.size() - 2)));
}

QList<Sheet> parse(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(u"cannot read "_s + path);
    QList<Sheet> sheets;
    int number = 0;
    for (const QString &raw : QString::fromUtf8(file.readAll()).split(u'\n')) {
        ++number;
        const QString text = raw.trimmed();
        if (text.isEmpty() || text.startsWith(u'#'))
            continue;
        QStringList fields = text.split(u'|');
        for (QString &field : fields)
            field = field.trimmed();
        const QString kind = fields.takeFirst();
        const auto need = [&](int count) {
            if (fields.size() != count)
                fail(u"line %1: %2 needs %3 fields"_s.arg(number).arg(kind).arg(count));
        };
        if (kind == u"sheet"_s) {
            need(2);
            sheets.append({fields[0], fields[1], {}});
            continue;
        }
        if (sheets.isEmpty())
            fail(u"line %1: no sheet yet"_s.arg(number));
        QList<Row> &rows = sheets.last().rows;
        if (kind == u"heading"_s || kind == u"note"_s) {
            need(1);
            rows.append(
                {kind == u"note"_s ? Kind::Note : Kind::Heading, {}, fields[0], {}, number});
        } else if (kind == u"input"_s) {
            need(2);
            rows.append({Kind::Input, fields[0], fields[1], {}, number});
        } else if (kind == u"figure"_s) {
            need(2);
            // A line whose one term is the figure's placeholder code.
            rows.append({Kind::Line, fields[0], fields[1], {u":"_s + fields[0]}, number});
        } else if (kind == u"line"_s || kind == u"total"_s) {
            need(3);
            QStringList terms = signedTerms(fields[2], number);
            if (kind == u"line"_s) {
                for (QString &term : terms) {
                    if (term.startsWith(u'-') ||
                        (codeOf(term).size() != 4 && codeOf(term).size() != 7))
                        fail(u"line %1: bad code %2"_s.arg(number).arg(term));
                    term.remove(0, 1);
                }
            }
            rows.append({kind == u"line"_s ? Kind::Line : Kind::Total, fields[0], fields[1], terms,
                         number});
        } else {
            fail(u"line %1: unknown kind %2"_s.arg(number).arg(kind));
        }
    }
    if (sheets.isEmpty())
        fail(u"no sheets in "_s + path);
    return sheets;
}

QString columnName(lxw_col_t column)
{
    QString name;
    for (int n = int(column) + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

QString cellName(lxw_row_t row, lxw_col_t column)
{
    return columnName(column) + QString::number(row + 1);
}

struct Place {
    int sheet;
    lxw_row_t row;
};

class Builder {
public:
    Builder(const QList<Sheet> &sheets, const QString &out) : m_sheets(sheets)
    {
        m_book = workbook_new(out.toUtf8().constData());
        if (!m_book)
            fail(u"cannot create "_s + out);
        m_title = format({.bold = true, .size = 13});
        m_header = format({.bold = true, .align = LXW_ALIGN_CENTER, .border = true});
        m_heading = format({.bold = true});
        m_label = format({.indent = 1});
        m_totalLabel = format({.bold = true});
        m_amount = format({.number = true});
        m_totalAmount = format({.bold = true, .border = true, .number = true});
        m_input = format({.number = true, .yellow = true});
        m_note = format({.italic = true, .size = 9});
        m_placeholder = format({.size = 8});
    }

    void build()
    {
        locateRows();
        for (int s = 0; s < m_sheets.size(); ++s)
            writeSheet(s);
    }

    void close()
    {
        if (workbook_close(m_book) != LXW_NO_ERROR)
            fail(u"cannot write the workbook"_s);
    }

private:
    struct Style {
        bool bold = false;
        bool italic = false;
        double size = 10;
        int indent = 0;
        uint8_t align = LXW_ALIGN_NONE;
        bool border = false;
        bool number = false;
        bool yellow = false;
    };

    lxw_format *format(const Style &style)
    {
        lxw_format *f = workbook_add_format(m_book);
        format_set_font_name(f, "Arial");
        format_set_font_size(f, style.size);
        if (style.bold)
            format_set_bold(f);
        if (style.italic)
            format_set_italic(f);
        if (style.indent)
            format_set_indent(f, uint8_t(style.indent));
        if (style.align != LXW_ALIGN_NONE)
            format_set_align(f, style.align);
        if (style.border)
            format_set_top(f, LXW_BORDER_THIN);
        if (style.number)
            format_set_num_format(f, "#,##0.00;-#,##0.00;\"-\"");
        if (style.yellow) {
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, 0xFFF2A8);
            format_set_border(f, LXW_BORDER_THIN);
        }
        return f;
    }

    void locateRows()
    {
        for (int s = 0; s < m_sheets.size(); ++s) {
            lxw_row_t row = FirstDataRow;
            for (const Row &r : m_sheets[s].rows) {
                if (!r.id.isEmpty()) {
                    if (m_places.contains(r.id))
                        fail(u"line %1: id %2 used twice"_s.arg(r.sourceLine).arg(r.id));
                    m_places.insert(r.id, {s, row});
                }
                ++row;
            }
        }
    }

    // A reference to the amount of a line, with its worksheet when it lies on another one.
    QString reference(const QString &id, int fromSheet, lxw_col_t column, int sourceLine) const
    {
        const auto place = m_places.constFind(id);
        if (place == m_places.cend())
            fail(u"line %1: unknown id %2"_s.arg(sourceLine).arg(id));
        const QString cell = cellName(place->row, column);
        if (place->sheet == fromSheet)
            return cell;
        return u"'"_s + m_sheets[place->sheet].name + u"'!"_s + cell;
    }

    void writeSheet(int s)
    {
        const Sheet &sheet = m_sheets[s];
        lxw_worksheet *ws = workbook_add_worksheet(m_book, sheet.name.toUtf8().constData());
        if (!ws)
            fail(u"bad worksheet name "_s + sheet.name);
        qsizetype widest = 1;
        for (const Row &r : sheet.rows)
            if (r.kind == Kind::Line)
                widest = std::max(widest, r.terms.size());
        const lxw_col_t firstPrevious = FirstHelperColumn + lxw_col_t(widest);

        worksheet_set_column(ws, LabelColumn, LabelColumn, 92, nullptr);
        worksheet_set_column(ws, CurrentColumn, PreviousColumn, 17, nullptr);
        lxw_row_col_options hidden = {};
        hidden.hidden = 1;
        worksheet_set_column_opt(ws, FirstHelperColumn, firstPrevious + lxw_col_t(widest) - 1, 12,
                                 nullptr, &hidden);
        worksheet_merge_range(ws, 0, LabelColumn, 0, PreviousColumn,
                              sheet.title.toUtf8().constData(), m_title);
        // Filled with the organisation's name and the two years' names.
        worksheet_write_string(ws, 1, LabelColumn, "{{ENTE}}", m_heading);
        worksheet_write_string(ws, 2, CurrentColumn, "Es. t", m_header);
        worksheet_write_string(ws, 2, PreviousColumn, "Es. t-1", m_header);
        worksheet_freeze_panes(ws, FirstDataRow, 0);
        worksheet_set_landscape(ws);
        worksheet_fit_to_pages(ws, 1, 0);

        lxw_row_t row = FirstDataRow;
        for (const Row &r : sheet.rows) {
            const QByteArray text = r.text.toUtf8();
            switch (r.kind) {
            case Kind::Heading:
                worksheet_write_string(ws, row, LabelColumn, text.constData(), m_heading);
                break;
            case Kind::Note:
                worksheet_merge_range(ws, row, LabelColumn, row, PreviousColumn, text.constData(),
                                      m_note);
                break;
            case Kind::Input:
                worksheet_write_string(ws, row, LabelColumn, text.constData(), m_label);
                worksheet_write_blank(ws, row, CurrentColumn, m_input);
                worksheet_write_blank(ws, row, PreviousColumn, m_input);
                break;
            case Kind::Line:
                worksheet_write_string(ws, row, LabelColumn, text.constData(), m_label);
                for (qsizetype i = 0; i < r.terms.size(); ++i) {
                    const QString code = placeholderCodeOf(r.terms[i]);
                    const QByteArray current = (u"{{C"_s + code + u"}}"_s).toUtf8();
                    const QByteArray previous = (u"{{P"_s + code + u"}}"_s).toUtf8();
                    worksheet_write_string(ws, row, FirstHelperColumn + lxw_col_t(i),
                                           current.constData(), m_placeholder);
                    worksheet_write_string(ws, row, firstPrevious + lxw_col_t(i),
                                           previous.constData(), m_placeholder);
                }
                writeSum(ws, row, CurrentColumn, FirstHelperColumn, r.terms.size());
                writeSum(ws, row, PreviousColumn, firstPrevious, r.terms.size());
                break;
            case Kind::Total:
                worksheet_write_string(ws, row, LabelColumn, text.constData(), m_totalLabel);
                for (const lxw_col_t column : {CurrentColumn, PreviousColumn}) {
                    QString formula = u"="_s;
                    for (const QString &term : r.terms) {
                        if (formula.size() > 1 || term.startsWith(u'-'))
                            formula += term.front();
                        formula += reference(term.mid(1), s, column, r.sourceLine);
                    }
                    worksheet_write_formula(ws, row, column, formula.toUtf8().constData(),
                                            m_totalAmount);
                }
                break;
            }
            ++row;
        }
    }

    void writeSum(lxw_worksheet *ws, lxw_row_t row, lxw_col_t column, lxw_col_t first,
                  qsizetype count)
    {
        const QString formula = count == 1
                                    ? u"="_s + cellName(row, first)
                                    : u"=SUM("_s + cellName(row, first) + u":"_s +
                                          cellName(row, first + lxw_col_t(count) - 1) + u")"_s;
        worksheet_write_formula(ws, row, column, formula.toUtf8().constData(), m_amount);
    }

    QList<Sheet> m_sheets;
    QHash<QString, Place> m_places;
    lxw_workbook *m_book = nullptr;
    lxw_format *m_title, *m_header, *m_heading, *m_label, *m_totalLabel, *m_amount, *m_totalAmount,
        *m_input, *m_note, *m_placeholder;
};

// The writer makes a workbook; a template differs only in the content type of its main part.
void markAsTemplate(const QString &path)
{
    int code = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), 0, &code);
    if (!zip)
        fail(u"cannot reopen "_s + path);
    const char *part = "[Content_Types].xml";
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(zip, part, 0, &stat) != 0)
        fail(u"no content types in "_s + path);
    QByteArray types(qsizetype(stat.size), '\0');
    zip_file_t *file = zip_fopen(zip, part, 0);
    if (!file || zip_fread(file, types.data(), stat.size) != zip_int64_t(stat.size))
        fail(u"cannot read the content types"_s);
    zip_fclose(file);
    types.replace("spreadsheetml.sheet.main+xml", "spreadsheetml.template.main+xml");
    zip_source_t *source = zip_source_buffer(zip, types.constData(), zip_uint64_t(types.size()), 0);
    if (!source ||
        zip_file_replace(zip, zip_uint64_t(zip_name_locate(zip, part, 0)), source, 0) != 0 ||
        zip_close(zip) != 0)
        fail(u"cannot write the content types"_s);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        fail(u"usage: tovrin3-mktemplates SOURCE.txt OUT.xltx"_s);
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const QString partial = out + u".part"_s;
    Builder builder(parse(source), partial);
    builder.build();
    builder.close();
    markAsTemplate(partial);
    QFile::remove(out);
    if (!QFile::rename(partial, out))
        fail(u"cannot move the template into place: "_s + out);
    return 0;
}
