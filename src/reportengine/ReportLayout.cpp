#include "reportengine/ReportLayout.h"

#include "reportengine/LayoutEngine.h"

using namespace Qt::StringLiterals;
using layout::Engine;
using layout::LateContext;
using layout::Shared;

ReportLayout::ReportLayout(ReportDefinition definition, const QLocale &locale)
    : m_definition(std::move(definition)), m_locale(locale)
{
}

bool ReportLayout::run(RowSource &rows, ReportDocument *document, QString *error)
{
    *document = ReportDocument();
    document->title = m_definition.title;
    document->page = m_definition.page;
    document->sheetCaptions = m_definition.sheetCaptions;
    Shared shared(document, m_locale);
    shared.progress = m_progress;
    Engine engine(m_definition, shared, nullptr);
    const bool ok = engine.run(rows);
    m_cancelled = shared.cancelled;
    if (!ok) {
        *document = ReportDocument();
        if (error)
            *error = m_cancelled ? u"Preparazione del report annullata."_s
                                 : u"Preparazione del report non riuscita: "_s + shared.error;
        return false;
    }
    const int count = document->pageCount();
    for (const Shared::Late &late : shared.late) {
        const LateContext context(late.page + 1, count);
        document->pages[size_t(late.page)].texts.setText(
            late.text, shared.format(late.item->compute ? late.item->compute(context) : QVariant(),
                                     late.item->pattern));
    }
    document->fonts = shared.measure.fonts();
    return true;
}

bool layOutReport(const ReportDefinition &definition, RowSource &rows, const QLocale &locale,
                  ReportDocument *document, QString *error, const LayoutProgressCallback &progress)
{
    ReportLayout layout(definition, locale);
    layout.setProgress(progress);
    return layout.run(rows, document, error);
}
