#include "WorkbookXml.h"

#include <QFile>

#include <zip.h>

namespace WorkbookXml {

bool write(const QString &path, const QList<Part> &parts)
{
    int code = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!zip)
        return false;
    for (const auto &[name, bytes] : parts) {
        zip_source_t *source =
            zip_source_buffer(zip, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!source || zip_file_add(zip, name.toUtf8().constData(), source, 0) < 0) {
            zip_source_free(source);
            zip_discard(zip);
            return false;
        }
    }
    return zip_close(zip) == 0;
}

QByteArray read(const QString &path, const QString &part)
{
    int code = 0;
    zip_t *zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &code);
    if (!zip)
        return {};
    QByteArray bytes;
    zip_stat_t stat;
    zip_stat_init(&stat);
    const QByteArray name = part.toUtf8();
    if (zip_stat(zip, name.constData(), 0, &stat) == 0) {
        if (zip_file_t *file = zip_fopen(zip, name.constData(), 0)) {
            bytes.resize(qsizetype(stat.size));
            if (zip_fread(file, bytes.data(), stat.size) != zip_int64_t(stat.size))
                bytes.clear();
            zip_fclose(file);
        }
    }
    zip_discard(zip);
    return bytes;
}

bool load(const QString &path, const QString &part, pugi::xml_document *document)
{
    const QByteArray bytes = read(path, part);
    return !bytes.isEmpty() && document->load_buffer(bytes.constData(), size_t(bytes.size()));
}

pugi::xml_node cell(const pugi::xml_document &sheet, const char *reference)
{
    for (const pugi::xml_node &row : sheet.child("worksheet").child("sheetData").children("row"))
        for (const pugi::xml_node &c : row.children("c"))
            if (std::string_view(c.attribute("r").value()) == reference)
                return c;
    return {};
}

QByteArray cellHolding(const QString &templatePath, const QString &text)
{
    pugi::xml_document shared, sheet;
    load(templatePath, QStringLiteral("xl/sharedStrings.xml"), &shared);
    load(templatePath, QStringLiteral("xl/worksheets/sheet1.xml"), &sheet);
    int index = 0, wanted = -1;
    for (const pugi::xml_node &item : shared.child("sst").children("si")) {
        if (QString::fromUtf8(item.child_value("t")) == text)
            wanted = index;
        ++index;
    }
    for (const pugi::xml_node &row : sheet.child("worksheet").child("sheetData").children("row"))
        for (const pugi::xml_node &c : row.children("c"))
            if (std::string_view(c.attribute("t").value()) == "s" &&
                c.child("v").text().as_int() == wanted)
                return c.attribute("r").value();
    return {};
}

QByteArray numberIn(const QString &workbook, const QByteArray &reference)
{
    pugi::xml_document sheet;
    load(workbook, QStringLiteral("xl/worksheets/sheet1.xml"), &sheet);
    return cell(sheet, reference.constData()).child_value("v");
}

} // namespace WorkbookXml
