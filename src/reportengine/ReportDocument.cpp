#include "reportengine/ReportDocument.h"

#include <algorithm>
#include <cmath>
#include <map>

using namespace Qt::StringLiterals;

namespace {

QString number(double value)
{
    return QString::number(value, 'f', 1);
}

QString rectText(const QRectF &rect)
{
    return number(rect.x()) + u',' + number(rect.y()) + u' ' + number(rect.width()) + u'x' +
           number(rect.height());
}

QString alignmentText(quint16 alignment)
{
    if (alignment & Qt::AlignRight)
        return u"R"_s;
    if (alignment & Qt::AlignHCenter)
        return u"C"_s;
    return u"L"_s;
}

} // namespace

void TextRuns::add(QStringView text, const QRectF &box, quint16 font, quint16 alignment)
{
    m_runs.push_back({box, quint32(m_characters.size()), quint32(text.size()), font, alignment});
    m_characters += text;
}

void TextRuns::take(TextRuns &&other, double dx, double dy)
{
    const auto offset = quint32(m_characters.size());
    m_characters += other.m_characters;
    for (TextRun run : other.m_runs) {
        run.box.translate(dx, dy);
        run.start += offset;
        m_runs.push_back(run);
    }
    other = {};
}

void TextRuns::setText(size_t index, QStringView text)
{
    m_runs[index].start = quint32(m_characters.size());
    m_runs[index].length = quint32(text.size());
    m_characters += text;
}

void TextRuns::shrinkToFit()
{
    m_characters.squeeze();
    m_runs.shrink_to_fit();
}

QString ReportDocument::toText(int pageIndex) const
{
    const ReportPage &page = pages.at(size_t(pageIndex));
    QString out;
    for (const TextRun &run : page.texts)
        out += u"T "_s + rectText(run.box) + u' ' + alignmentText(run.alignment) + u" f"_s +
               QString::number(run.font) + u" \""_s + page.texts.text(run).toString() + u"\"\n"_s;
    for (const LineShape &shape : page.lines)
        out += u"L "_s + number(shape.line.x1()) + u',' + number(shape.line.y1()) + u' ' +
               number(shape.line.x2()) + u',' + number(shape.line.y2()) + u'\n';
    for (const BoxShape &shape : page.boxes)
        out += u"B "_s + rectText(shape.rect) + u'\n';
    return out;
}

QStringList ReportDocument::textLines(int pageIndex) const
{
    std::map<long long, std::vector<const TextRun *>> byHeight;
    const TextRuns &runsOfPage = pages.at(size_t(pageIndex)).texts;
    for (const TextRun &run : runsOfPage)
        byHeight[std::llround(run.box.center().y() * 10)].push_back(&run);
    QStringList lines;
    for (auto &[height, runs] : byHeight) {
        std::stable_sort(runs.begin(), runs.end(), [](const TextRun *a, const TextRun *b) {
            return a->box.x() < b->box.x();
        });
        QStringList texts;
        for (const TextRun *run : runs)
            texts << runsOfPage.text(*run).toString();
        lines << texts.join(u" | "_s);
    }
    return lines;
}
