#include "program/MainModule.h"

#include <QApplication>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"tovrin3"_s);
    QApplication::setApplicationDisplayName(u"Velmora Contabilità 3"_s);

    MainModule mainModule(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    if (!mainModule.avvia())
        return 0;
    return app.exec();
}
