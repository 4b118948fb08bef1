#include "dashboard/DashboardWindow.h"

#include "dashboard/DashboardCharts.h"
#include "data/EngineErrors.h"
#include "data/OutputFile.h"
#include "data/SqlText.h"
#include "reports/JournalBook.h"
#include "ui/Help.h"
#include "ui/MessageService.h"
#include "ui/WindowUtils.h"

#include <QAbstractBarSeries>
#include <QAction>
#include <QBarSet>
#include <QChartView>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

enum Chart { Cash, Months, Costs, Revenues, ChartCount };

// A chart of the largest items: Up and Down move the selected bar, Enter opens its account.
class ItemsView : public QChartView {
public:
    std::function<void(int)> activated;
    QList<DashboardItem> items;

    using QChartView::QChartView;

    void showItems(QChart *newChart, const QList<DashboardItem> &shown)
    {
        items = shown;
        m_current = shown.isEmpty() ? -1 : 0;
        setChart(newChart);
        if (QBarSet *bars = barSet()) {
            bars->setSelectedColor(bars->color().darker(150));
            connect(static_cast<QAbstractBarSeries *>(chart()->series().first()),
                    &QAbstractBarSeries::doubleClicked, this,
                    [this](int index, QBarSet *) { activated(itemAt(index)); });
        }
        select();
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (items.isEmpty())
            return QChartView::keyPressEvent(event);
        switch (event->key()) {
        case Qt::Key_Up:
            m_current = std::max(0, m_current - 1);
            break;
        case Qt::Key_Down:
            m_current = std::min(int(items.size()) - 1, m_current + 1);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            activated(m_current);
            return;
        default:
            return QChartView::keyPressEvent(event);
        }
        select();
    }

private:
    QBarSet *barSet() const
    {
        const auto series = chart()->series();
        auto *bars =
            series.isEmpty() ? nullptr : qobject_cast<QAbstractBarSeries *>(series.first());
        return bars && !bars->barSets().isEmpty() ? bars->barSets().first() : nullptr;
    }
    // The bars go from the bottom up, the items from the largest down.
    int itemAt(int bar) const { return int(items.size()) - 1 - bar; }

    void select()
    {
        if (QBarSet *bars = barSet()) {
            bars->deselectAllBars();
            if (m_current >= 0)
                bars->selectBar(itemAt(m_current));
        }
    }

    int m_current = -1;
};

} // namespace

DashboardWindow::DashboardWindow(FiscalEnvironment &environment, CardOpener openCards,
                                 QWidget *parent)
    : QDialog(parent), m_environment(environment), m_openCards(std::move(openCards)),
      m_title(new QLabel(this))
{
    setObjectName(u"DashboardWindow"_s);
    setWindowTitle(u"Cruscotto"_s);
    resize(1200, 820);
    m_title->setObjectName(u"title"_s);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    m_title->setFont(bold);
    auto *keys = new QGridLayout;
    for (int k = 0; k < 4; ++k) {
        auto *label = new QLabel(this);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_keys << label;
        keys->addWidget(label, k / 2, k % 2);
    }
    auto *charts = new QGridLayout;
    for (int c = 0; c < ChartCount; ++c) {
        QChartView *view = c >= Costs ? new ItemsView(this) : new QChartView(this);
        view->setObjectName(u"chart%1"_s.arg(c));
        view->setRenderHint(QPainter::Antialiasing);
        view->setFocusPolicy(Qt::StrongFocus);
        view->setContextMenuPolicy(Qt::ActionsContextMenu);
        auto *copy = new QAction(u"Copia"_s, view);
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetShortcut);
        connect(copy, &QAction::triggered, this, [this, view] { copyChart(view); });
        auto *save = new QAction(u"Salva come…"_s, view);
        save->setShortcut(QKeySequence::Save);
        save->setShortcutContext(Qt::WidgetShortcut);
        connect(save, &QAction::triggered, this, [this, view] { saveChart(view); });
        view->addActions({copy, save});
        if (auto *items = dynamic_cast<ItemsView *>(view))
            items->activated = [this, items](int index) {
                if (index >= 0 && index < items->items.size() && m_openCards)
                    m_openCards(items->items[index].description);
            };
        m_views << view;
        charts->addWidget(view, c / 2, c % 2);
    }
    auto *buttons = new QDialogButtonBox(this);
    addHelpButton(buttons, HelpContext::Cruscotto);
    QPushButton *printButton = buttons->addButton(u"&Stampa"_s, QDialogButtonBox::ActionRole);
    connect(printButton, &QPushButton::clicked, this, &DashboardWindow::print);
    QPushButton *savePage = buttons->addButton(u"Salva &pagina…"_s, QDialogButtonBox::ActionRole);
    savePage->setObjectName(u"savePage"_s);
    connect(savePage, &QPushButton::clicked, this, &DashboardWindow::savePage);
    auto *savePageKey = new QAction(this);
    savePageKey->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    connect(savePageKey, &QAction::triggered, this, &DashboardWindow::savePage);
    addAction(savePageKey);
    QPushButton *reload = buttons->addButton(u"&Aggiorna"_s, QDialogButtonBox::ActionRole);
    connect(reload, &QPushButton::clicked, this, &DashboardWindow::refresh);
    QPushButton *close = buttons->addButton(u"Chiudi"_s, QDialogButtonBox::RejectRole);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    for (QPushButton *button : {printButton, savePage, reload, close})
        button->setAutoDefault(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addLayout(keys);
    layout->addLayout(charts, 1);
    layout->addWidget(new QLabel(u"[Tab] Grafico successivo - [Su/Giù] Voce - [Invio] Apre la "
                                 u"scheda - [Ctrl+C] Copia - [Ctrl+S] Salva il grafico - "
                                 u"[Ctrl+Maiusc+S] Salva la pagina intera"_s,
                                 this));
    layout->addWidget(buttons);
    rememberGeometry(this, u"DashboardWindow"_s);
    refresh();
}

void DashboardWindow::refresh()
{
    readFigures(true);
}

void DashboardWindow::refreshQuietly()
{
    readFigures(false);
}

void DashboardWindow::readFigures(bool tellFailure)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
    QString error;
    std::optional<DashboardFigures> figures =
        connection.opened(&error)
            ? dashboardFigures(connection.database(), m_environment.workingDate(), &error)
            : std::nullopt;
    const std::optional<OrganisationLines> organisation =
        figures ? readOrganisation(connection.database(), &error) : std::nullopt;
    QGuiApplication::restoreOverrideCursor();
    if (!organisation) {
        if (tellFailure)
            informFailure(this, u"Impossibile leggere le cifre del cruscotto."_s, error);
        return;
    }
    m_figures = std::move(figures);
    m_organisation = organisation->name;
    m_title->setText((m_organisation.isEmpty() ? QString() : m_organisation + u" - "_s) +
                     u"Esercizio %1 al %2"_s.arg(m_figures->year.label,
                                                 m_figures->date.toString(u"dd/MM/yyyy"_s)));
    const QStringList lines = keyFigureLines(*m_figures);
    for (int k = 0; k < m_keys.size(); ++k)
        m_keys[k]->setText(lines.value(k));
    const auto replace = [](QChartView *view, QChart *chart) {
        QChart *old = view->chart();
        view->setChart(chart);
        delete old;
    };
    replace(m_views[Cash], cashChart(*m_figures));
    replace(m_views[Months], monthsChart(*m_figures));
    for (const int c : {int(Costs), int(Revenues)}) {
        QChart *old = m_views[c]->chart();
        const QList<DashboardItem> &items =
            c == Costs ? m_figures->largestCosts : m_figures->largestRevenues;
        static_cast<ItemsView *>(m_views[c])
            ->showItems(itemsChart(items, c == Costs ? u"Costi maggiori"_s : u"Ricavi maggiori"_s,
                                   c == Costs),
                        items);
        delete old;
    }
}

bool DashboardWindow::event(QEvent *event)
{
    // Quietly: the message of a failure would activate the window again when closed.
    if (event->type() == QEvent::WindowActivate && m_figures)
        refreshQuietly();
    return QDialog::event(event);
}

void DashboardWindow::copyChart(QChartView *view)
{
    QGuiApplication::clipboard()->setPixmap(view->grab());
}

void DashboardWindow::saveChart(QChartView *view)
{
    const QSizeF millimetres(view->width() * 25.4 / 96, view->height() * 25.4 / 96);
    savePicture(u"Salva il grafico"_s, view->chart()->title(), millimetres,
                [view](QPainter &painter, const QRectF &target) {
                    view->scene()->render(&painter, target, view->chart()->geometry());
                });
}

void DashboardWindow::savePage()
{
    if (!m_figures)
        return;
    savePicture(u"Salva la pagina intera"_s, u"Cruscotto"_s, A4Landscape,
                [this](QPainter &painter, const QRectF &page) {
                    paintDashboardPage(painter, page, *m_figures, m_organisation);
                });
}

// Saved where every export of the archive goes, named after what it shows and its date.
void DashboardWindow::savePicture(const QString &caption, const QString &name,
                                  const QSizeF &millimetres, const PagePainting &paint)
{
    const QString proposed =
        QDir(m_environment.archive().documentsFolder())
            .filePath(name + u' ' + isoDate(m_environment.workingDate()) + u".png"_s);
    const QString path = MessageService::instance().chooseSaveFile(
        this, caption, u"Immagine PNG (*.png);;Disegno SVG (*.svg);;PDF (*.pdf)"_s, proposed,
        u"png"_s);
    if (path.isEmpty())
        return;
    const PictureFormat format = pictureFormatOf(path).value_or(PictureFormat::Png);
    if (QString error; !writeOutputFile(path, pictureBytes(format, millimetres, paint), &error))
        informFailure(this, u"File non salvato."_s, error);
}

void DashboardWindow::print()
{
    if (!m_figures)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setPageSize(QPageSize(QPageSize::A4));
    if (!MessageService::instance().setUpPrinter(this, printer))
        return;
    QPainter painter(&printer);
    paintDashboardPage(painter, QRectF(printer.pageRect(QPrinter::DevicePixel)), *m_figures,
                       m_organisation);
}
