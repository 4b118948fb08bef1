#pragma once

#include "ui/MessageService.h"

#include <QList>
#include <QStringList>

// A message service for tests: records every text shown and answers from queued replies
// (a missing reply answers No, or cancels a folder choice). Installs itself while alive.
class ScriptedMessages : public MessageService {
public:
    ScriptedMessages();
    ~ScriptedMessages() override;

    QStringList shown;          // every message and question, in order
    QList<bool> answers;        // replies to questions, first first
    QList<bool> defaultAnswers; // the default button of every question asked: true for Yes
    QList<Answer> choices;      // replies to Sì/No/Annulla questions; a missing one cancels
    QStringList folders;        // replies to folder choices, first first
    QStringList files;          // replies to file choices, first first
    QStringList titles;         // the title of every message, empty for the program's name
    QStringList fileDialogs;    // "start | filter | suffix" of every file dialog, in order
    QStringList saveStarts;     // the folder each save dialog opened in
    QStringList saveFilters;    // the filter of each save dialog
    // Replies to printer dialogs: each prints into that PDF file; a missing one cancels.
    QStringList printFiles;

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
