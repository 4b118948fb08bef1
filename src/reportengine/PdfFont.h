#pragma once

#include <QByteArray>
#include <QHash>
#include <QRawFont>
#include <QRectF>
#include <QStringView>

#include <vector>

// Appends a 16-bit number (a glyph number, a UTF-16 unit) as four hexadecimal digits.
void appendHexWord(QByteArray &out, quint16 word);

// A TrueType font as a PDF embeds it. Text is written as glyph numbers; the font file keeps
// every glyph number but draws only the glyphs the text used (a subset that needs no
// renumbering), with their widths and the map back to the characters so that the text can be
// selected and extracted.
class PdfFont {
public:
    explicit PdfFont(const QRawFont &raw);

    // Whether the font's tables could be read.
    bool isValid() const { return m_unitsPerEm > 0; }

    // The glyph that shows the character, noted as used.
    quint16 glyph(char32_t character);
    // The glyph's advance, in whole thousandths of the font's size.
    double width(quint16 glyph) const;

    // In thousandths of the font's size, for the font's descriptor.
    double ascent() const { return m_ascent; }
    double descent() const { return m_descent; }

    QByteArray postScriptName() const;
    // The font's box, in thousandths of its size.
    QRectF box() const;
    // The font file with only the used glyphs drawn.
    QByteArray subsetFile() const;
    // The widths of the used glyphs, as a PDF W array.
    QByteArray widthArray() const;
    // The CMap from glyph numbers back to characters.
    QByteArray toUnicode() const;

private:
    quint16 advance(quint16 glyph) const;
    // The glyph's outline in the glyf table, empty for a blank glyph.
    QByteArrayView outline(quint16 glyph) const;
    void useWithComponents(quint16 glyph, std::vector<bool> &drawn) const;

    QRawFont m_raw;
    QByteArray m_head, m_hmtx, m_loca, m_glyf;
    int m_unitsPerEm = 0;
    int m_glyphCount = 0;
    int m_horizontalMetrics = 0;
    bool m_longOffsets = false;
    double m_ascent = 0.0;
    double m_descent = 0.0;
    std::vector<qint32> m_basicGlyphs; // by UTF-16 unit; -1 until looked up
    QHash<char32_t, quint16> m_otherGlyphs;
    std::vector<char32_t> m_characterOf; // by glyph; 0 while unused
};
