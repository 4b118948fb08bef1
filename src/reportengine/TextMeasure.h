#pragma once

#include "reportengine/ReportDefinition.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QStringList>

#include <memory>
#include <vector>

// The family of the report fonts that name none: shipped by Debian's fonts-dejavu-core, so that
// every machine lays out the same pages.
QString defaultReportFamily();

// The Qt font of a report font at its point size.
QFont qtFont(const ReportFont &font);

// Measures texts in points at one fixed resolution, whatever the screen or printer, so that a
// report comes out with the same pages everywhere.
class TextMeasure {
public:
    TextMeasure();
    ~TextMeasure();

    // The index of the font among those measured, added when new.
    int fontIndex(const ReportFont &font);
    const std::vector<ReportFont> &fonts() const { return m_reportFonts; }

    double width(int font, const QString &text);
    double lineHeight(int font) const;
    // The text shortened with an ellipsis to fit the width.
    QString elided(int font, const QString &text, double width);
    // The font, or the same one made smaller by quarter points, in which the text fits the width.
    int fitting(int font, const QString &text, double width);
    // The text broken at spaces (or anywhere in a word too long) into lines no wider than width.
    QStringList wrapped(int font, const QString &text, double width);

private:
    struct Measured;
    Measured &measured(int font);

    QImage m_device;
    std::vector<ReportFont> m_reportFonts;
    std::vector<std::unique_ptr<Measured>> m_fonts;
};
