#include "ui/ReportPreview.h"

#include "ui/PreviewDocument.h"
#include "ui/ReportOutput.h"
#include "ui/WindowUtils.h"

#include <QAction>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

ReportPreview::ReportPreview(const PreviewDocument &document, QWidget *parent, Printing printing)
    : QDialog(parent), m_document(document), m_printer(std::make_unique<QPrinter>())
{
    setWindowTitle(u"Anteprima di stampa"_s);
    setModal(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    m_printer->setPageLayout(document.pageLayout());
    m_printer->setFullPage(true);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_view = new QPrintPreviewWidget(m_printer.get(), this);
    m_view->setObjectName(u"preview"_s);
    connect(m_view, &QPrintPreviewWidget::paintRequested, this, &ReportPreview::paintDocument);
    connect(m_view, &QPrintPreviewWidget::previewChanged, this, &ReportPreview::pageShown);
    buildToolBar(printing);
    layout->addWidget(findChild<QToolBar *>(u"tbPreview"_s));

    auto *splitter = new QSplitter(this);
    buildContents();
    splitter->addWidget(m_contents);
    splitter->addWidget(m_view);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);

    resize(900, 680);
    rememberGeometry(this, u"anteprima"_s);
    m_view->updatePreview();
    m_view->fitToWidth();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::buildToolBar(Printing printing)
{
    auto *toolBar = new QToolBar(this);
    toolBar->setObjectName(u"tbPreview"_s);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    if (printing == Printing::Allowed) {
        const QIcon printer = QIcon::fromTheme(u"document-print"_s, QIcon(u":/icons/stampa.png"_s));
        QAction *stampa = toolBar->addAction(printer, u"Stampa"_s, this, &ReportPreview::print);
        stampa->setObjectName(u"actStampa"_s);
        toolBar->addSeparator();
    }
    QAction *width = toolBar->addAction(u"Larghezza"_s, m_view, &QPrintPreviewWidget::fitToWidth);
    width->setObjectName(u"actLarghezza"_s);
    QAction *page = toolBar->addAction(u"Pagina"_s, m_view, &QPrintPreviewWidget::fitInView);
    page->setObjectName(u"actPagina"_s);
    toolBar->addSeparator();

    const auto navigation = [&](QStyle::StandardPixmap icon, const QString &tip,
                                const QString &name, auto target) {
        QAction *action = toolBar->addAction(style()->standardIcon(icon), QString(), this,
                                             [this, target] { goToPage(target(this)); });
        action->setToolTip(tip);
        action->setObjectName(name);
    };
    navigation(QStyle::SP_MediaSkipBackward, u"Prima pagina"_s, u"actPrima"_s,
               [](ReportPreview *) { return 1; });
    navigation(QStyle::SP_MediaSeekBackward, u"Pagina precedente"_s, u"actPrecedente"_s,
               [](ReportPreview *preview) { return preview->currentPage() - 1; });
    m_pageNumber = new QSpinBox(toolBar);
    m_pageNumber->setObjectName(u"txtPagina"_s);
    m_pageNumber->setRange(1, std::max(m_document.pageCount(), 1));
    m_pageNumber->setKeyboardTracking(false);
    connect(m_pageNumber, &QSpinBox::valueChanged, this, &ReportPreview::goToPage);
    toolBar->addWidget(m_pageNumber);
    m_pageCount = new QLabel(u" di %1 "_s.arg(m_document.pageCount()), toolBar);
    m_pageCount->setObjectName(u"lblPagine"_s);
    toolBar->addWidget(m_pageCount);
    navigation(QStyle::SP_MediaSeekForward, u"Pagina successiva"_s, u"actSuccessiva"_s,
               [](ReportPreview *preview) { return preview->currentPage() + 1; });
    navigation(QStyle::SP_MediaSkipForward, u"Ultima pagina"_s, u"actUltima"_s,
               [](ReportPreview *preview) { return preview->m_document.pageCount(); });
}

void ReportPreview::buildContents()
{
    m_contents = new QTreeWidget(this);
    m_contents->setObjectName(u"tvContenuto"_s);
    m_contents->setHeaderLabel(u"Contenuto"_s);
    QList<QTreeWidgetItem *> parents;
    for (const PreviewDocument::ContentsEntry &entry : m_document.contents()) {
        const int level = std::clamp(entry.level, 0, int(parents.size()));
        parents.resize(level);
        auto *item =
            level == 0 ? new QTreeWidgetItem(m_contents) : new QTreeWidgetItem(parents.constLast());
        item->setText(0, entry.title);
        item->setData(0, Qt::UserRole, entry.page + 1);
        parents.append(item);
    }
    m_contents->setVisible(m_contents->topLevelItemCount() > 0);
    connect(m_contents, &QTreeWidget::itemActivated, this, &ReportPreview::contentsChosen);
    connect(m_contents, &QTreeWidget::itemClicked, this, &ReportPreview::contentsChosen);
}

void ReportPreview::paintDocument(QPrinter *printer)
{
    paintPages(m_document, *printer, 0, m_document.pageCount() - 1);
}

void ReportPreview::contentsChosen(QTreeWidgetItem *item)
{
    goToPage(item->data(0, Qt::UserRole).toInt());
}

int ReportPreview::currentPage() const
{
    return m_view->currentPage();
}

void ReportPreview::goToPage(int page)
{
    page = std::clamp(page, 1, std::max(m_document.pageCount(), 1));
    m_view->setCurrentPage(page);
    pageShown();
}

void ReportPreview::pageShown()
{
    const QSignalBlocker blocker(m_pageNumber);
    m_pageNumber->setValue(m_view->currentPage());
}

void ReportPreview::print()
{
    printDocument(this, m_document);
}
