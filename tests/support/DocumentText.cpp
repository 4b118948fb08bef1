#include "support/DocumentText.h"

using namespace Qt::StringLiterals;

QString documentText(const ReportDocument &document)
{
    QString text;
    for (int page = 0; page < document.pageCount(); ++page)
        text += document.toText(page) + u"\f\n"_s;
    return text;
}
