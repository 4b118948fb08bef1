#pragma once

#include <QList>
#include <QPageLayout>
#include <QString>

class QPainter;

// Laid-out report pages, as the preview, the printer and the export files receive them. The
// pages exist before any of them is shown; drawing and writing never query data.
class PreviewDocument {
public:
    // Export formats besides the PDF that every document gives through its painting.
    enum class Format { Pdf, Excel, Rtf, Html };
    struct ContentsEntry {
        QString title;
        int page = 0; // 0-based
        int level = 0;
    };

    virtual ~PreviewDocument() = default;

    virtual int pageCount() const = 0;
    // Page size and orientation; the pages carry their own margins.
    virtual QPageLayout pageLayout() const = 0;
    // Paints page index (0-based) with the painter's origin at the page's top-left corner; the
    // document scales itself to the resolution of the painter's device, so that every device
    // shows the same page.
    virtual void paintPage(QPainter &painter, int index) const = 0;
    // The table of contents; empty when the report keeps none.
    virtual QList<ContentsEntry> contents() const { return {}; }
    // Whether write() produces the format; PDF is always produced through paintPage.
    virtual bool offers(Format format) const { return format == Format::Pdf; }
    // Writes the pages in a format the document offers. Returns false with the reason in *error.
    virtual bool write(Format format, const QString &path, QString *error) const;
};
