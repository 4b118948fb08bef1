#include "ui/MessageService.h"

#include "data/EngineErrors.h"

#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {

MessageService *installed = nullptr;

QMessageBox::Icon boxIcon(MessageService::Icon icon)
{
    switch (icon) {
    case MessageService::Icon::Warning:
        return QMessageBox::Warning;
    case MessageService::Icon::Critical:
        return QMessageBox::Critical;
    case MessageService::Icon::Question:
        return QMessageBox::Question;
    case MessageService::Icon::Information:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

MessageService &MessageService::instance()
{
    static DialogMessageService dialogs;
    return installed ? *installed : dialogs;
}

void MessageService::install(MessageService *service)
{
    installed = service;
}

void DialogMessageService::inform(QWidget *parent, const QString &text, Icon icon,
                                  const QString &title)
{
    QMessageBox box(boxIcon(icon),
                    title.isEmpty() ? QGuiApplication::applicationDisplayName() : title, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

bool DialogMessageService::ask(QWidget *parent, const QString &text, Icon icon, bool defaultYes)
{
    QMessageBox box(boxIcon(icon), QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

MessageService::Answer DialogMessageService::askYesNoCancel(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QString DialogMessageService::chooseFolder(QWidget *parent, const QString &title,
                                           const QString &start)
{
    const QString folder = QFileDialog::getExistingDirectory(parent, title, start);
    if (folder.isEmpty())
        return folder;
    return QDir::cleanPath(folder);
}

QString DialogMessageService::chooseFile(QWidget *parent, const QString &title,
                                         const QString &filter, const QString &start)
{
    return QFileDialog::getOpenFileName(parent, title, start, filter, nullptr,
                                        QFileDialog::ReadOnly);
}

QString DialogMessageService::chooseSaveFile(QWidget *parent, const QString &title,
                                             const QString &filter, const QString &start,
                                             const QString &defaultSuffix)
{
    QFileDialog dialog(parent, title, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

bool DialogMessageService::setUpPrinter(QWidget *parent, QPrinter &printer)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void informFailure(QWidget *parent, const QString &whatFailed, const QString &error)
{
    MessageService &messages = MessageService::instance();
    if (isEngineText(error))
        messages.inform(parent, failureMessage(whatFailed, error), MessageService::Icon::Critical);
    else
        messages.inform(parent, error, MessageService::Icon::Warning);
}
