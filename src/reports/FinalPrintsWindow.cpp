#include "reports/FinalPrintsWindow.h"

#include "data/PatternFormatter.h"
#include "ui/Help.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

enum Column { Period, Sheets, Rows, Debit, Credit, PrintedAt, ColumnCount };

QTableWidgetItem *cell(const QString &text, Qt::Alignment alignment = Qt::AlignLeft)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment | Qt::AlignVCenter);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

FinalPrintsWindow::FinalPrintsWindow(const QList<FinalPrint> &prints, const QString &yearLabel,
                                     QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(u"Stampe definitive del Giornale contabile"_s);
    auto *layout = new QVBoxLayout(this);
    auto *caption = new QLabel(
        prints.isEmpty() ? u"Nessuna stampa definitiva nell'esercizio %1."_s.arg(yearLabel)
                         : u"Esercizio %1"_s.arg(yearLabel),
        this);
    layout->addWidget(caption);

    m_table = new QTableWidget(int(prints.size()), ColumnCount, this);
    m_table->setObjectName(u"finalPrintsGrid"_s);
    m_table->setHorizontalHeaderLabels({u"Periodo"_s, u"Fogli"_s, u"Righe"_s, u"Totale Dare"_s,
                                        u"Totale Avere"_s, u"Stampata il"_s});
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    const PatternFormatter formatter;
    const auto date = [&](const QDate &day) { return formatter.format(day, u"dd/mm/yyyy"); };
    const auto amount = [&](Money value) { return formatter.format(value, u"#,#.00;-#,#.00;-"); };
    for (int row = 0; row < prints.size(); ++row) {
        const FinalPrint &print = prints.at(row);
        m_table->setItem(row, Period,
                         cell(u"dal %1 al %2"_s.arg(date(print.dateFrom), date(print.dateTo))));
        m_table->setItem(
            row, Sheets,
            cell(u"%1 - %2"_s.arg(print.firstSheet).arg(print.lastSheet), Qt::AlignRight));
        m_table->setItem(row, Rows,
                         cell(u"%1 - %2"_s.arg(print.firstRow).arg(print.lastRow), Qt::AlignRight));
        m_table->setItem(row, Debit, cell(amount(print.debit), Qt::AlignRight));
        m_table->setItem(row, Credit, cell(amount(print.credit), Qt::AlignRight));
        m_table->setItem(row, PrintedAt,
                         cell(formatter.format(print.printedAt, u"dd/mm/yyyy hh:nn")));
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    addHelpButton(buttons, HelpContext::StampaDefinitiva);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(720, 300);
}
