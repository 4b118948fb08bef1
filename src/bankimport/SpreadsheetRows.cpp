#include "bankimport/SpreadsheetRows.h"

#include "data/Money.h"
#include "data/ZipPackage.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

std::nullopt_t unreadable(QString *error, const QString &why)
{
    *error = u"Il file XLSX non si legge: %1."_s.arg(why);
    return std::nullopt;
}

// A part of the package parsed, or nothing (with the reason in *why) when it is missing or bad.
bool parsePart(ZipReader &zip, const std::string &name, pugi::xml_document &document, QString *why)
{
    QByteArray bytes;
    const ZipReader::Read read = zip.read(name, &bytes);
    if (read != ZipReader::Read::Done) {
        *why = read == ZipReader::Read::TooLarge
                   ? u"la parte %1 è troppo grande"_s.arg(QString::fromStdString(name))
                   : u"manca la parte %1"_s.arg(QString::fromStdString(name));
        return false;
    }
    if (!document.load_buffer(bytes.constData(), size_t(bytes.size()))) {
        *why = u"la parte %1 non è XML valido"_s.arg(QString::fromStdString(name));
        return false;
    }
    return true;
}

QString textOf(const pugi::xml_node &holder)
{
    QString text;
    for (const pugi::xpath_node &t : holder.select_nodes(".//*[local-name()='t']"))
        text += QString::fromUtf8(t.node().text().get());
    return text;
}

QStringList sharedStrings(ZipReader &zip)
{
    pugi::xml_document document;
    QString why;
    QStringList strings;
    if (!parsePart(zip, "xl/sharedStrings.xml", document, &why))
        return strings;
    for (const pugi::xml_node &item : document.document_element().children("si"))
        strings << textOf(item);
    return strings;
}

// Whether a number format shows a date: the built-in date formats, or a code with day, month or
// year letters outside quotes and brackets.
bool isDateFormat(int id, const QString &code)
{
    if ((id >= 14 && id <= 22) || (id >= 45 && id <= 47))
        return true;
    QString bare = code;
    bare.remove(QRegularExpression(u"\"[^\"]*\"|\\[[^\\]]*\\]|\\\\."_s));
    return bare.contains(QRegularExpression(u"[dmyDMY]"_s)) && !bare.contains(u'0');
}

// For each cell style, whether it shows a date.
QList<bool> dateStyles(ZipReader &zip)
{
    pugi::xml_document document;
    QString why;
    QList<bool> dates;
    if (!parsePart(zip, "xl/styles.xml", document, &why))
        return dates;
    const pugi::xml_node sheet = document.document_element();
    QHash<int, QString> codes;
    for (const pugi::xml_node &format : sheet.child("numFmts").children("numFmt"))
        codes.insert(format.attribute("numFmtId").as_int(),
                     QString::fromUtf8(format.attribute("formatCode").value()));
    for (const pugi::xml_node &style : sheet.child("cellXfs").children("xf")) {
        const int id = style.attribute("numFmtId").as_int();
        dates << isDateFormat(id, codes.value(id));
    }
    return dates;
}

// The first sheet's part, through the workbook's relationships.
std::optional<std::string> firstSheetPart(ZipReader &zip, bool *dates1904, QString *why)
{
    pugi::xml_document workbook;
    pugi::xml_document relationships;
    if (!parsePart(zip, "xl/workbook.xml", workbook, why) ||
        !parsePart(zip, "xl/_rels/workbook.xml.rels", relationships, why))
        return std::nullopt;
    *dates1904 = workbook.document_element().child("workbookPr").attribute("date1904").as_bool();
    const pugi::xml_node sheet = workbook.document_element().child("sheets").child("sheet");
    const std::string id = relationshipId(sheet);
    for (const pugi::xml_node &relationship :
         relationships.document_element().children("Relationship"))
        if (relationship.attribute("Id").value() == id)
            return resolveTarget("xl/", relationship.attribute("Target").value());
    *why = u"la cartella di lavoro non ha fogli"_s;
    return std::nullopt;
}

// The column of a cell reference ("C12" is 3).
int columnOf(const char *reference)
{
    int column = 0;
    for (const char *c = reference; *c >= 'A' && *c <= 'Z'; ++c)
        column = column * 26 + (*c - 'A' + 1);
    return column;
}

// A stored number as the amount it means: the shortest decimal of the stored double, when it is
// whole cents.
QVariant amountOf(double number)
{
    const QString decimal = QString::number(number, 'g', 15);
    const std::optional<Money> amount = Money::parseWholeCents(decimal, QLocale::c());
    return amount ? QVariant::fromValue(*amount) : QVariant();
}

} // namespace

std::optional<QList<CsvRecord>> firstSheetRows(const QByteArray &file, QString *error)
{
    ZipReader zip(file);
    if (!zip.isOpen())
        return unreadable(error, zip.errorText());
    QString why;
    bool dates1904 = false;
    const std::optional<std::string> part = firstSheetPart(zip, &dates1904, &why);
    pugi::xml_document sheet;
    if (!part || !parsePart(zip, *part, sheet, &why))
        return unreadable(error, why);
    const QStringList strings = sharedStrings(zip);
    const QList<bool> dates = dateStyles(zip);
    const QDate epoch = dates1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    static const QLocale italian(QLocale::Italian, QLocale::Italy);
    QList<CsvRecord> records;
    for (const pugi::xml_node &row : sheet.document_element().child("sheetData").children("row")) {
        CsvRecord record;
        record.line = row.attribute("r").as_int(int(records.size()) + 1);
        for (const pugi::xml_node &cell : row.children("c")) {
            const int column = columnOf(cell.attribute("r").value());
            const int index = column > 0 ? column - 1 : int(record.fields.size());
            while (record.fields.size() <= index) {
                record.fields << QString();
                record.typed << QVariant();
            }
            const std::string_view type = cell.attribute("t").value();
            const QString value = QString::fromUtf8(cell.child("v").text().get());
            if (type == "s") {
                record.fields[index] = strings.value(value.toInt());
            } else if (type == "inlineStr") {
                record.fields[index] = textOf(cell.child("is"));
            } else if (type == "str" || type == "b" || type == "e") {
                record.fields[index] = value;
            } else if (!value.isEmpty()) {
                bool number = false;
                const double stored = value.toDouble(&number);
                const bool date = dates.value(cell.attribute("s").as_int()) && number;
                if (date) {
                    const QDate day = epoch.addDays(qint64(std::floor(stored)));
                    record.typed[index] = day;
                    record.fields[index] = day.toString(u"dd/MM/yyyy"_s);
                } else {
                    record.typed[index] = number ? amountOf(stored) : QVariant();
                    record.fields[index] =
                        number ? italian.toString(stored, 'g', 15).remove(italian.groupSeparator())
                               : value;
                }
            }
        }
        records << record;
    }
    return records;
}
