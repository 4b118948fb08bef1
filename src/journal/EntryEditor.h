#pragma once

#include "journal/EntryEditing.h"

#include <QWidget>

#include <functional>

class EntryRowGrid;
class QDateEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class FiscalEnvironment;

// The journal entry editor: a new entry, or an existing one viewed, changed or deleted. The
// rows are edited in memory and written with the header in one transaction on saving. Closed
// only through its own buttons and keys.
class EntryEditor : public QWidget {
    Q_OBJECT

public:
    enum class State { New = 1, View = 2, Edit = 3 };

    EntryEditor(FiscalEnvironment &environment, QWidget *parent = nullptr);
    ~EntryEditor() override;

    // A blank new entry, or one modelled on the rows of entry modelId; shown when show is true.
    bool startNew(qint64 modelId = 0, bool show = true);
    // Loads the entry and shows it in the view state. A missing entry is told and changes nothing.
    bool openEntry(qint64 id);

    // Whether there is something the user typed that is not saved.
    bool hasUnsavedChanges() const;
    State state() const { return m_state; }
    qint64 entryId() const { return m_entry.header.id; }
    EntryRowGrid *rowGrid() const { return m_rows; }
    QString statusText(int panel) const;

    // Runs after the window has closed (the main window reloads its view).
    void setOnClosed(std::function<void()> onClosed) { m_onClosed = std::move(onClosed); }
    // Called after every entry the window saves or deletes.
    void setOnWritten(std::function<void()> onWritten) { m_onWritten = std::move(onWritten); }
    // Where attachments are kept; the archive's "allegati" unless a test says otherwise.
    void setAttachmentsFolder(const QString &folder) { m_attachments = folder; }

    // Saves the entry being typed; false when it was refused or failed (the editor said why).
    bool save();
    void startEditing();
    void deleteShownEntry();
    void cancel();
    void closeWindow();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void display(const JournalEntry &entry, State state, const QString &caption);
    void setState(State state);
    void showType();
    void showAttachment();
    void changeKind();
    void inserisciAllegato();
    void showAttachedFile();
    void deleteAttachment();
    QString attachmentsFolder() const;
    // The file of the header's attachment; a stored name that is not a bare file name is
    // refused with a message.
    std::optional<QString> storedAttachmentFile();
    JournalEntry current() const;
    // Tells that another user changed the entry since it was opened and offers to open it again.
    void offerReload(const QString &refusal);
    void inform(const QString &text, bool critical = false);
    // F8, F5, Esc and Enter in the date field, from whichever control of the window has them.
    bool windowKey(int key, QWidget *receiver);
    void focusChanged(QWidget *old, QWidget *now);

    FiscalEnvironment &m_environment;
    State m_state = State::New;
    JournalEntry m_entry; // as loaded or last saved
    EntryHeader m_header; // the header as the user is changing it
    QString m_attachments;
    std::function<void()> m_onClosed;
    std::function<void()> m_onWritten;
    bool m_closing = false;
    QString m_lockRefusal; // why the shown entry cannot change: it is printed in definitiva

    QDateEdit *m_dateEdit = nullptr;
    QLabel *m_numberLabel = nullptr;
    QGroupBox *m_frameTipo = nullptr;
    QPushButton *m_kindButton = nullptr;
    QPushButton *m_attachmentButton[3] = {};
    QLabel *m_infoPanel = nullptr;
    EntryRowGrid *m_rows = nullptr;
    QPushButton *m_newButton = nullptr;
    QPushButton *m_saveButton = nullptr;
    QPushButton *m_editButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    QLabel *m_panels[2] = {};
};
