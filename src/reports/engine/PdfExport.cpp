#include "reports/engine/PagePainter.h"
#include "reports/engine/ReportExport.h"

#include <QPdfWriter>
#include <QSaveFile>

using namespace Qt::StringLiterals;

bool exportPdf(const ReportDocument &document, const QString &fileName, QString *error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = u"Impossibile creare il file %1: %2"_s.arg(fileName, file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(document.title);
        if (!paintReport(&writer, document)) {
            *error = u"Impossibile creare il PDF %1."_s.arg(fileName);
            return false;
        }
    }
    if (!file.commit()) {
        *error = u"Impossibile scrivere il file %1: %2"_s.arg(fileName, file.errorString());
        return false;
    }
    return true;
}
