#include "data/ItalianCollation.h"

#include "data/Database.h"

#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The letter a character is sorted as: lower case, without its accent.
char32_t sortLetter(char32_t c)
{
    if (c < 0x80)
        return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
    // Latin-1 letters from U+00C0, upper and lower case alike.
    static constexpr char32_t latin1[64] = {
        'a', 'a', 'a', 'a', 'a', 'a', 'a', 'c',  'e', 'e', 'e', 'e', 'i', 'i', 'i',  'i',
        'd', 'n', 'o', 'o', 'o', 'o', 'o', 0xD7, 'o', 'u', 'u', 'u', 'u', 'y', 0xFE, 's',
        'a', 'a', 'a', 'a', 'a', 'a', 'a', 'c',  'e', 'e', 'e', 'e', 'i', 'i', 'i',  'i',
        'd', 'n', 'o', 'o', 'o', 'o', 'o', 0xF7, 'o', 'u', 'u', 'u', 'u', 'y', 0xFE, 'y'};
    if (c >= 0xC0 && c <= 0xFF)
        return latin1[c - 0xC0];
    if (c <= 0xFFFF) {
        const QString decomposed = QChar(char16_t(c)).decomposition();
        if (!decomposed.isEmpty())
            return sortLetter(decomposed.front().unicode());
        return QChar(char16_t(c)).toLower().unicode();
    }
    return c;
}

// Reads one code point of UTF-8 at *at, advancing it; a broken sequence reads as its byte.
char32_t nextUtf8(const unsigned char *text, int length, int *at)
{
    const unsigned char lead = text[(*at)++];
    const int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra == 0 || *at + extra > length)
        return lead;
    char32_t c = lead & (0x3F >> extra);
    for (int i = 0; i < extra; ++i) {
        const unsigned char next = text[*at + i];
        if ((next & 0xC0) != 0x80)
            return lead;
        c = c << 6 | (next & 0x3F);
    }
    *at += extra;
    return c;
}

int compareUtf8(int lengthA, const void *a, int lengthB, const void *b)
{
    const auto *textA = static_cast<const unsigned char *>(a);
    const auto *textB = static_cast<const unsigned char *>(b);
    int atA = 0, atB = 0;
    while (atA < lengthA && atB < lengthB) {
        const char32_t letterA = sortLetter(nextUtf8(textA, lengthA, &atA));
        const char32_t letterB = sortLetter(nextUtf8(textB, lengthB, &atB));
        if (letterA != letterB)
            return letterA < letterB ? -1 : 1;
    }
    if ((atA < lengthA) != (atB < lengthB))
        return atA < lengthA ? 1 : -1;
    const int common = std::memcmp(a, b, size_t(std::min(lengthA, lengthB)));
    return common != 0 ? common : lengthA - lengthB;
}

} // namespace

int compareItalian(QStringView a, QStringView b)
{
    const QByteArray utf8A = a.toUtf8();
    const QByteArray utf8B = b.toUtf8();
    return compareUtf8(int(utf8A.size()), utf8A.constData(), int(utf8B.size()), utf8B.constData());
}

namespace {

void appendUtf8(std::string *out, char32_t c)
{
    if (c < 0x80) {
        out->push_back(char(c));
    } else if (c < 0x800) {
        out->push_back(char(0xC0 | (c >> 6)));
        out->push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(char(0xE0 | (c >> 12)));
        out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(char(0x80 | (c & 0x3F)));
    } else {
        out->push_back(char(0xF0 | (c >> 18)));
        out->push_back(char(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(char(0x80 | (c & 0x3F)));
    }
}

// italiano(text): the text's letters as sorted, a byte 1, then the text itself. Compared byte
// by byte, two keys order their texts as compareItalian does.
void italianKey(sqlite3_context *context, int, sqlite3_value **values)
{
    if (sqlite3_value_type(values[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = sqlite3_value_text(values[0]);
    const int length = sqlite3_value_bytes(values[0]);
    std::string key;
    key.reserve(size_t(length) * 2 + 1);
    for (int at = 0; at < length;)
        appendUtf8(&key, sortLetter(nextUtf8(text, length, &at)));
    key.push_back('\x01');
    key.append(reinterpret_cast<const char *>(text), size_t(length));
    sqlite3_result_blob(context, key.data(), int(key.size()), SQLITE_TRANSIENT);
}

} // namespace

bool registerItalianOrder(const QSqlDatabase &database)
{
    sqlite3 *connection = sqliteHandle(database);
    return connection &&
           sqlite3_create_function(connection, "italiano", 1,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   italianKey, nullptr, nullptr) == SQLITE_OK;
}

QString foldedForMatching(const QString &text)
{
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            folded.append(c);
    }
    return folded.toCaseFolded();
}

bool containsIgnoringAccents(const QString &text, const QString &wanted,
                             const QString &foldedWanted)
{
    if (text.contains(wanted, Qt::CaseInsensitive) ||
        text.contains(foldedWanted, Qt::CaseInsensitive))
        return true;
    // Folding is slow: only a text with letters outside ASCII can match only once folded.
    const bool plain =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    return !plain && foldedForMatching(text).contains(foldedWanted);
}
