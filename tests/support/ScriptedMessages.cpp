#include "support/ScriptedMessages.h"

#include <QPrinter>

using namespace Qt::StringLiterals;

ScriptedMessages::ScriptedMessages()
{
    MessageService::install(this);
}

ScriptedMessages::~ScriptedMessages()
{
    MessageService::install(nullptr);
}

void ScriptedMessages::inform(QWidget *, const QString &text, Icon, const QString &title)
{
    shown.append(text);
    titles.append(title);
}

bool ScriptedMessages::ask(QWidget *, const QString &text, Icon, bool defaultYes)
{
    shown.append(text);
    defaultAnswers.append(defaultYes);
    return !answers.isEmpty() && answers.takeFirst();
}

MessageService::Answer ScriptedMessages::askYesNoCancel(QWidget *, const QString &text)
{
    shown.append(text);
    return choices.isEmpty() ? Answer::Cancel : choices.takeFirst();
}

QString ScriptedMessages::chooseFolder(QWidget *, const QString &title, const QString &)
{
    shown.append(title);
    return folders.isEmpty() ? QString() : folders.takeFirst();
}

QString ScriptedMessages::chooseFile(QWidget *, const QString &title, const QString &filter,
                                     const QString &start)
{
    shown.append(title);
    fileDialogs.append(start + u" | "_s + filter);
    return files.isEmpty() ? QString() : files.takeFirst();
}

QString ScriptedMessages::chooseSaveFile(QWidget *, const QString &title, const QString &filter,
                                         const QString &start, const QString &defaultSuffix)
{
    shown.append(title);
    fileDialogs.append(start + u" | "_s + filter + u" | "_s + defaultSuffix);
    saveStarts.append(start);
    saveFilters.append(filter);
    return files.isEmpty() ? QString() : files.takeFirst();
}

bool ScriptedMessages::setUpPrinter(QWidget *, QPrinter &printer)
{
    shown.append(u"Stampa"_s);
    if (printFiles.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(printFiles.takeFirst());
    return true;
}
