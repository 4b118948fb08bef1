#include "ui/Help.h"

#include "ui/HelpWindow.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace {

HelpWindow *helpWindowFor(QWidget *owner)
{
    QWidget *top = owner ? owner->window() : nullptr;
    if (top) {
        if (auto *existing = top->findChild<HelpWindow *>(QString(), Qt::FindDirectChildrenOnly))
            return existing;
    }
    auto *window = new HelpWindow(top);
    if (!top)
        window->setAttribute(Qt::WA_DeleteOnClose);
    return window;
}

void openPage(QWidget *owner, const QUrl &page)
{
    helpWindowFor(owner)->showPage(page);
}

int helpContextOf(const QWidget *window)
{
    return window->property("helpContext").toInt();
}

} // namespace

QUrl helpTopicUrl(int context)
{
    const QUrl topic(u"qrc:/help/%1.html"_s.arg(context));
    return QFile::exists(u":/help/%1.html"_s.arg(context)) ? topic : helpContentsUrl();
}

QUrl helpContentsUrl()
{
    return QUrl(u"qrc:/help/index.html"_s);
}

QUrl helpShortcutsUrl()
{
    return QUrl(u"qrc:/help/tasti.html"_s);
}

void showHelp(QWidget *owner, int context)
{
    openPage(owner, helpTopicUrl(context));
}

void showHelpContents(QWidget *owner)
{
    openPage(owner, helpContentsUrl());
}

void showShortcutsHelp(QWidget *owner)
{
    openPage(owner, helpShortcutsUrl());
}

void installHelpKey(QWidget *window)
{
    auto *key = new QShortcut(QKeySequence(Qt::Key_F1), window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, window,
                     [window] { showHelp(window, helpContextOf(window)); });
}

void installHelp(QWidget *window, int context)
{
    window->setProperty("helpContext", context);
    installHelpKey(window);
}

QPushButton *createHelpButton(QWidget *window, int context)
{
    installHelp(window, context);
    auto *button = new QPushButton(u"Guida"_s, window);
    button->setObjectName(u"cmdHelp"_s);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, window,
                     [window] { showHelp(window, helpContextOf(window)); });
    return button;
}

QPushButton *addHelpButton(QDialogButtonBox *buttons, int context)
{
    QPushButton *button = createHelpButton(buttons->window(), context);
    buttons->addButton(button, QDialogButtonBox::HelpRole);
    return button;
}
