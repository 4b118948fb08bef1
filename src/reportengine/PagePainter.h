#pragma once

#include "reportengine/ReportDocument.h"

class QPagedPaintDevice;
class QPainter;

// Draws one laid-out page on any painter (printer, preview, PDF). The painter's origin must be
// the page's top-left corner; its device's resolution gives the scale, so every device shows
// the same page.
void paintReportPage(QPainter &painter, const ReportDocument &document, int pageIndex);

// Sets the device's page size, orientation and zero margins from the document and draws every
// page on it (a PDF writer, or a printer set to full-page mode). Returns false when the device
// cannot be painted on.
bool paintReport(QPagedPaintDevice *device, const ReportDocument &document);
