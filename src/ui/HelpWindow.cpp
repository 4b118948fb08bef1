#include "ui/HelpWindow.h"

#include "ui/Help.h"
#include "ui/WindowUtils.h"

#include <QAction>
#include <QFile>
#include <QIcon>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString helpStyleSheet()
{
    QFile css(u":/help/guida.css"_s);
    return css.open(QIODevice::ReadOnly) ? QString::fromUtf8(css.readAll()) : QString();
}

} // namespace

HelpWindow::HelpWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(u"HelpWindow"_s);
    setWindowTitle(u"Guida - Velmora Contabilità 3"_s);
    resize(760, 600);
    rememberGeometry(this, u"guida"_s);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(u"txtPagina"_s);
    m_browser->setOpenExternalLinks(true);
    m_browser->document()->setDefaultStyleSheet(helpStyleSheet());
    m_browser->document()->setDocumentMargin(16);

    auto *bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction *contents =
        bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), u"Sommario"_s);
    QAction *back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), u"Indietro"_s);
    QAction *forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), u"Avanti"_s);
    bar->addSeparator();
    QAction *keys = bar->addAction(style()->standardIcon(QStyle::SP_FileDialogDetailedView),
                                   u"Tasti di scelta rapida"_s);
    back->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Left));
    forward->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Right));
    back->setEnabled(false);
    forward->setEnabled(false);

    connect(contents, &QAction::triggered, this, [this] { showPage(helpContentsUrl()); });
    connect(keys, &QAction::triggered, this, [this] { showPage(helpShortcutsUrl()); });
    connect(back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? u"Guida - Velmora Contabilità 3"_s
                                       : u"Guida - "_s + title);
    });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_browser);
}

void HelpWindow::showPage(const QUrl &page)
{
    if (m_browser->source() != page)
        m_browser->setSource(page);
    show();
    raise();
    activateWindow();
}

QUrl HelpWindow::currentPage() const
{
    return m_browser->source();
}
