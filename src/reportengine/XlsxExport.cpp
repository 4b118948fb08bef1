#include "data/OutputFile.h"
#include "reportengine/ReportExport.h"

#include <QDate>
#include <QFile>
#include <QHash>

#include <xlsxwriter.h>

using namespace Qt::StringLiterals;

namespace {

// What the spreadsheet writer's error says, for a user.
QString writerFailure(lxw_error code)
{
    switch (code) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return italianSystemError(u"out of memory"_s);
    case LXW_ERROR_CREATING_XLSX_FILE:
        return u"Impossibile creare il file: controllare i permessi della cartella."_s;
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return u"Errore di scrittura: il disco potrebbe essere pieno."_s;
    default:
        return u"Errore del generatore di fogli di calcolo (%1)."_s.arg(
            QString::fromUtf8(lxw_strerror(code)));
    }
}

// Points of a column per unit of the sheet's column width (one digit of the default font).
constexpr double PointsPerCharacter = 5.6;

QString sheetName(const QString &title)
{
    QString name = title.trimmed();
    for (const QChar forbidden : u"[]:*?/\\"_s)
        name.remove(forbidden);
    return name.isEmpty() ? u"Report"_s : name.left(31);
}

double spreadsheetDate(qint64 julianDay)
{
    return double(julianDay - QDate(1899, 12, 30).toJulianDay());
}

bool isDatePattern(const QString &pattern)
{
    for (const QChar c : pattern)
        if (QStringView(u"dDmMyY").contains(c))
            return true;
    return false;
}

// Cell formats by pattern and kind, made once per workbook.
class Formats {
public:
    explicit Formats(lxw_workbook *workbook) : m_workbook(workbook) {}

    lxw_format *of(const Cell &cell, const QStringList &patterns)
    {
        QString pattern = cell.pattern >= 0 ? patterns.value(cell.pattern) : QString();
        if (cell.kind == Cell::Kind::Date && (pattern.isEmpty() || !isDatePattern(pattern)))
            pattern = u"dd/mm/yyyy"_s;
        if (pattern.isEmpty())
            return nullptr;
        const QString key = QString::number(int(cell.kind)) + u':' + pattern;
        if (const auto found = m_formats.constFind(key); found != m_formats.constEnd())
            return *found;
        lxw_format *format = workbook_add_format(m_workbook);
        const QString excel = cell.kind == Cell::Kind::Date ? pattern.toLower().replace(u'n', u'm')
                                                            : spreadsheetNumberFormat(pattern);
        format_set_num_format(format, excel.toUtf8().constData());
        m_formats.insert(key, format);
        return format;
    }

private:
    lxw_workbook *m_workbook;
    QHash<QString, lxw_format *> m_formats;
};

bool writeSheet(const ReportDocument &document, lxw_workbook *workbook, QString *error)
{
    lxw_worksheet *sheet =
        workbook_add_worksheet(workbook, sheetName(document.title).toUtf8().constData());
    if (!sheet) {
        *error = u"Impossibile creare il foglio di lavoro."_s;
        return false;
    }
    for (size_t column = 0; column < document.sheetColumnWidths.size(); ++column)
        worksheet_set_column(sheet, lxw_col_t(column), lxw_col_t(column),
                             document.sheetColumnWidths[column] / PointsPerCharacter, nullptr);
    Formats formats(workbook);
    lxw_row_t sheetRow = 0;
    if (!document.sheetCaptions.isEmpty()) {
        lxw_format *bold = workbook_add_format(workbook);
        format_set_bold(bold);
        for (qsizetype column = 0; column < document.sheetCaptions.size(); ++column)
            worksheet_write_string(sheet, sheetRow, lxw_col_t(column),
                                   document.sheetCaptions[column].toUtf8().constData(), bold);
        ++sheetRow;
    }
    for (const ReportPage &page : document.pages) {
        for (const SheetRow &row : page.rows) {
            for (const Cell &cell : row.cells) {
                lxw_format *format = formats.of(cell, document.patterns);
                lxw_error result = LXW_NO_ERROR;
                switch (cell.kind) {
                case Cell::Kind::Money:
                    // The sheet keeps numbers in binary floating point; two decimals survive.
                    result = worksheet_write_number(sheet, sheetRow, cell.column,
                                                    double(cell.number) / 10000.0, format);
                    break;
                case Cell::Kind::Integer:
                    result = worksheet_write_number(sheet, sheetRow, cell.column,
                                                    double(cell.number), format);
                    break;
                case Cell::Kind::Date:
                    result = worksheet_write_number(sheet, sheetRow, cell.column,
                                                    spreadsheetDate(cell.number), format);
                    break;
                case Cell::Kind::Text:
                    if (!cell.text.isEmpty())
                        result = worksheet_write_string(sheet, sheetRow, cell.column,
                                                        cell.text.toUtf8().constData(), nullptr);
                    break;
                }
                if (result != LXW_NO_ERROR) {
                    *error = writerFailure(result);
                    return false;
                }
            }
            ++sheetRow;
        }
    }
    return true;
}

} // namespace

QString spreadsheetNumberFormat(const QString &pattern)
{
    QString out;
    QString integers; // the integer digits of the section being read
    bool quoted = false;
    bool decimals = false;
    // A spreadsheet shows an integer part only for a "0" in it: 0.35 must read "0,35", not ",35".
    const auto flushIntegers = [&](bool beforePoint) {
        if (integers.contains(u'0') || (integers.isEmpty() && !beforePoint))
            out += integers;
        else
            out += integers.contains(u',') ? u"#,##0"_s : u"0"_s;
        integers.clear();
    };
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (!quoted && !decimals && QStringView(u"#0,").contains(c)) {
            integers += c;
            continue;
        }
        if (!quoted && c == u'.' && !decimals) {
            flushIntegers(true);
            decimals = true;
            out += c;
            continue;
        }
        flushIntegers(false);
        if (c == u';')
            decimals = false;
        if (c == u'"') {
            quoted = !quoted;
            out += c;
        } else if (quoted || QStringView(u"#0,.;").contains(c)) {
            out += c;
        } else if (c == u'\\' && i + 1 < pattern.size()) {
            out += c;
            out += pattern[++i];
        } else {
            out += u'\\';
            out += c;
        }
    }
    flushIntegers(false);
    return out;
}

bool exportXlsx(const ReportDocument &document, const QString &fileName, QString *error)
{
    OutputFile out(fileName);
    if (!out.open(error))
        return false;
    out.closeDevice();
    const QByteArray partialPath = QFile::encodeName(out.temporaryPath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook *workbook = workbook_new_opt(partialPath.constData(), &options);
    if (!workbook) {
        *error = u"Impossibile creare il file %1."_s.arg(fileName);
        return false;
    }
    QString failure;
    const bool written = writeSheet(document, workbook, &failure);
    const lxw_error closed = workbook_close(workbook);
    if (!written || closed != LXW_NO_ERROR) {
        *error = u"Impossibile scrivere il file %1. %2"_s.arg(
            fileName, written ? writerFailure(closed) : failure);
        return false;
    }
    return out.commit(error, zipIsComplete);
}
