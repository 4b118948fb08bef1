#include "data/ZipPackage.h"

#include "data/OutputFile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

QString zipErrorText(const zip_error_t *error)
{
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_NOZIP:
        return u"il file non è un archivio zip"_s;
    case ZIP_ER_INCONS:
    case ZIP_ER_CRC:
    case ZIP_ER_COMPRESSED_DATA:
    case ZIP_ER_EOF:
        return u"l'archivio zip è danneggiato"_s;
    case ZIP_ER_MEMORY:
        return u"memoria insufficiente"_s;
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP:
    case ZIP_ER_NOPASSWD:
    case ZIP_ER_WRONGPASSWD:
        return u"l'archivio zip è cifrato o compresso in un modo non supportato"_s;
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_WRITE:
    case ZIP_ER_SEEK:
    case ZIP_ER_TMPOPEN:
    case ZIP_ER_CLOSE:
    case ZIP_ER_RENAME:
        if (const int code = zip_error_code_system(error); code != 0)
            return italianSystemError(QString::fromLocal8Bit(std::strerror(code)));
        return u"errore di lettura o scrittura del file"_s;
    default:
        return u"l'archivio zip non è valido o è danneggiato"_s;
    }
}

ZipReader::ZipReader(const QString &path)
{
    int code = 0;
    m_zip = zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!m_zip) {
        zip_error_t error;
        zip_error_init_with_code(&error, code);
        m_error = zipErrorText(&error);
        zip_error_fini(&error);
    }
}
ZipReader::ZipReader(const QByteArray &bytes) : m_bytes(bytes)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source =
        zip_source_buffer_create(m_bytes.constData(), zip_uint64_t(m_bytes.size()), 0, &error);
    m_zip = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!m_zip) {
        if (source)
            zip_source_free(source);
        m_error = zipErrorText(&error);
    }
    zip_error_fini(&error);
}

ZipReader::~ZipReader()
{
    if (m_zip)
        zip_discard(m_zip);
}

std::vector<std::string> ZipReader::entryNames() const
{
    std::vector<std::string> names;
    const zip_int64_t count = m_zip ? zip_get_num_entries(m_zip, 0) : 0;
    for (zip_int64_t i = 0; i < count; ++i)
        if (const char *name = zip_get_name(m_zip, zip_uint64_t(i), ZIP_FL_ENC_GUESS))
            names.emplace_back(name);
    return names;
}

ZipReader::Read ZipReader::read(const std::string &name, QByteArray *bytes)
{
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat(m_zip, name.c_str(), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        !(stat.valid & ZIP_STAT_COMP_SIZE))
        return Read::Missing;
    if (stat.size > PartLimit || stat.size > TotalLimit - m_expanded ||
        (stat.size > RatioFloor &&
         stat.size / std::max<zip_uint64_t>(stat.comp_size, 1) > RatioLimit))
        return Read::TooLarge;
    zip_file_t *file = zip_fopen(m_zip, name.c_str(), 0);
    if (!file)
        return Read::Missing;
    bytes->clear();
    Read outcome = Read::Done;
    for (;;) {
        const qsizetype at = bytes->size();
        bytes->resize(at + qsizetype(ChunkSize));
        const zip_int64_t got = zip_fread(file, bytes->data() + at, ChunkSize);
        bytes->resize(at + std::max<qsizetype>(qsizetype(got), 0));
        if (got < 0) {
            outcome = Read::Missing;
            break;
        }
        if (zip_uint64_t(bytes->size()) > stat.size) {
            outcome = Read::TooLarge;
            break;
        }
        if (got == 0)
            break;
    }
    zip_fclose(file);
    if (outcome == Read::Done && zip_uint64_t(bytes->size()) != stat.size)
        outcome = Read::TooLarge;
    m_expanded += zip_uint64_t(bytes->size());
    return outcome;
}

// The part a relationship points at, as a path inside the archive.
std::string resolveTarget(const std::string &baseFolder, const std::string &target)
{
    if (!target.empty() && target.front() == '/')
        return target.substr(1);
    return QDir::cleanPath(QString::fromStdString(baseFolder + target)).toStdString();
}

std::string folderOf(const std::string &part)
{
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// The relationship id attribute of a <sheet>, whatever prefix its namespace has.
const char *relationshipId(const pugi::xml_node &sheet)
{
    for (const pugi::xml_attribute &attribute : sheet.attributes()) {
        const std::string_view name = attribute.name();
        if (name.size() > 3 && name.substr(name.size() - 3) == ":id")
            return attribute.value();
    }
    return "";
}

QString tooLargeMessage(const QString &templatePath)
{
    return u"Il modello %1 è troppo grande o danneggiato."_s.arg(
        QDir::toNativeSeparators(templatePath));
}
