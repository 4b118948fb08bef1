#pragma once

#include "reportengine/ReportDocument.h"

class QPainter;

// Draws one laid-out page on any painter (printer, preview). The painter's origin must be
// the page's top-left corner; its device's resolution gives the scale, so every device shows
// the same page.
void paintReportPage(QPainter &painter, const ReportDocument &document, int pageIndex);
