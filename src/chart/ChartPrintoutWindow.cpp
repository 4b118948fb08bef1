#include "chart/ChartPrintoutWindow.h"

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "ui/Help.h"
#include "ui/LaidOutReport.h"
#include "ui/MessageService.h"
#include "ui/ReportButtons.h"
#include "ui/ReportOutput.h"
#include "ui/ReportProgressDialog.h"
#include "ui/WindowUtils.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The entries of "Tipo di stampa", layout 1 first.
const QStringList &layoutCaptions()
{
    static const QStringList captions{u"Piano dei Conti (voci indentate)"_s,
                                      u"Piano dei Conti (voci allineate a sinistra)"_s};
    return captions;
}

} // namespace

ChartPrintoutWindow::ChartPrintoutWindow(const FiscalEnvironment &environment, QWidget *parent)
    : QDialog(parent), m_environment(environment)
{
    setWindowTitle(u" Stampa il Piano dei Conti"_s);
    setModal(false);

    auto *options = new QVBoxLayout;
    options->addWidget(buildLevelsFrame());
    m_hideMarkedCheck = new QCheckBox(u"Nascondi i Sottoconti dei Conti contrassegnati"_s, this);
    m_hideMarkedCheck->setObjectName(u"chkNascondi"_s);
    options->addWidget(m_hideMarkedCheck);
    options->addStretch(1);

    auto *columns = new QHBoxLayout;
    columns->addWidget(buildLayoutList(), 1);
    columns->addLayout(options);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(buildButtons());
    installHelp(this, HelpContext::StampaPianoConti);
}

QWidget *ChartPrintoutWindow::buildLayoutList()
{
    auto *frame = new QGroupBox(u"Tipo di stampa"_s, this);
    auto *layout = new QVBoxLayout(frame);
    m_layouts = new QListWidget(frame);
    m_layouts->setObjectName(u"lstTipo"_s);
    int widest = 0;
    for (const QString &caption : layoutCaptions())
        widest = std::max(widest, m_layouts->fontMetrics().horizontalAdvance(caption));
    m_layouts->setMinimumWidth(widest + m_layouts->iconSize().width() + 40);
    m_layouts->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    layout->addWidget(m_layouts);
    return frame;
}

QWidget *ChartPrintoutWindow::buildLevelsFrame()
{
    auto *frame = new QGroupBox(u"Visualizza Livelli"_s, this);
    frame->setObjectName(u"fraLivelli"_s);
    auto *layout = new QVBoxLayout(frame);
    const QString captions[4] = {u"Gruppo"_s, u"Mastro"_s, u"Conto"_s, u"Sottoconto"_s};
    for (int index = 0; index < 4; ++index) {
        m_levelChecks[index] = new QCheckBox(captions[index], frame);
        m_levelChecks[index]->setObjectName(u"chkLivelli%1"_s.arg(index));
        m_levelChecks[index]->setChecked(true);
        layout->addWidget(m_levelChecks[index]);
    }
    keepOneChecked({m_levelChecks[0], m_levelChecks[1], m_levelChecks[2], m_levelChecks[3]});
    return frame;
}

QLayout *ChartPrintoutWindow::buildButtons()
{
    auto *layout = new QHBoxLayout;
    layout->addWidget(createHelpButton(this, HelpContext::StampaPianoConti));
    layout->addStretch(1);
    addReportButtons(
        this, layout, {ReportOutput::Preview, ReportOutput::Print},
        {ReportOutput::Excel, ReportOutput::Rtf, ReportOutput::Pdf, ReportOutput::Html},
        [this](ReportOutput output) { run(output); });
    return layout;
}

void ChartPrintoutWindow::openWithDefaults()
{
    m_layouts->clear();
    const QStyle::StandardPixmap icons[2] = {QStyle::SP_FileDialogDetailedView,
                                             QStyle::SP_FileDialogListView};
    for (int entry = 0; entry < 2; ++entry) {
        auto *item = new QListWidgetItem(style()->standardIcon(icons[entry]),
                                         layoutCaptions()[entry], m_layouts);
        item->setData(Qt::UserRole, entry + 1);
    }
    m_layouts->setCurrentRow(0);
    show();
    raise();
    activateWindow();
}

ChartPrintoutOptions ChartPrintoutWindow::options(ReportOutput output) const
{
    ChartPrintoutOptions options = chartPrintoutOptions(m_environment);
    const QListWidgetItem *item = m_layouts->currentItem();
    options.layout = item && item->data(Qt::UserRole).toInt() == int(ChartLayout::AlignedLeft)
                         ? ChartLayout::AlignedLeft
                         : ChartLayout::Indented;
    for (int level = 0; level < 4; ++level)
        options.levels[std::size_t(level)] = m_levelChecks[level]->isChecked();
    options.exporting = output == ReportOutput::Excel;
    return options;
}

void ChartPrintoutWindow::run(ReportOutput output)
{
    const ChartPrintoutOptions chosen = options(output);
    std::unique_ptr<LaidOutReport> document;
    QString error;
    {
        ReportProgressDialog progress(this, u"Preparazione del Piano dei Conti..."_s);
        Connection connection(m_environment.archive(), Connection::Mode::ReadOnly);
        ReportDocument pages;
        if (connection.opened(&error) && layOutChartPrintout(connection.database(), chosen, &pages,
                                                             &error, progressShownIn(progress)))
            document = std::make_unique<LaidOutReport>(std::move(pages));
        else if (progress.wasCancelled())
            error.clear();
    }
    if (document)
        deliverReport(this, *document, output, documentsFolder(),
                      exportBaseName(u"Piano dei Conti"_s));
    else if (!error.isEmpty())
        MessageService::instance().inform(this, error, MessageService::Icon::Critical);
}

QString ChartPrintoutWindow::documentsFolder() const
{
    return m_environment.archive().documentsFolder();
}
