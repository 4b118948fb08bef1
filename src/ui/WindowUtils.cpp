#include "ui/WindowUtils.h"

#include "ui/FieldRules.h"
#include "ui/Help.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QSettings>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

class RefuseSystemClose : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close && event->spontaneous()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

void enterMovesToNextField(QWidget *window)
{
    for (QWidget *child : window->findChildren<QWidget *>()) {
        if (qobject_cast<QLineEdit *>(child) || qobject_cast<QComboBox *>(child))
            enterMovesOn(child);
    }
}

QIcon programIcon()
{
    QIcon icon;
    for (const int size : {48, 256})
        icon.addFile(u":/icons/tovrin3-%1.png"_s.arg(size), QSize(size, size));
    return icon;
}

void removeCloseButton(QWidget *window)
{
    window->setWindowFlag(Qt::WindowCloseButtonHint, false);
    window->installEventFilter(new RefuseSystemClose(window));
}

int twipsToPixels(const QWidget *widget, int twips)
{
    return static_cast<int>(std::lround(twips * widget->logicalDpiX() / 1440.0));
}

QLabel *noteLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setItalic(true);
    label->setFont(font);
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QDialogButtonBox *saveCancelButtons(QDialog *dialog, int helpContext, QPushButton **save,
                                    QPushButton **cancel)
{
    auto *buttons = new QDialogButtonBox(dialog);
    *save = buttons->addButton(QStringLiteral("Salva"), QDialogButtonBox::AcceptRole);
    (*save)->setObjectName(QStringLiteral("cmdSalva"));
    *cancel = buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    (*cancel)->setObjectName(QStringLiteral("cmdAnnulla"));
    if (helpContext != 0)
        addHelpButton(buttons, helpContext);
    for (QPushButton *button : buttons->findChildren<QPushButton *>())
        button->setAutoDefault(false);
    QObject::connect(*cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return buttons;
}

void keepOneChecked(const QList<QCheckBox *> &boxes)
{
    for (QCheckBox *box : boxes)
        QObject::connect(box, &QCheckBox::toggled, box, [box, boxes](bool checked) {
            if (!checked && std::none_of(boxes.begin(), boxes.end(),
                                         [](const QCheckBox *other) { return other->isChecked(); }))
                box->setChecked(true);
        });
}

namespace {

// Restores the window's geometry when it is first shown and stores it whenever it is hidden.
class GeometryKeeper : public QObject {
public:
    GeometryKeeper(QWidget *window, const QString &name)
        : QObject(window), m_window(window), m_key(u"finestre/"_s + name)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window)
            return false;
        if (event->type() == QEvent::Show && !m_restored) {
            m_restored = true;
            const QByteArray stored = settings().value(m_key).toByteArray();
            if (!stored.isEmpty())
                m_window->restoreGeometry(stored);
        } else if (event->type() == QEvent::Hide) {
            settings().setValue(m_key, m_window->saveGeometry());
        }
        return false;
    }

private:
    static QSettings settings() { return QSettings(u"tovrin3"_s, u"tovrin3"_s); }

    QWidget *m_window;
    QString m_key;
    bool m_restored = false;
};

} // namespace

void rememberGeometry(QWidget *window, const QString &name)
{
    new GeometryKeeper(window, name);
}
