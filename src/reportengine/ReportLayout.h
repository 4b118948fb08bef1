#pragma once

#include "reportengine/ReportDefinition.h"
#include "reportengine/ReportDocument.h"
#include "reportengine/RowSource.h"

#include <QLocale>

#include <functional>

struct LayoutProgress {
    qint64 rows = 0;
    int pages = 0;
    qint64 totalRows = -1; // -1 when the source cannot tell in advance
};
// Called every few hundred rows; returning false cancels the layout.
using LayoutProgressCallback = std::function<bool(const LayoutProgress &)>;

// Turns a definition and its rows into pages, once: page totals and running sums are known at
// every page foot, the page count and the table of contents are filled in once all pages
// exist. Group sums shown on group headers come from a first pass over rows kept in memory;
// other reports stream their rows.
class ReportLayout {
public:
    ReportLayout(ReportDefinition definition, const QLocale &locale);

    void setProgress(LayoutProgressCallback callback) { m_progress = std::move(callback); }

    // Lays the rows out into *document. On failure or cancellation returns false with an
    // Italian reason in *error and leaves *document empty.
    bool run(RowSource &rows, ReportDocument *document, QString *error);
    bool wasCancelled() const { return m_cancelled; }

private:
    ReportDefinition m_definition;
    QLocale m_locale;
    LayoutProgressCallback m_progress;
    bool m_cancelled = false;
};

// Lays out a report in one call; see ReportLayout::run.
bool layOutReport(const ReportDefinition &definition, RowSource &rows, const QLocale &locale,
                  ReportDocument *document, QString *error,
                  const LayoutProgressCallback &progress = {});
