#include "ui/PreviewDocument.h"

#include "ui/ReportOutput.h"

using namespace Qt::StringLiterals;

bool PreviewDocument::write(Format format, const QString &path, QString *error) const
{
    if (format == Format::Pdf)
        return writePdf(*this, path, error);
    if (error)
        *error = u"Questo report non si può esportare in questo formato."_s;
    return false;
}
