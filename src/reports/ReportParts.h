#pragma once

#include "reportengine/ReportDefinition.h"

#include <QDate>
#include <QString>
#include <QStringView>

// Patterns and bands shared by the accounting reports.

// Amounts with a dash for zero, and the reports' dates.
inline constexpr QStringView AmountPattern = u"#,#.00;-#,#.00;-";
inline constexpr QStringView ReportDatePattern = u"dd/mm/yyyy";

// "dal 01/01/2024 al 31/12/2024".
QString periodText(const QDate &from, const QDate &to);

// A page footer with "Pagina 3 di 12" centred between left and left + width.
Band pageOfCountFooter(double left, double width, int font = 0);

// Fonts of the movement lists and account cards, by index.
enum ListFont { ListBody = 0, ListTitle, ListHeading, ListCaption };
std::vector<ReportFont> listReportFonts();

// A column of a list report: its caption and where its values stand in a line.
struct ListColumn {
    QString caption;
    double left = 0.0;
    double width = 0.0;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;

    QRectF at(double y, double height) const { return QRectF(left, y, width, height); }
};

// The page header of a list report between left and right: the title, the organisation and the
// period on the right, then the column captions between two rules. extra items (such as a page
// number) join the title's lines.
Band listPageHeader(const QString &title, const QString &organisation, const QString &period,
                    double left, double right, const std::vector<ListColumn> &columns,
                    std::vector<ReportItem> extra = {});
