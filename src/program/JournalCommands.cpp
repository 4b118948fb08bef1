#include "program/JournalCommands.h"

#include "journal/EntryEditor.h"
#include "main/MainWindow.h"
#include "ui/MessageService.h"

#include <QPointer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// The one editor window of the main window, made when first needed.
class JournalEditorHost {
public:
    JournalEditorHost(MainWindow &main, FiscalEnvironment &environment)
        : m_main(main), m_environment(environment)
    {
    }

    // The editor, after asking whether unsaved changes may be dropped; null when the user
    // keeps them.
    EntryEditor *editor()
    {
        if (m_editor && m_editor->hasUnsavedChanges() &&
            !MessageService::instance().ask(
                m_editor, u"Abbandonare le modifiche effettuate senza salvare?"_s))
            return nullptr;
        if (!m_editor) {
            m_editor = new EntryEditor(m_environment, &m_main);
            m_editor->setAttribute(Qt::WA_DeleteOnClose);
            m_editor->setOnClosed([main = &m_main] { main->reloadView(); });
            m_editor->setOnWritten([main = &m_main] { main->showLastEntryDate(); });
        }
        return m_editor;
    }

    // Closes the editor before the program ends, asking about an unsaved entry: Sì saves it,
    // No drops it, Annulla keeps the program open (so does a save that is refused).
    bool closeForExit()
    {
        if (!m_editor)
            return true;
        if (m_editor->hasUnsavedChanges()) {
            switch (MessageService::instance().askYesNoCancel(
                m_editor, u"La registrazione non è stata salvata. Salvarla prima di uscire?"_s)) {
            case MessageService::Answer::Cancel:
                return false;
            case MessageService::Answer::Yes:
                if (!m_editor->save())
                    return false;
                break;
            case MessageService::Answer::No:
                break;
            }
        }
        m_editor->closeWindow();
        return true;
    }

private:
    MainWindow &m_main;
    FiscalEnvironment &m_environment;
    QPointer<EntryEditor> m_editor;
};

void raise(EntryEditor *editor)
{
    editor->raise();
    editor->activateWindow();
}

} // namespace

void wireJournalCommands(MainWindow &main, FiscalEnvironment &environment)
{
    auto host = std::make_shared<JournalEditorHost>(main, environment);
    const MainWindow::RecordEditor editor{
        [host] {
            if (EntryEditor *window = host->editor(); window && window->startNew(0, true))
                raise(window);
            return qint64(0);
        },
        [host](qint64 id) {
            if (EntryEditor *window = host->editor(); window && window->openEntry(id))
                raise(window);
            return qint64(0);
        },
    };
    main.setCloseGuard([host] { return host->closeForExit(); });
    main.setRecordEditor(MainView::Movimenti, editor);
    main.setRecordEditor(MainView::Schede, editor);
    main.setCommand(MainWindow::Command::Duplica, [host, &main] {
        if (EntryEditor *window = host->editor();
            window && window->startNew(main.currentRecordId(), true))
            raise(window);
    });
}
