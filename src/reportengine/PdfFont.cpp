#include "reportengine/PdfFont.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

quint16 u16(const QByteArray &table, qsizetype at)
{
    if (at < 0 || at + 2 > table.size())
        return 0;
    return quint16((quint8(table[at]) << 8) | quint8(table[at + 1]));
}

qint16 s16(const QByteArray &table, qsizetype at)
{
    return qint16(u16(table, at));
}

quint32 u32(const QByteArray &table, qsizetype at)
{
    return (quint32(u16(table, at)) << 16) | u16(table, at + 2);
}

void put16(QByteArray &out, quint16 value)
{
    out.append(char(value >> 8)).append(char(value & 0xff));
}

void put32(QByteArray &out, quint32 value)
{
    put16(out, quint16(value >> 16));
    put16(out, quint16(value & 0xffff));
}

quint32 tableChecksum(const QByteArray &data)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i < data.size(); i += 4) {
        quint32 word = 0;
        for (int b = 0; b < 4; ++b)
            word = (word << 8) | (i + b < data.size() ? quint8(data[i + b]) : 0);
        sum += word;
    }
    return sum;
}

// Flags of a composite glyph's component.
constexpr quint16 ArgumentsAreWords = 0x0001;
constexpr quint16 HasScale = 0x0008;
constexpr quint16 MoreComponents = 0x0020;
constexpr quint16 HasXAndYScale = 0x0040;
constexpr quint16 HasTwoByTwo = 0x0080;

} // namespace

void appendHexWord(QByteArray &out, quint16 word)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    const char hex[4] = {digits[word >> 12], digits[(word >> 8) & 15], digits[(word >> 4) & 15],
                         digits[word & 15]};
    out.append(hex, 4);
}

PdfFont::PdfFont(const QRawFont &raw)
    : m_raw(raw), m_head(raw.fontTable("head")), m_hmtx(raw.fontTable("hmtx")),
      m_loca(raw.fontTable("loca")), m_glyf(raw.fontTable("glyf")), m_basicGlyphs(0x10000, -1)
{
    const QByteArray hhea = raw.fontTable("hhea");
    const QByteArray maxp = raw.fontTable("maxp");
    if (m_head.size() < 54 || hhea.size() < 36 || maxp.size() < 6 || m_glyf.isEmpty())
        return;
    m_glyphCount = u16(maxp, 4);
    m_horizontalMetrics = u16(hhea, 34);
    m_longOffsets = s16(m_head, 50) == 1;
    if (m_glyphCount == 0 || m_horizontalMetrics == 0 ||
        m_loca.size() < (m_glyphCount + 1) * (m_longOffsets ? 4 : 2))
        return;
    m_unitsPerEm = u16(m_head, 18);
    if (m_unitsPerEm == 0)
        return;
    m_ascent = s16(hhea, 4) * 1000.0 / m_unitsPerEm;
    m_descent = -s16(hhea, 6) * 1000.0 / m_unitsPerEm;
    m_characterOf.assign(size_t(m_glyphCount), 0);
}

quint16 PdfFont::glyph(char32_t character)
{
    if (character < 0x10000 && m_basicGlyphs[character] >= 0)
        return quint16(m_basicGlyphs[character]);
    if (const auto found = m_otherGlyphs.constFind(character); found != m_otherGlyphs.cend())
        return *found;
    const QString text = QString::fromUcs4(&character, 1);
    quint32 glyphs[2] = {0, 0};
    int count = 2;
    if (!m_raw.glyphIndexesForChars(text.constData(), int(text.size()), glyphs, &count))
        glyphs[0] = 0;
    const quint16 found = glyphs[0] < quint32(m_glyphCount) ? quint16(glyphs[0]) : 0;
    if (character < 0x10000)
        m_basicGlyphs[character] = found;
    else
        m_otherGlyphs.insert(character, found);
    if (found != 0 && m_characterOf[found] == 0)
        m_characterOf[found] = character;
    return found;
}

quint16 PdfFont::advance(quint16 glyph) const
{
    return u16(m_hmtx, 4 * std::min<qsizetype>(glyph, m_horizontalMetrics - 1));
}

double PdfFont::width(quint16 glyph) const
{
    return std::round(advance(glyph) * 1000.0 / m_unitsPerEm);
}

QByteArrayView PdfFont::outline(quint16 glyph) const
{
    const auto offset = [&](int g) -> qsizetype {
        return m_longOffsets ? u32(m_loca, 4 * g) : 2 * qsizetype(u16(m_loca, 2 * g));
    };
    const qsizetype start = offset(glyph), end = offset(glyph + 1);
    if (end <= start || end > m_glyf.size())
        return {};
    return QByteArrayView(m_glyf).sliced(start, end - start);
}

void PdfFont::useWithComponents(quint16 glyph, std::vector<bool> &drawn) const
{
    if (glyph >= drawn.size() || drawn[glyph])
        return;
    drawn[glyph] = true;
    const QByteArray data = outline(glyph).toByteArray();
    if (data.size() < 10 || s16(data, 0) >= 0)
        return;
    // A composite glyph draws other glyphs, which must be drawn too.
    qsizetype at = 10;
    quint16 flags = MoreComponents;
    while ((flags & MoreComponents) && at + 4 <= data.size()) {
        flags = u16(data, at);
        useWithComponents(u16(data, at + 2), drawn);
        at += 4 + ((flags & ArgumentsAreWords) ? 4 : 2);
        if (flags & HasScale)
            at += 2;
        else if (flags & HasXAndYScale)
            at += 4;
        else if (flags & HasTwoByTwo)
            at += 8;
    }
}

QByteArray PdfFont::postScriptName() const
{
    // The name the font gives itself (name 6 of its naming table), else one made of its family
    // and style.
    const QByteArray names = m_raw.fontTable("name");
    const qsizetype strings = u16(names, 4);
    QString found;
    for (qsizetype record = 6; record + 12 <= names.size() && found.isEmpty(); record += 12) {
        if (u16(names, record + 6) != 6)
            continue;
        const qsizetype length = u16(names, record + 8);
        const qsizetype at = strings + u16(names, record + 10);
        if (at + length > names.size())
            continue;
        const QByteArray bytes = names.sliced(at, length);
        if (u16(names, record) == 1)
            found = QString::fromLatin1(bytes);
        else
            for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
                found += QChar(u16(bytes, i));
    }
    if (found.isEmpty())
        found = m_raw.familyName() + m_raw.styleName();
    QByteArray name;
    for (const QChar c : std::as_const(found))
        if (c.unicode() > 32 && c.unicode() < 127 &&
            !QByteArrayView("()<>[]{}/%#").contains(char(c.unicode())))
            name.append(char(c.unicode()));
    return name;
}

QRectF PdfFont::box() const
{
    const double scale = 1000.0 / m_unitsPerEm;
    return QRectF(QPointF(s16(m_head, 36) * scale, s16(m_head, 38) * scale),
                  QPointF(s16(m_head, 40) * scale, s16(m_head, 42) * scale));
}

QByteArray PdfFont::subsetFile() const
{
    std::vector<bool> drawn(size_t(m_glyphCount), false);
    useWithComponents(0, drawn);
    for (int glyph = 0; glyph < m_glyphCount; ++glyph)
        if (m_characterOf[size_t(glyph)] != 0)
            useWithComponents(quint16(glyph), drawn);
    QByteArray glyf, loca;
    for (int glyph = 0; glyph < m_glyphCount; ++glyph) {
        put32(loca, quint32(glyf.size()));
        if (drawn[size_t(glyph)]) {
            glyf.append(outline(quint16(glyph)));
            while (glyf.size() % 4 != 0)
                glyf.append('\0');
        }
    }
    put32(loca, quint32(glyf.size()));
    QByteArray head = m_head;
    head.replace(8, 4, QByteArray(4, '\0')); // checkSumAdjustment, left to readers
    head[50] = 0;
    head[51] = 1; // long offsets in loca
    std::vector<std::pair<QByteArray, QByteArray>> tables{
        {"glyf", glyf}, {"head", head}, {"hmtx", m_hmtx}, {"loca", loca}};
    for (const char *tag : {"cvt ", "fpgm", "hhea", "maxp", "prep"})
        if (const QByteArray table = m_raw.fontTable(tag); !table.isEmpty())
            tables.emplace_back(tag, table);
    std::sort(tables.begin(), tables.end());

    QByteArray file;
    const quint16 count = quint16(tables.size());
    quint16 power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    put32(file, 0x00010000);
    put16(file, count);
    put16(file, quint16(power * 16));
    put16(file, log2);
    put16(file, quint16(count * 16 - power * 16));
    quint32 offset = 12 + 16 * quint32(count);
    for (const auto &[tag, data] : tables) {
        file.append(tag);
        put32(file, tableChecksum(data));
        put32(file, offset);
        put32(file, quint32(data.size()));
        offset += quint32((data.size() + 3) & ~3);
    }
    for (const auto &[tag, data] : tables) {
        file.append(data);
        while (file.size() % 4 != 0)
            file.append('\0');
    }
    return file;
}

QByteArray PdfFont::widthArray() const
{
    QByteArray array = "[";
    for (int glyph = 0; glyph < m_glyphCount; ++glyph)
        if (m_characterOf[size_t(glyph)] != 0)
            array += QByteArray::number(glyph) + " [" +
                     QByteArray::number(width(quint16(glyph)), 'f', 0) + "] ";
    return array + "]";
}

QByteArray PdfFont::toUnicode() const
{
    std::vector<std::pair<quint16, char32_t>> mapped;
    for (int glyph = 0; glyph < m_glyphCount; ++glyph)
        if (const char32_t character = m_characterOf[size_t(glyph)]; character != 0)
            mapped.emplace_back(quint16(glyph), character);
    QByteArray cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    // A block of the map holds at most a hundred entries.
    for (size_t first = 0; first < mapped.size(); first += 100) {
        const size_t last = std::min(mapped.size(), first + 100);
        cmap += QByteArray::number(qulonglong(last - first)) + " beginbfchar\n";
        for (size_t i = first; i < last; ++i) {
            cmap += '<';
            appendHexWord(cmap, mapped[i].first);
            cmap += "> <";
            const QString utf16 = QString::fromUcs4(&mapped[i].second, 1);
            for (const QChar unit : utf16)
                appendHexWord(cmap, unit.unicode());
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    return cmap + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}
