#include "dashboard/DashboardCharts.h"

#include "data/PatternFormatter.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
#include <QChart>
#include <QDateTimeAxis>
#include <QGraphicsScene>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QLineSeries>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QValueAxis>

using namespace Qt::StringLiterals;

namespace {

// Blue and orange tell apart under every common colour blindness and print as dark and light.
const QColor Blue(0, 114, 178);
const QColor Orange(230, 159, 0);
const QColor Grey(110, 110, 110);
// The height of an axis with nothing to show, in euros.
constexpr double EmptyRange = 100;

double asDouble(Money amount)
{
    // Only for drawing: the figures themselves stay exact.
    return double(amount.units()) / double(Money::UnitsPerCurrency);
}

QString amountText(Money amount)
{
    return PatternFormatter().format(amount, u"#,##0.00"_s);
}

QChart *newChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setLocalizeNumbers(true);
    chart->setLocale(appLocale());
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

QLineSeries *dailyLine(const QList<Money> &days, const QString &name)
{
    auto *line = new QLineSeries;
    line->setName(name);
    for (qsizetype d = 0; d < days.size(); ++d)
        line->append(double(d), asDouble(days[d]));
    return line;
}

QValueAxis *amountAxis()
{
    auto *axis = new QValueAxis;
    axis->setLabelFormat(u"%.0f"_s);
    return axis;
}

constexpr qsizetype ItemNameLength = 24;

// The text cut in its middle to at most length characters, so that both ends still tell it.
QString elidedInTheMiddle(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    const qsizetype head = (length - 1) / 2;
    return text.left(head) + u'…' + text.right(length - 1 - head);
}

} // namespace

QChart *cashChart(const DashboardFigures &figures)
{
    QChart *chart = newChart(u"Cassa e banca giorno per giorno"_s);
    // The year's line stops at the working date; the year before runs through.
    QLineSeries *current =
        dailyLine(figures.dailyCash.mid(0, figures.year.start.daysTo(figures.date) + 1),
                  u"Esercizio "_s + figures.year.label);
    current->setPen(QPen(Blue, 2));
    auto *days = new QValueAxis;
    days->setRange(0, double(std::max<qsizetype>(figures.dailyCash.size(), 2) - 1));
    days->setLabelFormat(u"%.0f"_s);
    days->setTitleText(u"giorni dall'inizio dell'esercizio"_s);
    QValueAxis *amounts = amountAxis();
    chart->addAxis(days, Qt::AlignBottom);
    chart->addAxis(amounts, Qt::AlignLeft);
    if (!figures.dailyCashBefore.isEmpty()) {
        QLineSeries *before = dailyLine(figures.dailyCashBefore, u"Anno prima"_s);
        QPen pen(Orange.lighter(115), 1.5, Qt::DashLine);
        before->setPen(pen);
        chart->addSeries(before);
        before->attachAxis(days);
        before->attachAxis(amounts);
    }
    chart->addSeries(current);
    current->attachAxis(days);
    current->attachAxis(amounts);
    // A flat line (a quiet year) still needs an axis with some height.
    QList<Money> all = figures.dailyCash + figures.dailyCashBefore;
    const auto [low, high] = std::minmax_element(all.cbegin(), all.cend());
    if (low != all.cend())
        amounts->setRange(asDouble(*low) - (*low == *high ? EmptyRange : 0),
                          asDouble(*high) + (*low == *high ? EmptyRange : 0));
    amounts->applyNiceNumbers();
    return chart;
}

QChart *monthsChart(const DashboardFigures &figures)
{
    QChart *chart = newChart(u"Ricavi e costi per mese"_s);
    auto *revenues = new QBarSet(u"Ricavi"_s);
    auto *costs = new QBarSet(u"Costi"_s);
    revenues->setColor(Blue);
    costs->setColor(Orange);
    QStringList months;
    auto *running = new QLineSeries;
    running->setName(u"Risultato progressivo"_s);
    running->setPen(QPen(Grey, 2, Qt::DashDotLine));
    const std::array<Money, 12> result = figures.runningResult();
    for (int month = 0; month < 12; ++month) {
        *revenues << asDouble(figures.revenues[month]);
        *costs << asDouble(figures.costs[month]);
        months << appLocale().monthName(figures.monthStart(month).month(), QLocale::ShortFormat);
        running->append(double(month), asDouble(result[month]));
    }
    auto *bars = new QBarSeries;
    bars->append(revenues);
    bars->append(costs);
    chart->addSeries(bars);
    chart->addSeries(running);
    auto *axis = new QBarCategoryAxis;
    axis->append(months);
    QValueAxis *amounts = amountAxis();
    chart->addAxis(axis, Qt::AlignBottom);
    chart->addAxis(amounts, Qt::AlignLeft);
    for (QAbstractSeries *series :
         {static_cast<QAbstractSeries *>(bars), static_cast<QAbstractSeries *>(running)}) {
        series->attachAxis(axis);
        series->attachAxis(amounts);
    }
    // The axis takes the bars' range by itself; the running result may go beyond it.
    double low = 0;
    double high = EmptyRange;
    for (int month = 0; month < 12; ++month)
        for (const Money amount : {figures.revenues[month], figures.costs[month], result[month]}) {
            low = std::min(low, asDouble(amount));
            high = std::max(high, asDouble(amount));
        }
    amounts->setRange(low, high);
    amounts->applyNiceNumbers();
    return chart;
}

QString itemLabel(const DashboardItem &item)
{
    // The amount first: when the axis has too little room, it cuts the end of the name.
    return amountText(item.amount) + u"  "_s + item.code + u' ' +
           elidedInTheMiddle(item.description, ItemNameLength);
}

QChart *itemsChart(const QList<DashboardItem> &items, const QString &title, bool costs)
{
    QChart *chart = newChart(title);
    auto *set = new QBarSet(title);
    set->setColor(costs ? Orange : Blue);
    QStringList names;
    // The largest at the top: horizontal bars are drawn from the bottom. Each label carries its
    // account's code (names repeat across areas) and its amount, formatted and never clipped.
    for (qsizetype i = items.size() - 1; i >= 0; --i) {
        *set << asDouble(items[i].amount);
        names << itemLabel(items[i]);
    }
    auto *series = new QHorizontalBarSeries;
    series->append(set);
    chart->addSeries(series);
    auto *axis = new QBarCategoryAxis;
    axis->append(names);
    QValueAxis *amounts = amountAxis();
    chart->addAxis(axis, Qt::AlignLeft);
    chart->addAxis(amounts, Qt::AlignBottom);
    series->attachAxis(axis);
    series->attachAxis(amounts);
    // A year without such items still gets an axis to draw.
    if (items.isEmpty())
        amounts->setRange(0, EmptyRange);
    amounts->applyNiceNumbers();
    chart->legend()->hide();
    return chart;
}

QStringList keyFigureLines(const DashboardFigures &figures)
{
    const QString date = figures.date.toString(u"dd/MM/yyyy"_s);
    const auto line = [](const QString &caption, const KeyFigure &figure) {
        return caption + u": "_s + amountText(figure.now) +
               (figure.yearEarlier ? u" (un anno prima "_s + amountText(*figure.yearEarlier) + u')'
                                   : QString());
    };
    return {line(u"Cassa e banca al "_s + date, figures.cash),
            line(u"Risultato dell'esercizio al "_s + date, figures.result),
            line(u"Crediti aperti"_s, figures.receivables),
            line(u"Debiti aperti"_s, figures.payables)};
}

void paintDashboardPage(QPainter &painter, const QRectF &sheet, const DashboardFigures &figures,
                        const QString &organisation)
{
    const double margin = sheet.width() * 0.035;
    const QRectF page = sheet.adjusted(margin, margin, -margin, -margin);
    painter.save();
    QFont title(u"DejaVu Sans"_s);
    title.setPixelSize(int(page.height() / 42));
    title.setBold(true);
    painter.setFont(title);
    const double line = page.height() / 28;
    painter.drawText(QRectF(page.left(), page.top(), page.width(), line), Qt::AlignLeft,
                     organisation);
    painter.drawText(QRectF(page.left(), page.top(), page.width(), line), Qt::AlignRight,
                     u"Cruscotto dell'esercizio %1 al %2"_s.arg(
                         figures.year.label, figures.date.toString(u"dd/MM/yyyy"_s)));
    QFont text = title;
    text.setBold(false);
    text.setPixelSize(int(page.height() / 56));
    painter.setFont(text);
    const QStringList keys = keyFigureLines(figures);
    for (int k = 0; k < keys.size(); ++k)
        painter.drawText(QRectF(page.left() + (k % 2) * page.width() / 2,
                                page.top() + line * (1.2 + 0.8 * (k / 2)), page.width() / 2, line),
                         Qt::AlignLeft, keys[k]);
    const double top = page.top() + line * 3;
    const double width = page.width() / 2;
    const double height = (page.bottom() - top) / 2;
    const QList<QChart *> charts{cashChart(figures), monthsChart(figures),
                                 itemsChart(figures.largestCosts, u"Costi maggiori"_s, true),
                                 itemsChart(figures.largestRevenues, u"Ricavi maggiori"_s, false)};
    // Charts are laid out at a screen's size, whatever the device, and scaled onto the page, so
    // that their labels keep their proportions at 96 dpi as at 300.
    const double scale = sheet.width() / 1123.0;
    QGraphicsScene scene;
    for (int c = 0; c < charts.size(); ++c) {
        const QRectF target(page.left() + (c % 2) * width, top + (c / 2) * height, width, height);
        charts[c]->resize(target.size() / scale);
        scene.addItem(charts[c]);
        scene.setSceneRect(charts[c]->geometry());
        scene.render(&painter, target, charts[c]->geometry());
        scene.removeItem(charts[c]);
        delete charts[c];
    }
    painter.restore();
}

std::optional<PictureFormat> pictureFormatOf(const QString &path)
{
    const QString suffix = path.section(u'.', -1).toLower();
    if (suffix == u"pdf"_s)
        return PictureFormat::Pdf;
    if (suffix == u"png"_s)
        return PictureFormat::Png;
    if (suffix == u"svg"_s)
        return PictureFormat::Svg;
    return std::nullopt;
}

QByteArray pictureBytes(PictureFormat format, const QSizeF &millimetres, const PagePainting &paint)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const auto pixels = [&](double dpi) {
        return QSize(qRound(millimetres.width() / 25.4 * dpi),
                     qRound(millimetres.height() / 25.4 * dpi));
    };
    if (format == PictureFormat::Pdf) {
        QPdfWriter pdf(&buffer);
        pdf.setPageSize(QPageSize(millimetres, QPageSize::Millimeter));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setResolution(300);
        QPainter painter(&pdf);
        paint(painter, QRectF(QPointF(0, 0), QSizeF(pixels(300))));
    } else if (format == PictureFormat::Svg) {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(pixels(96));
        svg.setViewBox(QRect(QPoint(0, 0), pixels(96)));
        svg.setResolution(96);
        QPainter painter(&svg);
        paint(painter, QRectF(QPointF(0, 0), QSizeF(pixels(96))));
    } else {
        QImage image(pixels(150), QImage::Format_RGB32);
        image.setDotsPerMeterX(qRound(150 / 0.0254));
        image.setDotsPerMeterY(qRound(150 / 0.0254));
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            paint(painter, QRectF(image.rect()));
        }
        image.save(&buffer, "PNG");
    }
    return bytes;
}
