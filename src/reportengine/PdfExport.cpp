#include "data/OutputFile.h"
#include "reportengine/PdfFont.h"
#include "reportengine/ReportExport.h"
#include "reportengine/TextMeasure.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <future>
#include <memory>
#include <string_view>

using namespace Qt::StringLiterals;

namespace {

// A number as PDF writes it: at most `decimals` decimals, no trailing zeros.
void appendNumber(QByteArray &out, double value, int decimals = 2)
{
    char buffer[32];
    const auto written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    const char *begin = buffer;
    const char *end = written.ptr;
    if (std::find(begin, end, '.') != end) {
        while (end[-1] == '0')
            --end;
        if (end[-1] == '.')
            --end;
    }
    if (end - buffer == 2 && buffer[0] == '-' && buffer[1] == '0')
        out.append('0');
    else
        out.append(buffer, end - buffer);
}

// A position as the painter places text: on a grid of a sixty-fourth of a point.
double onPainterGrid(double points)
{
    return std::floor(points * 64.0) / 64.0;
}

QByteArray reference(int object)
{
    return QByteArray::number(object) + " 0 R";
}

// A text as a PDF string: UTF-16 with its byte order mark, in hexadecimal.
QByteArray textString(const QString &text)
{
    QByteArray hex = "<FEFF";
    for (const QChar unit : text)
        appendHexWord(hex, unit.unicode());
    return hex + '>';
}

// Writes numbered objects one after the other, keeping where each starts for the
// cross-reference table.
class PdfObjects {
public:
    explicit PdfObjects(QIODevice &device) : m_device(device)
    {
        write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    }

    int reserve()
    {
        m_offsets.push_back(-1);
        return int(m_offsets.size());
    }

    void object(int number, const QByteArray &body)
    {
        m_offsets[size_t(number - 1)] = m_written;
        write(QByteArray::number(number) + " 0 obj\n" + body + "\nendobj\n");
    }

    // A stream, compressed.
    void stream(int number, const QByteArray &dictionary, const QByteArray &data)
    {
        packedStream(number, dictionary, packed(data));
    }

    static QByteArray packed(const QByteArray &data)
    {
        // qCompress puts the length before the zlib stream that PDF reads.
        return qCompress(data, 6).sliced(4);
    }

    // A stream compressed by packed().
    void packedStream(int number, const QByteArray &dictionary, const QByteArray &packed)
    {
        m_offsets[size_t(number - 1)] = m_written;
        write(QByteArray::number(number) + " 0 obj\n<< " + dictionary +
              " /Filter /FlateDecode /Length " + QByteArray::number(packed.size()) +
              " >>\nstream\n");
        write(packed);
        write("\nendstream\nendobj\n");
    }

    void finish(int catalog, int info)
    {
        const qint64 table = m_written;
        QByteArray xref = "xref\n0 " + QByteArray::number(qsizetype(m_offsets.size()) + 1) +
                          "\n0000000000 65535 f \n";
        for (const qint64 offset : m_offsets)
            xref += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
        write(xref + "trailer\n<< /Size " + QByteArray::number(qsizetype(m_offsets.size()) + 1) +
              " /Root " + reference(catalog) + " /Info " + reference(info) + " >>\nstartxref\n" +
              QByteArray::number(table) + "\n%%EOF\n");
    }

private:
    void write(const QByteArray &bytes)
    {
        m_device.write(bytes);
        m_written += bytes.size();
    }

    QIODevice &m_device;
    qint64 m_written = 0;
    std::vector<qint64> m_offsets;
};

// A font of the report as the pages use it: its embedded face, its size, and the metrics the
// painter draws it with on any device (so that a PDF places every glyph where a printed page
// does).
struct PageFont {
    // A character as the pages show it in this font: how far it moves on, and its glyph with
    // the difference between that advance and the font's own width.
    struct Shown {
        double advance = 0.0; // points
        QByteArray code;
    };

    PageFont(int face, double size, const QFont &qt, QPaintDevice *device)
        : face(face), size(size), metrics(qt, device), shownIndex(0x10000, -1)
    {
    }

    int face;
    double size;
    QFontMetricsF metrics;
    std::vector<qint32> shownIndex; // by UTF-16 unit
    QHash<char32_t, qint32> otherIndex;
    std::vector<Shown> shown;

    const Shown &of(char32_t character, quint16 glyph, const PdfFont &face)
    {
        qint32 *known = character < shownIndex.size() ? &shownIndex[character] : nullptr;
        if (known && *known >= 0)
            return shown[size_t(*known)];
        if (!known)
            if (const auto found = otherIndex.constFind(character); found != otherIndex.cend())
                return shown[size_t(*found)];
        Shown added;
        added.advance = metrics.horizontalAdvance(QString::fromUcs4(&character, 1));
        added.code = "<";
        appendHexWord(added.code, glyph);
        added.code += '>';
        const double correction = face.width(glyph) - added.advance * 1000.0 / size;
        if (std::abs(correction) >= 0.0005)
            appendNumber(added.code, correction, 3);
        const qint32 index = qint32(shown.size());
        shown.push_back(added);
        (known ? *known : otherIndex[character]) = index;
        return shown.back();
    }
};

// The faces the report's fonts use, one embedded font each whatever its sizes.
struct Faces {
    std::vector<std::unique_ptr<PdfFont>> fonts;
    std::vector<PageFont> ofReportFont;

    bool load(const std::vector<ReportFont> &reportFonts)
    {
        // At 72 dots per inch a font's pixels are its points.
        QImage device(1, 1, QImage::Format_RGB32);
        device.setDotsPerMeterX(qRound(72 / 0.0254));
        device.setDotsPerMeterY(qRound(72 / 0.0254));
        QStringList keys;
        for (const ReportFont &font : reportFonts) {
            const QFont qt = qtFont(font);
            const QRawFont raw = QRawFont::fromFont(qt);
            const QString key = raw.familyName() + u'\n' + raw.styleName();
            qsizetype face = keys.indexOf(key);
            if (face < 0) {
                face = keys.size();
                keys << key;
                fonts.push_back(std::make_unique<PdfFont>(raw));
                if (!fonts.back()->isValid())
                    return false;
            }
            ofReportFont.emplace_back(int(face), font.pointSize, qt, &device);
        }
        return true;
    }
};

// The glyph drawn at the character: the ligature of "ffi", "ffl", "ff", "fi" or "fl" when the
// font has it, as the painter's shaping draws them, with its own character and how many it
// stands for.
struct Drawn {
    char32_t character;
    quint16 glyph;
    qsizetype length;
};

Drawn ligatureAt(const QList<uint> &characters, qsizetype at, PdfFont &face)
{
    static const std::pair<std::u32string_view, char32_t> ligatures[] = {
        {U"ffi", 0xFB03}, {U"ffl", 0xFB04}, {U"ff", 0xFB00}, {U"fi", 0xFB01}, {U"fl", 0xFB02}};
    const auto startsWith = [&](std::u32string_view letters) {
        if (at + qsizetype(letters.size()) > characters.size())
            return false;
        return std::equal(letters.begin(), letters.end(), characters.begin() + at);
    };
    if (characters[at] == U'f')
        for (const auto &[letters, ligature] : ligatures)
            if (startsWith(letters))
                if (const quint16 glyph = face.glyph(ligature); glyph != 0)
                    return {ligature, glyph, qsizetype(letters.size())};
    return {char32_t(characters[at]), face.glyph(characters[at]), 1};
}

// The drawing of one page, in points from the page's top-left corner.
QByteArray pageContent(const ReportPage &page, double pageHeight, Faces &faces)
{
    QByteArray content;
    content.reserve(qsizetype(page.texts.size()) * 64 + 64);
    // Turned upside down, the page's coordinates run as the layout's; each text is turned back.
    // The scale goes through a printer's dots, as on a painter's page, so that every position
    // comes out the same to the last digit a reader computes.
    content += "0.06 0 0 -0.06 0 ";
    appendNumber(content, pageHeight);
    content += " cm\n16.6666666 0 0 16.6666666 0 0 cm\n2 J 2 j\nBT\n";
    int currentFont = -1;
    QByteArray glyphs;
    for (const TextRun &run : page.texts) {
        if (run.font >= faces.ofReportFont.size())
            continue;
        PageFont &font = faces.ofReportFont[run.font];
        PdfFont &face = *faces.fonts[size_t(font.face)];
        if (run.font != currentFont) {
            currentFont = run.font;
            content += "/F" + QByteArray::number(font.face) + ' ';
            appendNumber(content, font.size, 3);
            content += " Tf\n";
        }
        // Each glyph moves on by its advance at this size, as the painter's; the difference from
        // the font's own width follows the glyph.
        glyphs.clear();
        double width = 0.0;
        const QList<uint> characters = page.texts.text(run).toUcs4();
        for (qsizetype i = 0; i < characters.size(); ++i) {
            const auto [character, glyph, length] = ligatureAt(characters, i, face);
            i += length - 1;
            const PageFont::Shown &shown = font.of(character, glyph, face);
            width += shown.advance;
            glyphs += shown.code;
        }
        double x = run.box.left();
        if (run.alignment & (Qt::AlignRight | Qt::AlignHCenter)) {
            const double free = run.box.width() - width;
            x += run.alignment & Qt::AlignRight ? free : free / 2.0;
        }
        const double y = run.box.top() + (run.box.height() - font.metrics.height()) / 2.0 +
                         font.metrics.ascent();
        content += "1 0 0 -1 ";
        appendNumber(content, onPainterGrid(x), 6);
        content += ' ';
        appendNumber(content, onPainterGrid(y), 6);
        content += " Tm [" + glyphs + "] TJ\n";
    }
    content += "ET\n";
    double lineWidth = -1.0;
    const auto pen = [&](double width) {
        if (width != lineWidth) {
            lineWidth = width;
            appendNumber(content, width, 3);
            content += " w\n";
        }
    };
    for (const LineShape &shape : page.lines) {
        pen(shape.width);
        for (const QPointF point : {shape.line.p1(), shape.line.p2()}) {
            appendNumber(content, point.x());
            content += ' ';
            appendNumber(content, point.y());
            content += point == shape.line.p1() ? " m " : " l S\n";
        }
    }
    for (const BoxShape &shape : page.boxes) {
        pen(shape.width);
        for (const double value :
             {shape.rect.x(), shape.rect.y(), shape.rect.width(), shape.rect.height()}) {
            appendNumber(content, value);
            content += ' ';
        }
        content += "re S\n";
    }
    return content;
}

// The objects of an embedded face: the font, its glyphs' font, its descriptor, its file and
// its map back to characters.
void writeFace(PdfObjects &pdf, int fontObject, PdfFont &face, int index)
{
    const int cidFont = pdf.reserve(), descriptor = pdf.reserve(), file = pdf.reserve(),
              toUnicode = pdf.reserve();
    // A subset's name starts with six capitals of its own.
    QByteArray tag = "TVRNA";
    tag += char('A' + index % 26);
    const QByteArray name = '/' + tag + '+' + face.postScriptName();
    pdf.object(fontObject, "<< /Type /Font /Subtype /Type0 /BaseFont " + name +
                               " /Encoding /Identity-H /DescendantFonts [" + reference(cidFont) +
                               "] /ToUnicode " + reference(toUnicode) + " >>");
    pdf.object(cidFont, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont " + name +
                            " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
                            "/Supplement 0 >> /FontDescriptor " +
                            reference(descriptor) + " /CIDToGIDMap /Identity /W " +
                            face.widthArray() + " >>");
    const QRectF box = face.box();
    QByteArray descriptorBody = "<< /Type /FontDescriptor /FontName " + name +
                                " /Flags 32 /ItalicAngle 0 /StemV 80 /FontBBox [";
    for (const double value : {box.left(), box.top(), box.right(), box.bottom()}) {
        appendNumber(descriptorBody, value, 0);
        descriptorBody += ' ';
    }
    descriptorBody += "] /Ascent ";
    appendNumber(descriptorBody, face.ascent(), 6);
    descriptorBody += " /Descent ";
    appendNumber(descriptorBody, -face.descent(), 6);
    descriptorBody += " /CapHeight ";
    appendNumber(descriptorBody, face.ascent(), 6);
    pdf.object(descriptor, descriptorBody + " /FontFile2 " + reference(file) + " >>");
    const QByteArray subset = face.subsetFile();
    pdf.stream(file, "/Length1 " + QByteArray::number(subset.size()), subset);
    pdf.stream(toUnicode, {}, face.toUnicode());
}

bool writePdf(const ReportDocument &document, QIODevice &device)
{
    Faces faces;
    if (!faces.load(document.fonts))
        return false;
    PdfObjects pdf(device);
    const int catalog = pdf.reserve(), pages = pdf.reserve(), info = pdf.reserve(),
              resources = pdf.reserve();
    std::vector<int> fontObjects;
    for (size_t i = 0; i < faces.fonts.size(); ++i)
        fontObjects.push_back(pdf.reserve());
    const QSizeF size = document.page.sizePoints();
    QByteArray kids;
    // Pages are drawn a batch at a time; one batch is compressed while the next is drawn.
    struct Batch {
        std::vector<int> contents;
        std::vector<QByteArray> streams;
    };
    const auto written = [&](std::future<Batch> &pending) {
        if (!pending.valid())
            return;
        const Batch batch = pending.get();
        for (size_t i = 0; i < batch.contents.size(); ++i)
            pdf.packedStream(batch.contents[i], {}, batch.streams[i]);
    };
    std::future<Batch> pending;
    constexpr size_t BatchPages = 64;
    for (size_t first = 0; first < document.pages.size(); first += BatchPages) {
        Batch batch;
        for (size_t p = first; p < std::min(document.pages.size(), first + BatchPages); ++p) {
            const int pageObject = pdf.reserve(), content = pdf.reserve();
            QByteArray body = "<< /Type /Page /Parent " + reference(pages) + " /Resources " +
                              reference(resources) + " /MediaBox [0 0 ";
            appendNumber(body, size.width());
            body += ' ';
            appendNumber(body, size.height());
            pdf.object(pageObject, body + "] /Contents " + reference(content) + " >>");
            kids += reference(pageObject) + ' ';
            batch.contents.push_back(content);
            batch.streams.push_back(pageContent(document.pages[p], size.height(), faces));
        }
        written(pending);
        pending = std::async(std::launch::async, [batch = std::move(batch)]() mutable {
            for (QByteArray &stream : batch.streams)
                stream = PdfObjects::packed(stream);
            return std::move(batch);
        });
    }
    written(pending);
    QByteArray fontDictionary;
    for (size_t i = 0; i < faces.fonts.size(); ++i) {
        fontDictionary +=
            "/F" + QByteArray::number(qsizetype(i)) + ' ' + reference(fontObjects[i]) + ' ';
        writeFace(pdf, fontObjects[i], *faces.fonts[i], int(i));
    }
    pdf.object(resources, "<< /Font << " + fontDictionary + ">> /ProcSet [/PDF /Text] >>");
    pdf.object(pages, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                          QByteArray::number(document.pageCount()) + " >>");
    pdf.object(info, "<< /Title " + textString(document.title) + " /Creator " +
                         textString(QCoreApplication::applicationName()) + " >>");
    pdf.object(catalog, "<< /Type /Catalog /Pages " + reference(pages) + " >>");
    pdf.finish(catalog, info);
    return true;
}

} // namespace

bool exportPdf(const ReportDocument &document, const QString &fileName, QString *error)
{
    OutputFile file(fileName);
    if (!file.open(error))
        return false;
    if (!writePdf(document, file.device())) {
        *error = u"Impossibile creare il PDF %1: manca il carattere del rapporto."_s.arg(fileName);
        return false;
    }
    return file.commit(error);
}
