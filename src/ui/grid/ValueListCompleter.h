#pragma once

#include "data/ItalianCollation.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QStringList>
#include <QVariant>

class QCompleter;
class QLineEdit;
class QStringListModel;

// The positions of the names that contain the typed text, ignoring case and accents: those that
// start with it first, each group in the names' own order. Nothing for blank text.
QList<int> rankedMatches(const QStringList &foldedNames, const QString &typed);

// Completes a cell editor from a value list (stored value, shown text): as the user types, a
// list under the editor shows the names containing the text, those starting with it first, with
// the first highlighted; Up and Down move the highlight.
// Enter, Tab and the function keys typed in the list reach the editor, so the grid acts on them
// as if the list were not open.
class ValueListCompleter : public QObject {
    Q_OBJECT

public:
    ValueListCompleter(QLineEdit *editor, const QList<QPair<QVariant, QString>> &values);

    // The value the editor's text stands for until the user types: the cell's stored value.
    void setChosen(const QVariant &value);
    // What the text stands for: the value picked or highlighted in the list, else the first
    // match; null for blank text; the text itself when nothing matches.
    QVariant resolve() const;
    bool isListVisible() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void refresh(const QString &text);
    void highlight(int match);

    QLineEdit *m_editor;
    QList<QPair<QVariant, QString>> m_values;
    QStringList m_folded;
    QList<int> m_matches;
    QCompleter *m_completer;
    QStringListModel *m_listed;
    QVariant m_chosen;
};
