#include "ui/grid/ValueListCompleter.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStringListModel>

QList<int> rankedMatches(const QStringList &foldedNames, const QString &typed)
{
    const QString wanted = foldedForMatching(typed.trimmed());
    if (wanted.isEmpty())
        return {};
    QList<int> starting;
    QList<int> containing;
    for (int i = 0; i < foldedNames.size(); ++i) {
        const qsizetype at = foldedNames.at(i).indexOf(wanted);
        if (at == 0)
            starting.append(i);
        else if (at > 0)
            containing.append(i);
    }
    return starting + containing;
}

ValueListCompleter::ValueListCompleter(QLineEdit *editor,
                                       const QList<QPair<QVariant, QString>> &values)
    : QObject(editor), m_editor(editor), m_values(values), m_completer(new QCompleter(this)),
      m_listed(new QStringListModel(this))
{
    for (const auto &value : m_values)
        m_folded.append(foldedForMatching(value.second));
    m_completer->setModel(m_listed);
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setWidget(editor);
    m_completer->setMaxVisibleItems(12);
    // Installed after the completer's own filter, so it sees the list's keys first.
    m_completer->popup()->installEventFilter(this);
    connect(m_completer, qOverload<const QModelIndex &>(&QCompleter::highlighted), this,
            [this](const QModelIndex &index) { highlight(index.row()); });
    connect(m_completer, qOverload<const QModelIndex &>(&QCompleter::activated), this,
            [this](const QModelIndex &index) { highlight(index.row()); });
    connect(editor, &QLineEdit::textEdited, this, &ValueListCompleter::refresh);
}

void ValueListCompleter::setChosen(const QVariant &value)
{
    m_chosen = value;
}

bool ValueListCompleter::isListVisible() const
{
    return m_completer->popup()->isVisible();
}

void ValueListCompleter::refresh(const QString &text)
{
    m_chosen = QVariant();
    m_matches = rankedMatches(m_folded, text);
    QStringList names;
    names.reserve(m_matches.size());
    for (int match : m_matches)
        names.append(m_values.at(match).second);
    m_listed->setStringList(names);
    if (names.isEmpty()) {
        m_completer->popup()->hide();
        return;
    }
    m_completer->complete();
    // The first match is highlighted, as Enter takes it; quietly, since the completer would
    // otherwise put its text in the editor while the user is still typing.
    QAbstractItemView *popup = m_completer->popup();
    {
        const QSignalBlocker quiet(popup->selectionModel());
        popup->setCurrentIndex(m_listed->index(0));
    }
    popup->viewport()->update();
}

void ValueListCompleter::highlight(int match)
{
    if (match < 0 || match >= m_matches.size())
        return;
    m_chosen = m_values.at(m_matches.at(match)).first;
}

QVariant ValueListCompleter::resolve() const
{
    if (m_editor->text().trimmed().isEmpty())
        return QVariant();
    if (m_chosen.isValid())
        return m_chosen;
    if (!m_matches.isEmpty())
        return m_values.at(m_matches.first()).first;
    return m_editor->text();
}

bool ValueListCompleter::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_completer->popup() || event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    const bool confirms =
        key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Tab;
    const bool functionKey = key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F12;
    const bool deletesRow =
        key->key() == Qt::Key_Delete && key->modifiers().testFlag(Qt::ControlModifier);
    if (!confirms && !functionKey && !deletesRow)
        return QObject::eventFilter(watched, event);
    m_completer->popup()->hide();
    QKeyEvent forwarded(QEvent::KeyPress, key->key(), key->modifiers(), key->text());
    QCoreApplication::sendEvent(m_editor, &forwarded);
    return true;
}
