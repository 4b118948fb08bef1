#include "data/ItalianLanguage.h"
#include "program/MainModule.h"
#include "ui/WindowUtils.h"

#include <QApplication>
#include <QIcon>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    useItalian(app);
    QApplication::setApplicationName(u"tovrin3"_s);
    QApplication::setApplicationDisplayName(u"Velmora Contabilità 3"_s);
    QApplication::setWindowIcon(programIcon());

    MainModule mainModule(InstanceLock::defaultFolder());
    if (!mainModule.start())
        return 0;
    return app.exec();
}
