#include "ui/FieldRules.h"

#include "data/FieldValues.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace {

class CodeCharacters : public QObject {
public:
    CodeCharacters(bool allowBackspace, QObject *parent)
        : QObject(parent), m_allowBackspace(allowBackspace)
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Backspace)
            return !m_allowBackspace;
        const QString text = key->text();
        const bool typed = !text.isEmpty() && text.at(0).isPrint() &&
                           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        return typed && !(text.size() == 1 && isCodeCharacter(text.at(0)));
    }

private:
    bool m_allowBackspace;
};

class LeaveCheck : public QObject {
public:
    LeaveCheck(std::function<bool()> check, const QList<QWidget *> &exempt, QWidget *field)
        : QObject(field), m_field(field), m_check(std::move(check))
    {
        for (QWidget *widget : exempt)
            m_exempt.append(widget);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The check runs once the focus has moved, so that its message does not open in the
        // middle of the move; a window closed meanwhile checks nothing.
        if (event->type() == QEvent::FocusOut && leavesWithinWindow(event)) {
            QTimer::singleShot(0, this, [this] {
                if (m_field->isVisible() && !m_check())
                    m_field->setFocus(Qt::OtherFocusReason);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool leavesWithinWindow(QEvent *event) const
    {
        // Only the user's moves count: the focus the program puts back on a refused field
        // must not run the check of the field it leaves, or two refusals would take turns.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::TabFocusReason && reason != Qt::BacktabFocusReason &&
            reason != Qt::MouseFocusReason && reason != Qt::ShortcutFocusReason)
            return false;
        QWidget *next = QApplication::focusWidget();
        if (!next || next->window() != m_field->window())
            return false;
        for (const QPointer<QWidget> &exempt : m_exempt) {
            if (exempt == next)
                return false;
        }
        return true;
    }

    QWidget *m_field;
    std::function<bool()> m_check;
    QList<QPointer<QWidget>> m_exempt;
};

class EnterMovesOn : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                key->modifiers() == Qt::NoModifier) {
                QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
                QCoreApplication::sendEvent(watched, &tab);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void acceptOnlyCodeCharacters(QLineEdit *field, bool allowBackspace)
{
    field->installEventFilter(new CodeCharacters(allowBackspace, field));
}

void checkOnLeave(QWidget *field, std::function<bool()> check, const QList<QWidget *> &exempt)
{
    field->installEventFilter(new LeaveCheck(std::move(check), exempt, field));
}

void enterMovesOn(QWidget *control)
{
    control->installEventFilter(new EnterMovesOn(control));
}
