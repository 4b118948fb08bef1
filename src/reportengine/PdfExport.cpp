#include "data/OutputFile.h"
#include "reportengine/PagePainter.h"
#include "reportengine/ReportExport.h"

#include <QPdfWriter>

using namespace Qt::StringLiterals;

bool exportPdf(const ReportDocument &document, const QString &fileName, QString *error)
{
    OutputFile file(fileName);
    if (!file.open(error))
        return false;
    {
        QPdfWriter writer(&file.device());
        writer.setTitle(document.title);
        if (!paintReport(&writer, document)) {
            *error = u"Impossibile creare il PDF %1."_s.arg(fileName);
            return false;
        }
    }
    return file.commit(error);
}
