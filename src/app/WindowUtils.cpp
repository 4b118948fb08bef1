#include "app/WindowUtils.h"

#include <QCloseEvent>
#include <QDialog>
#include <QObject>

#include <cmath>

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

void TogliChiudi(QDialog *dialog)
{
    dialog->setWindowFlag(Qt::WindowCloseButtonHint, false);
    dialog->installEventFilter(new RefuseSystemClose(dialog));
}

int twipsToPixels(const QWidget *widget, int twips)
{
    return static_cast<int>(std::lround(twips * widget->logicalDpiX() / 1440.0));
}
