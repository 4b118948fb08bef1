#pragma once

#include <QString>

class QPrinter;
class QWidget;

// Every message box and file dialog of the program goes through the installed service, so that
// tests can answer questions, pick folders and read the texts shown.
class MessageService {
public:
    enum class Icon { Information, Warning, Critical, Question };
    enum class Answer { Yes, No, Cancel };

    virtual ~MessageService() = default;

    // A modal message with only OK, titled with the program's name unless a title is given.
    virtual void inform(QWidget *parent, const QString &text, Icon icon = Icon::Information,
                        const QString &title = {}) = 0;
    // A modal Yes/No question; true for Yes. No is the default button unless defaultYes.
    virtual bool ask(QWidget *parent, const QString &text, Icon icon = Icon::Question,
                     bool defaultYes = false) = 0;
    // A modal Sì/No/Annulla question; Annulla is the default and answers Esc.
    virtual Answer askYesNoCancel(QWidget *parent, const QString &text) = 0;
    // The folder chosen in the platform's folder dialog, without trailing separator; empty
    // when the user cancels.
    virtual QString chooseFolder(QWidget *parent, const QString &title, const QString &start) = 0;
    // An existing file chosen in the platform's open dialog, opened in the folder start (the
    // last one used when empty); empty when the user cancels.
    virtual QString chooseFile(QWidget *parent, const QString &title, const QString &filter,
                               const QString &start = {}) = 0;
    // A file name chosen in the platform's save dialog, opened in the folder start; a name typed
    // without extension gets defaultSuffix. Empty when the user cancels.
    virtual QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter,
                                   const QString &start, const QString &defaultSuffix) = 0;
    // The platform's printer dialog on printer; false when the user cancels.
    virtual bool setUpPrinter(QWidget *parent, QPrinter &printer) = 0;

    // The service in use; the dialog-based one unless another was installed.
    static MessageService &instance();
    // Installs a service (not owned); null goes back to the dialog-based one.
    static void install(MessageService *service);
};

// A failed operation told to the user: a refusal by a rule of the program as a warning in its own
// words, a failure of the database as an error saying what failed, what to do and the engine's
// text.
void informFailure(QWidget *parent, const QString &whatFailed, const QString &error);

// The service that shows real message boxes and dialogs.
class DialogMessageService : public MessageService {
public:
    void inform(QWidget *parent, const QString &text, Icon icon, const QString &title) override;
    bool ask(QWidget *parent, const QString &text, Icon icon, bool defaultYes) override;
    Answer askYesNoCancel(QWidget *parent, const QString &text) override;
    QString chooseFolder(QWidget *parent, const QString &title, const QString &start) override;
    QString chooseFile(QWidget *parent, const QString &title, const QString &filter,
                       const QString &start) override;
    QString chooseSaveFile(QWidget *parent, const QString &title, const QString &filter,
                           const QString &start, const QString &defaultSuffix) override;
    bool setUpPrinter(QWidget *parent, QPrinter &printer) override;
};
