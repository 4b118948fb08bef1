#pragma once

#include "data/RowSet.h"
#include "main/AccountCards.h"
#include "main/MainViews.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

class BoundGridModel;
class DataGrid;
class GroupedGrid;
class GroupedGridModel;
class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QShortcut;
class QStackedWidget;
class QToolBar;
class QToolButton;
class FiscalEnvironment;

// The program's one top-level window: the five views of the open archive, the commands that
// reach every other window, the search box and the status bar.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Commands carried out by windows of their own. Each stays disabled until a handler is
    // given; the handler reads the current view and record from the window.
    enum class Command {
        Stampa,
        ImportaEstrattoConto,
        ImportaFattureElettroniche,
        RiconciliazioneBancaria,
        Cruscotto,
        DataLavoro,
        Preferenze,
        ChiusuraApertura,
        RiapriEsercizio,
        RicalcoloProgressivi,
        ControlloArchivio,
        Backup,
        RipristinaBackup,
        BilancioRiclassificato,
        Guida,
        Informazioni,
        ManutenzioneTabelle,
        Elimina,
        Duplica,
    };
    // The editor of a view's records. createRecord and openRecord return the id saved, 0 or less
    // when nothing was saved.
    struct RecordEditor {
        std::function<qint64()> createRecord;
        std::function<qint64(qint64 id)> openRecord;
    };

    explicit MainWindow(FiscalEnvironment &environment, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Reloads the current view from the archive.
    // "Data ultima Reg.ne" in the status bar, read again from the archive.
    void showLastEntryDate();
    void reloadView();
    // Rewrites the status bar and caption, then shows the current view again (reloading it).
    void refreshStatusBar();
    // Rebuilds the account cards from the loaded rows and the search in the box.
    void rebuildAccountCards();

    MainView curView() const { return m_curView; }
    // The view switch of the menu, the navigation bar and the keys.
    void showView(MainView view);
    // The account cards searched for the text (an account's name), in front.
    void showCards(const QString &search);

    void setCommand(Command command, std::function<void()> handler);
    void setRecordEditor(MainView view, RecordEditor editor);

    // The id of the current record (the entry's id in the account cards); 0 when there is none
    // (empty grid, group row).
    qint64 currentRecordId() const;
    // The version of the current entry as the view read it; nothing outside the journal views.
    std::optional<qint64> currentEntryVersion() const;
    // Rows the current grid lists (lines of the account cards).
    int listedRows() const;
    QString statusPanelText(int panel) const;

    // Asked before the main window closes: false keeps the program open (a window with typed
    // data whose user chose to stay).
    void setCloseGuard(std::function<bool()> guard) { m_closeGuard = std::move(guard); }

signals:
    // The status bar and the current view were shown again after a change of the archive, the
    // working date or the preferences.
    void statusBarRefreshed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Closing the main window ends the program, with every window it opened.
    void closeEvent(QCloseEvent *event) override;

private:
    void buildCentralArea();
    void buildNavigationBar(QWidget *parent);
    void buildSearchRow(QWidget *parent, QWidget *row);
    void buildGrids(QWidget *parent);
    void buildMenus();
    void buildToolBars();
    void buildStatusBar();
    void buildPopupMenu();
    QAction *addCommand(QMenu *menu, const QString &caption, const QKeySequence &key = {});
    QAction *commandAction(Command command) const;
    void updateCommandStates();

    void loadRows();
    void bindFlatView();
    void applySearch();
    void clearSearch();
    QString searchText() const;
    void layoutColumns();
    void setSearchColours(bool focused);

    void createRecord();
    void openRecord();
    void afterEditor(MainView view, qint64 savedId);
    void goToRecord(qint64 id);
    void openAttachment();
    void showPopupMenu(Qt::MouseButton button, const QPoint &globalPosition);
    void gridCharacterTyped(const QString &text);
    void confirmTableMaintenance();
    void chooseArchive();
    void newArchive();
    QVariant currentJournalValue(const QString &field) const;

    FiscalEnvironment &m_environment;
    MainView m_curView = MainView::Movimenti;
    RowSet m_rows;
    AccountCards m_cards;
    bool m_loading = false;

    QListWidget *m_viewBar = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_searchCommentLabel = nullptr;
    QFrame *m_searchPanel = nullptr;
    QToolButton *m_searchButton = nullptr;
    QLineEdit *m_searchEdit = nullptr;
    QStackedWidget *m_grids = nullptr;
    DataGrid *m_grid = nullptr;
    BoundGridModel *m_gridModel = nullptr;
    GroupedGrid *m_cardsGrid = nullptr;
    GroupedGridModel *m_cardsModel = nullptr;
    QLabel *m_panels[3] = {};

    QAction *m_viewActions[MainViewCount] = {};
    QAction *m_createRecordAction = nullptr;
    QAction *m_openRecordAction = nullptr;
    QAction *m_elimina = nullptr;
    QAction *m_trova = nullptr;
    QAction *m_aggiorna = nullptr;
    QAction *m_collapseAll = nullptr;
    QAction *m_expandAll = nullptr;
    QAction *m_newArchiveAction = nullptr;
    QAction *m_openArchiveAction = nullptr;
    QMenu *m_entryMenu = nullptr;
    QAction *m_newAction = nullptr;
    QAction *m_duplicateAction = nullptr;
    QAction *m_editAction = nullptr;
    QAction *m_deleteAction = nullptr;
    QAction *m_openAttachmentAction = nullptr;
    QShortcut *m_tableMaintenanceKey = nullptr;

    std::map<Command, std::function<void()>> m_handlers;
    std::map<Command, QList<QAction *>> m_commandActions;
    RecordEditor m_editors[MainViewCount];
    std::function<bool()> m_closeGuard;
};
