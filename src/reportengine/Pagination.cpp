// The main report's pages: breaks, page bands and what a band leaves on its page.

#include "reportengine/LayoutEngine.h"

#include <algorithm>

namespace layout {

void Engine::ensureSpace(double height, bool breakBefore)
{
    const bool pageUsed = m_y > m_bodyTop + Epsilon;
    if (pageUsed && (breakBefore || m_pendingBreak || m_y + height > m_bodyBottom + Epsilon)) {
        closePage();
        openPage();
    }
    m_pendingBreak = false;
}

void Engine::openPage()
{
    m_shared.document->pages.emplace_back();
    ++m_pageNumber;
    resetAccumulators(Summary::Kind::PageTotal, 0);
    m_y = m_def.page.margins.top();
    m_bodyTop = m_y;
    m_y += placeBand(m_def.pageHeader, Role::PageHeader, nullptr);
    m_bodyTop = m_y;
    m_bodyBottom = m_pageHeight - m_def.page.margins.bottom() - m_def.pageFooter.height;
}

void Engine::closePage()
{
    m_y = m_bodyBottom;
    placeBand(m_def.pageFooter, Role::PageFooter, nullptr);
    ReportPage &page = m_shared.document->pages.back();
    page.texts.shrinkToFit();
    page.lines.shrink_to_fit();
    page.rows.shrink_to_fit();
}

void Engine::commit(Placed &&placed, double dx, double y)
{
    const int pageIndex = int(m_shared.document->pages.size()) - 1;
    ReportPage &page = m_shared.document->pages.back();
    for (const auto &[index, item] : placed.late)
        m_shared.late.push_back({pageIndex, index + page.texts.size(), item});
    page.texts.take(std::move(placed.texts), dx, y);
    for (LineShape &shape : placed.lines) {
        shape.line.translate(dx, y);
        page.lines.push_back(shape);
    }
    for (BoxShape &shape : placed.boxes) {
        shape.rect.translate(dx, y);
        page.boxes.push_back(shape);
    }
    for (SheetRow &row : placed.rows)
        page.rows.push_back(std::move(row));
    for (TocEntry &entry : placed.toc) {
        entry.page = pageIndex;
        entry.y += y;
        m_shared.document->toc.push_back(std::move(entry));
    }
}

} // namespace layout
