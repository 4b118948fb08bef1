#pragma once

#include "dashboard/DashboardCharts.h"
#include "dashboard/DashboardFigures.h"
#include "data/FiscalEnvironment.h"

#include <QDialog>

#include <functional>
#include <optional>

class QChartView;
class QLabel;

// Visualizza → "Cruscotto": the picture of the fiscal year of the working date beside the main
// window. Each chart can be copied (Ctrl+C) and saved (Ctrl+S) as PNG, SVG or PDF, the whole page
// too (Ctrl+Shift+S, as the command line draws it); "Stampa" prints the whole dashboard on one A4
// landscape page. In the largest items, Up and Down move
// between the bars and Enter (or a double-click) opens the account in the account cards.
class DashboardWindow : public QDialog {
    Q_OBJECT

public:
    // Opens the cards of an account, given its description.
    using CardOpener = std::function<void(const QString &account)>;

    DashboardWindow(FiscalEnvironment &environment, CardOpener openCards,
                    QWidget *parent = nullptr);

    // Reads the figures again (after a save or a change of the working date); a failure is
    // told unless quiet, and the figures shown stay.
    void refresh();
    void refreshQuietly();
    const std::optional<DashboardFigures> &figures() const { return m_figures; }
    QList<QChartView *> chartViews() const { return m_views; }

protected:
    // Coming back to the window shows what was saved meanwhile.
    bool event(QEvent *event) override;

private:
    void readFigures(bool tellFailure);
    void copyChart(QChartView *view);
    void saveChart(QChartView *view);
    void savePage();
    void savePicture(const QString &caption, const QString &name, const QSizeF &millimetres,
                     const PagePainting &paint);
    void print();

    FiscalEnvironment &m_environment;
    CardOpener m_openCards;
    std::optional<DashboardFigures> m_figures;
    QString m_organisation;
    QLabel *m_title;
    QList<QLabel *> m_keys;
    QList<QChartView *> m_views;
};
