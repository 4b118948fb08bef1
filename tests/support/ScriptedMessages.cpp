#include "support/ScriptedMessages.h"

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

bool ScriptedMessages::ask(QWidget *, const QString &text, Icon, bool)
{
    shown.append(text);
    return !answers.isEmpty() && answers.takeFirst();
}

QString ScriptedMessages::chooseFolder(QWidget *, const QString &title, const QString &)
{
    shown.append(title);
    return folders.isEmpty() ? QString() : folders.takeFirst();
}

QString ScriptedMessages::chooseFile(QWidget *, const QString &title, const QString &)
{
    shown.append(title);
    return files.isEmpty() ? QString() : files.takeFirst();
}
