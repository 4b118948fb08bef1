#include "statements/WorkbookFiller.h"

#include "data/OutputFile.h"
#include "data/ZipPackage.h"
#include "statements/BalanceTables.h"
#include "statements/Placeholders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pugixml.hpp>
#include <zip.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <new>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr char ContentTypesPart[] = "[Content_Types].xml";
constexpr char WorkbookRelsPart[] = "xl/_rels/workbook.xml.rels";
constexpr char WorksheetRelType[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet";
constexpr char SharedStringsRelType[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";
constexpr char OfficeDocumentRelType[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
constexpr char TemplateContentType[] =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.template.main+xml";
constexpr char WorkbookContentType[] =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml";

// Whitespace-only text is kept (a cell may hold a single space), and the document is written
// back without reformatting.
constexpr unsigned ParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration;
constexpr unsigned WriteOptions = pugi::format_raw | pugi::format_no_declaration;

QString fromUtf8(const char *text)
{
    return QString::fromUtf8(text);
}

QString textOf(const pugi::xml_node &stringItem)
{
    // A plain <t>, or the runs of rich text, each with its own <t>; phonetic runs are not text.
    QString text;
    for (const pugi::xml_node &child : stringItem.children()) {
        if (std::string_view(child.name()) == "t")
            text += fromUtf8(child.child_value());
        else if (std::string_view(child.name()) == "r")
            text += fromUtf8(child.child("t").child_value());
    }
    return text;
}

// A money amount as the number a cell stores: "-1234.5".
std::string numberText(Money amount)
{
    const qint64 units = amount.units();
    const quint64 magnitude = units < 0 ? quint64(-(units + 1)) + 1 : quint64(units);
    std::string text = std::to_string(magnitude / Money::UnitsPerCurrency);
    if (const quint64 fraction = magnitude % Money::UnitsPerCurrency) {
        std::string digits = std::to_string(fraction + Money::UnitsPerCurrency).substr(1);
        digits.erase(digits.find_last_not_of('0') + 1);
        text += '.' + digits;
    }
    return units < 0 ? '-' + text : text;
}

struct CellPosition {
    int row = 0;
    int column = 0;
};

// "AB12" as row 12, column 28; nothing valid gives row or column 0.
CellPosition parseReference(std::string_view reference)
{
    CellPosition position;
    size_t i = 0;
    for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z'; ++i)
        position.column = position.column * 26 + (reference[i] - 'A' + 1);
    for (; i < reference.size() && reference[i] >= '0' && reference[i] <= '9'; ++i)
        position.row = position.row * 10 + (reference[i] - '0');
    return position;
}

QByteArray serialized(const pugi::xml_document &document)
{
    struct Writer : pugi::xml_writer {
        QByteArray bytes;
        void write(const void *data, size_t size) override
        {
            bytes.append(static_cast<const char *>(data), qsizetype(size));
        }
    } writer;
    document.save(writer, "", WriteOptions);
    return writer.bytes;
}

bool hasContent(const pugi::xml_node &cell)
{
    return cell.child("f") || cell.child("v") || cell.child("is");
}

} // namespace

struct WorkbookFiller::Workbook {
    struct Sheet {
        QString name;
        std::string part;
    };

    QString templatePath;
    std::string workbookPart;
    std::string sharedStringsPart;
    std::vector<Sheet> sheets;
    // Parts edited by the fill, written over the template's own when saving.
    std::map<std::string, QByteArray> editedParts;
    StatementHeading heading;
    int filled = 0;
    bool processed = false;
    bool asksForCashFigures = false;

    bool loadPart(ZipReader &zip, const std::string &part, pugi::xml_document *document,
                  QString *error) const;
    void fillSheet(pugi::xml_document &sheet, const std::vector<QString> &sharedStrings,
                   const BalanceTables &tables, const Tick &tick);
    QString cellText(const pugi::xml_node &cell, const std::vector<QString> &sharedStrings) const;
    // The heading's text for a cell of the template's heading; empty for any other cell.
    QString headingText(const QString &templateText) const;
};

QString WorkbookFiller::Workbook::headingText(const QString &templateText) const
{
    if (templateText == u"{{ENTE}}"_s)
        return heading.organisation.isEmpty() ? u" "_s : heading.organisation;
    if (templateText == u"Es. t"_s)
        return heading.current;
    if (templateText == u"Es. t-1"_s)
        return heading.previous;
    return {};
}

bool WorkbookFiller::Workbook::loadPart(ZipReader &zip, const std::string &part,
                                        pugi::xml_document *document, QString *error) const
{
    QByteArray bytes;
    switch (zip.read(part, &bytes)) {
    case ZipReader::Read::Done:
        break;
    case ZipReader::Read::Missing:
        *error = u"Il modello %1 non è una cartella di lavoro valida: manca la parte %2."_s.arg(
            QDir::toNativeSeparators(templatePath), QString::fromStdString(part));
        return false;
    case ZipReader::Read::TooLarge:
        *error = tooLargeMessage(templatePath);
        return false;
    }
    const pugi::xml_parse_result result =
        document->load_buffer(bytes.constData(), size_t(bytes.size()), ParseOptions);
    if (result.status == pugi::status_out_of_memory) {
        *error = tooLargeMessage(templatePath);
        return false;
    }
    if (!result) {
        *error = u"La parte %1 del modello %2 è danneggiata: il testo XML non è valido "
                 u"(posizione %3). Usare un modello salvato dal foglio di calcolo."_s
                     .arg(QString::fromStdString(part), QDir::toNativeSeparators(templatePath))
                     .arg(result.offset);
        return false;
    }
    return true;
}

QString WorkbookFiller::Workbook::cellText(const pugi::xml_node &cell,
                                           const std::vector<QString> &sharedStrings) const
{
    const std::string_view type = cell.attribute("t").value();
    if (type == "s") {
        const size_t index = cell.child("v").text().as_ullong(sharedStrings.size());
        return index < sharedStrings.size() ? sharedStrings[index] : QString();
    }
    if (type == "inlineStr")
        return textOf(cell.child("is"));
    if (type == "str")
        return fromUtf8(cell.child_value("v"));
    return {};
}

void WorkbookFiller::Workbook::fillSheet(pugi::xml_document &sheet,
                                         const std::vector<QString> &sharedStrings,
                                         const BalanceTables &tables, const Tick &tick)
{
    const pugi::xml_node sheetData = sheet.child("worksheet").child("sheetData");

    // Cells without a reference follow the one before them, as the file format allows.
    struct Cell {
        pugi::xml_node node;
        CellPosition position;
    };
    std::vector<Cell> cells;
    CellPosition last;
    int rowNumber = 0;
    for (pugi::xml_node row : sheetData.children("row")) {
        rowNumber = row.attribute("r").as_int(rowNumber + 1);
        int column = 0;
        for (pugi::xml_node cell : row.children("c")) {
            CellPosition position = parseReference(cell.attribute("r").value());
            position.row = rowNumber;
            if (position.column == 0)
                position.column = column + 1;
            column = position.column;
            if (!hasContent(cell))
                continue;
            cells.push_back({cell, position});
            last.row = std::max(last.row, position.row);
            last.column = std::max(last.column, position.column);
        }
    }

    const qint64 rectangle = std::max<qint64>(1, qint64(last.row) * last.column);
    qint64 ticksRaised = 0;
    const auto tickUpTo = [&](qint64 scanned) {
        for (; ticksRaised < scanned / CellsPerTick; ++ticksRaised)
            if (tick)
                tick();
    };
    for (Cell &cell : cells) {
        tickUpTo(qint64(cell.position.row - 1) * last.column + cell.position.column);
        if (cell.node.child("f")) {
            // Cached results would show stale figures until recalculated.
            cell.node.remove_child("v");
            cell.node.remove_attribute("t");
            continue;
        }
        const QString text = cellText(cell.node, sharedStrings);
        if (const QString heading = headingText(text); !heading.isEmpty()) {
            cell.node.remove_child("v");
            cell.node.remove_child("is");
            cell.node.attribute("t") ? cell.node.attribute("t").set_value("inlineStr")
                                     : cell.node.append_attribute("t").set_value("inlineStr");
            pugi::xml_node inlineText = cell.node.append_child("is").append_child("t");
            inlineText.append_attribute("xml:space").set_value("preserve");
            inlineText.text().set(heading.toUtf8().constData());
            continue;
        }
        const auto placeholder = parsePlaceholder(text);
        if (!placeholder)
            continue;
        cell.node.remove_attribute("t");
        cell.node.remove_child("is");
        cell.node.remove_child("v");
        cell.node.prepend_child("v").text().set(numberText(tables.value(*placeholder)).c_str());
        ++filled;
    }
    tickUpTo(rectangle);
}

WorkbookFiller::WorkbookFiller() = default;
WorkbookFiller::~WorkbookFiller() = default;

bool WorkbookFiller::loadTemplate(const QString &path, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    return withinMemory(path, error, [&] { return load(path, error); });
}

bool WorkbookFiller::load(const QString &path, QString *error)
{
    m_workbook.reset();
    if (!QFileInfo(path).isFile()) {
        *error = u"Il modello %1 non esiste."_s.arg(QDir::toNativeSeparators(path));
        return false;
    }
    ZipReader zip(path);
    if (!zip.isOpen()) {
        *error = u"Impossibile aprire il modello %1: %2."_s.arg(QDir::toNativeSeparators(path),
                                                                zip.errorText());
        return false;
    }
    auto workbook = std::make_unique<Workbook>();
    workbook->templatePath = path;

    pugi::xml_document rootRels;
    if (!workbook->loadPart(zip, "_rels/.rels", &rootRels, error))
        return false;
    for (const pugi::xml_node &rel : rootRels.child("Relationships").children("Relationship"))
        if (std::string_view(rel.attribute("Type").value()) == OfficeDocumentRelType)
            workbook->workbookPart = resolveTarget({}, rel.attribute("Target").value());
    if (workbook->workbookPart.empty())
        workbook->workbookPart = "xl/workbook.xml";

    pugi::xml_document book, rels;
    if (!workbook->loadPart(zip, workbook->workbookPart, &book, error) ||
        !workbook->loadPart(zip, WorkbookRelsPart, &rels, error))
        return false;
    const std::string base = folderOf(workbook->workbookPart);
    std::map<std::string, std::string> worksheetParts;
    for (const pugi::xml_node &rel : rels.child("Relationships").children("Relationship")) {
        const std::string_view type = rel.attribute("Type").value();
        const std::string target = resolveTarget(base, rel.attribute("Target").value());
        if (type == WorksheetRelType)
            worksheetParts[rel.attribute("Id").value()] = target;
        else if (type == SharedStringsRelType)
            workbook->sharedStringsPart = target;
    }
    for (const pugi::xml_node &sheet : book.child("workbook").child("sheets").children("sheet")) {
        const auto part = worksheetParts.find(relationshipId(sheet));
        if (part != worksheetParts.end())
            workbook->sheets.push_back({fromUtf8(sheet.attribute("name").value()), part->second});
    }
    if (workbook->sheets.empty()) {
        *error =
            u"Il modello %1 non contiene fogli di lavoro."_s.arg(QDir::toNativeSeparators(path));
        return false;
    }
    // The cash-basis statement is computed only for a template that asks for its figures.
    std::vector<std::string> textParts{workbook->sharedStringsPart};
    for (const Workbook::Sheet &sheet : workbook->sheets)
        textParts.push_back(sheet.part);
    for (const std::string &part : textParts) {
        QByteArray bytes;
        if (!part.empty() && zip.read(part, &bytes) == ZipReader::Read::Done &&
            (bytes.contains("{{C:") || bytes.contains("{{P:")))
            workbook->asksForCashFigures = true;
    }
    m_workbook = std::move(workbook);
    return true;
}

bool WorkbookFiller::fillPlaceholders(const BalanceTables &tables, const Tick &tick, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (!m_workbook) {
        *error = u"Nessun modello caricato."_s;
        return false;
    }
    return withinMemory(m_workbook->templatePath, error, [&] { return fill(tables, tick, error); });
}

bool WorkbookFiller::fill(const BalanceTables &tables, const Tick &tick, QString *error)
{
    Workbook &workbook = *m_workbook;
    workbook.processed = false;
    workbook.editedParts.clear();
    workbook.filled = 0;
    ZipReader zip(workbook.templatePath);
    if (!zip.isOpen()) {
        *error = u"Impossibile aprire il modello %1: %2."_s.arg(
            QDir::toNativeSeparators(workbook.templatePath), zip.errorText());
        return false;
    }

    std::vector<QString> sharedStrings;
    if (!workbook.sharedStringsPart.empty()) {
        pugi::xml_document strings;
        if (!workbook.loadPart(zip, workbook.sharedStringsPart, &strings, error))
            return false;
        for (const pugi::xml_node &item : strings.child("sst").children("si"))
            sharedStrings.push_back(textOf(item));
    }

    for (const Workbook::Sheet &sheet : workbook.sheets) {
        pugi::xml_document document;
        if (!workbook.loadPart(zip, sheet.part, &document, error))
            return false;
        if (!document.child("worksheet").child("sheetData")) {
            *error =
                u"Il foglio \"%1\" del modello è danneggiato: mancano i dati delle celle."_s.arg(
                    sheet.name);
            return false;
        }
        workbook.fillSheet(document, sharedStrings, tables, tick);
        workbook.editedParts[sheet.part] = serialized(document);
    }

    pugi::xml_document book;
    if (!workbook.loadPart(zip, workbook.workbookPart, &book, error))
        return false;
    pugi::xml_node root = book.child("workbook");
    pugi::xml_node calc = root.child("calcPr");
    if (!calc) {
        // calcPr follows these elements in the workbook's fixed order of children.
        pugi::xml_node before;
        for (const char *name : {"sheets", "functionGroups", "externalReferences", "definedNames"})
            if (root.child(name))
                before = root.child(name);
        calc = before ? root.insert_child_after("calcPr", before) : root.append_child("calcPr");
    }
    if (!calc.attribute("fullCalcOnLoad"))
        calc.append_attribute("fullCalcOnLoad");
    calc.attribute("fullCalcOnLoad").set_value("1");

    pugi::xml_document types;
    if (!workbook.loadPart(zip, ContentTypesPart, &types, error))
        return false;
    for (pugi::xml_node override : types.child("Types").children("Override")) {
        pugi::xml_attribute type = override.attribute("ContentType");
        if (std::string_view(type.value()) == TemplateContentType)
            type.set_value(WorkbookContentType);
    }

    workbook.editedParts[workbook.workbookPart] = serialized(book);
    workbook.editedParts[ContentTypesPart] = serialized(types);
    workbook.processed = true;
    return true;
}

void WorkbookFiller::setHeading(const StatementHeading &heading)
{
    if (m_workbook)
        m_workbook->heading = heading;
}

bool WorkbookFiller::asksForCashFigures() const
{
    return m_workbook && m_workbook->asksForCashFigures;
}

int WorkbookFiller::filledCount() const
{
    return m_workbook ? m_workbook->filled : 0;
}

bool WorkbookFiller::saveFile(const QString &path, QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (!m_workbook || !m_workbook->processed) {
        *error = u"Il modello non è stato compilato: nessun file salvato."_s;
        return false;
    }
    return withinMemory(m_workbook->templatePath, error, [&] { return save(path, error); });
}

bool WorkbookFiller::save(const QString &path, QString *error)
{
    const auto failed = [&](const QString &reason) {
        *error =
            u"Impossibile salvare il file %1: %2"_s.arg(QDir::toNativeSeparators(path), reason);
        return false;
    };

    // The template's untouched parts are copied as they are: libzip rewrites a copy of it, beside
    // the target, with the edited parts replaced.
    OutputFile out(path);
    if (!out.open(error))
        return false;
    QFile original(m_workbook->templatePath);
    const QByteArray bytes = original.open(QIODevice::ReadOnly) ? original.readAll() : QByteArray();
    if (bytes.isEmpty() || out.device().write(bytes) != bytes.size())
        return failed(u"impossibile copiare il modello."_s);
    out.closeDevice();
    int code = 0;
    zip_t *zip = zip_open(QFile::encodeName(out.temporaryPath()).constData(), 0, &code);
    if (!zip)
        return failed(u"impossibile riaprire il modello."_s);
    for (const auto &[part, bytes] : m_workbook->editedParts) {
        const zip_int64_t index = zip_name_locate(zip, part.c_str(), 0);
        zip_source_t *source =
            zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (index < 0 || !source || zip_file_replace(zip, zip_uint64_t(index), source, 0) != 0) {
            const QString reason = zipErrorText(zip_get_error(zip));
            if (source)
                zip_source_free(source);
            zip_discard(zip);
            return failed(reason + u'.');
        }
    }
    if (zip_close(zip) != 0) {
        const QString reason = zipErrorText(zip_get_error(zip));
        zip_discard(zip);
        return failed(reason + u'.');
    }
    return out.commit(error, zipIsComplete);
}
