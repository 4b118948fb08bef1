#pragma once

// The zip package of a spreadsheet (.xlsx, .xltx) read safely: each part is read within limits
// that stop files made to exhaust memory, and libzip's errors are said in Italian.

#include <QByteArray>
#include <QString>

#include <pugixml.hpp>
#include <zip.h>

#include <new>
#include <string>
#include <vector>

// What a template may expand to: a workbook of the program's size is a few megabytes, so these
// only stop files made to exhaust memory (a "zip bomb" or a forged size).
inline constexpr zip_uint64_t PartLimit = 64 * 1024 * 1024;
inline constexpr zip_uint64_t TotalLimit = 256 * 1024 * 1024;
// Above a megabyte, XML that packs tighter than this is no workbook.
inline constexpr zip_uint64_t RatioLimit = 200;
inline constexpr zip_uint64_t RatioFloor = 1024 * 1024;
inline constexpr zip_uint64_t ChunkSize = 64 * 1024;

// libzip's error, said in Italian.
QString zipErrorText(const zip_error_t *error);

// An open zip archive, closed without writing when it goes out of scope. What its parts expand
// to is counted as they are read, never taken from the sizes the archive declares.
class ZipReader {
public:
    enum class Read { Done, Missing, TooLarge };

    explicit ZipReader(const QString &path);
    // A zip archive held in memory, which must outlive the reader only as its copy here does.
    explicit ZipReader(const QByteArray &bytes);
    ~ZipReader();
    ZipReader(const ZipReader &) = delete;
    ZipReader &operator=(const ZipReader &) = delete;

    bool isOpen() const { return m_zip != nullptr; }
    QString errorText() const { return m_error; }

    // The entry's bytes. TooLarge when it expands past the limits or to another size than it
    // declares; Missing when it is absent or cannot be read.
    Read read(const std::string &name, QByteArray *bytes);
    // The names of the archive's entries, in the archive's order.
    std::vector<std::string> entryNames() const;

private:
    QByteArray m_bytes;
    zip_t *m_zip = nullptr;
    QString m_error;
    zip_uint64_t m_expanded = 0;
};

// The part a relationship points at, as a path inside the archive.
std::string resolveTarget(const std::string &baseFolder, const std::string &target);

// The folder of a part, with its trailing slash; empty at the root.
std::string folderOf(const std::string &part);

// The relationship id attribute of a <sheet>, whatever prefix its namespace has.
const char *relationshipId(const pugi::xml_node &sheet);

// "Il modello … è troppo grande o danneggiato."
QString tooLargeMessage(const QString &templatePath);

// Memory runs out on a hostile template long before the limits do on a sound machine: that is a
// refusal of the template, never an abort.
template <typename Work>
bool withinMemory(const QString &templatePath, QString *error, const Work &work)
{
    try {
        return work();
    } catch (const std::bad_alloc &) {
        *error = tooLargeMessage(templatePath);
        return false;
    }
}
