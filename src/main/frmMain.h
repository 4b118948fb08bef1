#pragma once

#include <QMainWindow>

class QLabel;
class QTableView;
class cEnvironment;

// The program's one top-level window: menus, the current view and the status bar.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit frmMain(cEnvironment &environment, QWidget *parent = nullptr);

    // Rewrites the status bar: data folder, date of the last entry, working date and year.
    void interfaceUpdate();

    QString statusPanelText(int panel) const;

private:
    QAction *addCommand(QMenu *menu, const QString &caption, const QKeySequence &key = {});
    void buildMenus();
    void buildStatusBar();

    cEnvironment &m_environment;
    QLabel *m_lblTitle = nullptr;
    QTableView *m_gex = nullptr;
    QLabel *m_panels[3] = {};
};
