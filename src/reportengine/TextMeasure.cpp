#include "reportengine/TextMeasure.h"

#include <QFontMetricsF>
#include <QTextLayout>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// Dots per inch of the measuring device; a point is MeasureDpi / 72 of its dots.
constexpr double MeasureDpi = 1200.0;
constexpr double DotsPerPoint = MeasureDpi / 72.0;
constexpr int WidthCacheLimit = 20000;
constexpr char16_t LatinEnd = 0x180;

} // namespace

QString defaultReportFamily()
{
    return u"DejaVu Sans"_s;
}

QFont qtFont(const ReportFont &font)
{
    QFont result(font.family.isEmpty() ? defaultReportFamily() : font.family);
    result.setPointSizeF(font.pointSize);
    result.setBold(font.bold);
    result.setItalic(font.italic);
    result.setHintingPreference(QFont::PreferNoHinting);
    result.setKerning(false);
    return result;
}

struct TextMeasure::Measured {
    QFont font;
    QFontMetricsF metrics;
    QHash<QString, double> widths;
    double widestLatin = 0.0; // points
    // Dots each Latin letter moves on by, as the shaper gives them: kerning is off, so a text of
    // these letters is as wide as their advances added up, but for the ligatures.
    std::array<double, LatinEnd> advances{};
    struct Ligature {
        QString letters;
        double change; // dots: the ligature's advance less its letters'
    };
    std::vector<Ligature> ligatures; // the longest first, as the shaper tries them

    Measured(const QFont &qt, QPaintDevice *device) : font(qt), metrics(qt, device)
    {
        for (char16_t c = 0x20; c < LatinEnd; ++c) {
            advances[c] = metrics.horizontalAdvance(QChar(c));
            widestLatin = std::max(widestLatin, advances[c] / DotsPerPoint);
        }
        for (const QString &letters : {u"ffi"_s, u"ffl"_s, u"ff"_s, u"fi"_s, u"fl"_s}) {
            double separate = 0.0;
            for (const QChar c : letters)
                separate += advances[c.unicode()];
            if (const double change = metrics.horizontalAdvance(letters) - separate; change != 0.0)
                ligatures.push_back({letters, change});
        }
    }

    // A letter the shaper gives its own advance: not a control character, which it skips, nor
    // a soft hyphen, which shows only where a line breaks.
    static bool isLatin(QChar c)
    {
        return c.unicode() >= 0x20 && c.unicode() < LatinEnd &&
               (c.unicode() < 0x7f || c.unicode() >= 0xa0) && c != QChar::SoftHyphen;
    }

    // True when the text is Latin and even its widest letters would fit, so that it need not
    // be measured (most amounts, dates and short names).
    bool surelyFits(const QString &text, double width) const
    {
        if (text.size() * widestLatin > width)
            return false;
        return std::all_of(text.begin(), text.end(), isLatin);
    }

    // The width in points of a Latin text, added up from its letters; nothing for another text.
    std::optional<double> latinWidth(QStringView text) const
    {
        double dots = 0.0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (!isLatin(text[i]))
                return std::nullopt;
            dots += advances[text[i].unicode()];
            if (text[i] != u'f')
                continue;
            for (const Ligature &ligature : ligatures)
                if (text.sliced(i).startsWith(ligature.letters)) {
                    for (qsizetype k = 1; k < ligature.letters.size(); ++k)
                        dots += advances[text[i + k].unicode()];
                    dots += ligature.change;
                    i += ligature.letters.size() - 1;
                    break;
                }
        }
        return dots / DotsPerPoint;
    }
};

TextMeasure::TextMeasure() : m_device(1, 1, QImage::Format_RGB32)
{
    const int dotsPerMeter = qRound(MeasureDpi / 0.0254);
    m_device.setDotsPerMeterX(dotsPerMeter);
    m_device.setDotsPerMeterY(dotsPerMeter);
}

int TextMeasure::fontIndex(const ReportFont &font)
{
    for (size_t i = 0; i < m_reportFonts.size(); ++i) {
        const ReportFont &known = m_reportFonts[i];
        if (known.family == font.family && known.pointSize == font.pointSize &&
            known.bold == font.bold && known.italic == font.italic)
            return int(i);
    }
    const QFont qt = qtFont(font);
    m_reportFonts.push_back(font);
    m_fonts.push_back(std::make_unique<Measured>(qt, &m_device));
    return int(m_reportFonts.size() - 1);
}

TextMeasure::~TextMeasure() = default;

TextMeasure::Measured &TextMeasure::measured(int font)
{
    return *m_fonts.at(size_t(font >= 0 && size_t(font) < m_fonts.size() ? font : 0));
}

double TextMeasure::width(int font, const QString &text)
{
    Measured &m = measured(font);
    if (const std::optional<double> points = m.latinWidth(text))
        return *points;
    if (const auto found = m.widths.constFind(text); found != m.widths.constEnd())
        return *found;
    const double points = m.metrics.horizontalAdvance(text) / DotsPerPoint;
    if (m.widths.size() > WidthCacheLimit)
        m.widths.clear();
    m.widths.insert(text, points);
    return points;
}

double TextMeasure::lineHeight(int font) const
{
    const Measured &m = *m_fonts.at(size_t(font >= 0 && size_t(font) < m_fonts.size() ? font : 0));
    return m.metrics.height() / DotsPerPoint;
}

QString TextMeasure::elided(int font, const QString &text, double width)
{
    if (measured(font).surelyFits(text, width) || this->width(font, text) <= width)
        return text;
    return measured(font).metrics.elidedText(text, Qt::ElideRight, width * DotsPerPoint);
}

int TextMeasure::fitting(int font, const QString &text, double width)
{
    if (width <= 0.0 || measured(font).surelyFits(text, width))
        return font;
    const double needed = this->width(font, text);
    if (needed <= width)
        return font;
    ReportFont smaller = m_reportFonts.at(size_t(font));
    // In quarter points, so that the amounts of a report share few sizes.
    smaller.pointSize = std::floor(smaller.pointSize * width / needed * 4.0) / 4.0;
    int index = fontIndex(smaller);
    while (this->width(index, text) > width && smaller.pointSize > 1.0) {
        smaller.pointSize -= 0.25;
        index = fontIndex(smaller);
    }
    return index;
}

QStringList TextMeasure::wrapped(int font, const QString &text, double width)
{
    if (!text.contains(u'\n') &&
        (measured(font).surelyFits(text, width) || this->width(font, text) <= width))
        return {text};
    QTextLayout layout(text, measured(font).font, &m_device);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width * DotsPerPoint);
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}
