#include "main/frmMain.h"

#include "app/WindowUtils.h"
#include "app/cEnvironment.h"
#include "data/PatternFormatter.h"
#include "data/cDataAccess.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

constexpr int MinimumWidthTwips = 14950;
constexpr int MinimumHeightTwips = 8595;

} // namespace

frmMain::frmMain(cEnvironment &environment, QWidget *parent)
    : QMainWindow(parent), m_environment(environment)
{
    setWindowTitle(u"Velmora Contabilità 3"_s);
    setObjectName(u"frmMain"_s);

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    m_lblTitle = new QLabel(u"Movimenti"_s, central);
    m_lblTitle->setObjectName(u"lblTitle"_s);
    QFont titleFont = m_lblTitle->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    m_lblTitle->setFont(titleFont);
    m_gex = new QTableView(central);
    m_gex->setObjectName(u"gex"_s);
    layout->addWidget(m_lblTitle);
    layout->addWidget(m_gex, 1);
    setCentralWidget(central);

    buildMenus();
    buildStatusBar();
    setMinimumSize(twipsToPixels(this, MinimumWidthTwips), twipsToPixels(this, MinimumHeightTwips));
    interfaceUpdate();
}

QAction *frmMain::addCommand(QMenu *menu, const QString &caption, const QKeySequence &key)
{
    QAction *action = menu->addAction(caption);
    action->setShortcut(key);
    // Commands are enabled as their windows arrive.
    action->setEnabled(false);
    return action;
}

void frmMain::buildMenus()
{
    QMenu *file = menuBar()->addMenu(u"&File"_s);
    addCommand(file, u"Nuova Contabilità"_s);
    addCommand(file, u"Apri Contabilità"_s);
    file->addSeparator();
    addCommand(file, u"Stampa"_s, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12));
    file->addSeparator();
    QAction *esci = addCommand(file, u"Esci"_s);
    esci->setEnabled(true);
    connect(esci, &QAction::triggered, this, &QWidget::close);

    QMenu *record = menuBar()->addMenu(u"&Record"_s);
    addCommand(record, u"Nuovo"_s, QKeySequence(Qt::Key_F5));
    addCommand(record, u"Apri"_s);
    addCommand(record, u"Elimina"_s, QKeySequence(Qt::Key_Delete));
    record->addSeparator();
    addCommand(record, u"Trova"_s, QKeySequence(Qt::CTRL | Qt::Key_T));

    QMenu *view = menuBar()->addMenu(u"&Visualizza"_s);
    const QString views[] = {u"Schede"_s, u"Movimenti"_s, u"Mastri"_s, u"Conti"_s, u"Sottoconti"_s};
    const Qt::Key viewKeys[] = {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4, Qt::Key_F5};
    for (int v = 0; v < 5; ++v) {
        QAction *action = addCommand(view, views[v], QKeySequence(Qt::CTRL | viewKeys[v]));
        action->setCheckable(true);
        action->setChecked(v == 1);
    }
    view->addSeparator();
    addCommand(view, u"Data di lavoro"_s, QKeySequence(Qt::CTRL | Qt::Key_D));
    view->addSeparator();
    addCommand(view, u"Preferenze"_s);

    QMenu *tools = menuBar()->addMenu(u"&Strumenti"_s);
    addCommand(tools, u"Chiusura / Apertura Conti"_s);
    tools->addSeparator();
    addCommand(tools, u"Ricalcolo progressivi"_s);
    tools->addSeparator();
    addCommand(tools, u"Bilancio riclassificato"_s);

    QMenu *help = menuBar()->addMenu(u"&?"_s);
    addCommand(help, u"&Guida in linea"_s);
    help->addSeparator();
    addCommand(help, u"&Tasti di scelta rapida"_s);
    help->addSeparator();
    addCommand(help, u"&Informazioni su"_s);
}

void frmMain::buildStatusBar()
{
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QLabel(this);
        m_panels[i]->setObjectName(u"sbPanel%1"_s.arg(i + 1));
        m_panels[i]->setContentsMargins(4, 0, 4, 0);
    }
    statusBar()->addWidget(m_panels[0], 1);
    statusBar()->addPermanentWidget(m_panels[1]);
    statusBar()->addPermanentWidget(m_panels[2]);
}

void frmMain::interfaceUpdate()
{
    const PatternFormatter formatter;
    m_panels[0]->setText(QDir::toNativeSeparators(cDataAccess().dataFolder()));
    const std::optional<QDate> last = m_environment.lastEntryDate();
    m_panels[1]->setText(u"Data ultima Reg.ne: "_s +
                         (last ? formatter.format(*last, u"dd/mm/yy") : u"N/D"_s));
    m_panels[2]->setText(u"Data di Lavoro: "_s +
                         formatter.format(m_environment.curDate(), u"dd/mm/yy") +
                         u" - Esercizio: "_s + m_environment.EsercizioString() + u" "_s);
}

QString frmMain::statusPanelText(int panel) const
{
    return m_panels[panel - 1]->text();
}
