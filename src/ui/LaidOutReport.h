#pragma once

#include "reportengine/ReportDocument.h"
#include "reportengine/ReportLayout.h"
#include "ui/PreviewDocument.h"

class ReportProgressDialog;

// Pages laid out by the report engine, for the preview, the printer and the export files.
class LaidOutReport : public PreviewDocument {
public:
    explicit LaidOutReport(ReportDocument document);

    int pageCount() const override { return m_document.pageCount(); }
    QPageLayout pageLayout() const override;
    void paintPage(QPainter &painter, int index) const override;
    QList<ContentsEntry> contents() const override;
    bool offers(Format) const override { return true; }
    bool write(Format format, const QString &path, QString *error) const override;

    const ReportDocument &document() const { return m_document; }

private:
    ReportDocument m_document;
};

// The engine's progress, shown in the dialog; false once the user cancelled.
LayoutProgressCallback progressShownIn(ReportProgressDialog &dialog);
