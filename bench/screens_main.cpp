// tovrin3-screens: saves a picture of each view of the main window on an archive, for looking
// at the layout without a desktop.
//   tovrin3-screens ARCHIVE OUTDIR [YYYY-MM-DD]

#include "data/Database.h"
#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "data/SqlText.h"
#include "main/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>
#include <QTest>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"tovrin3-screens"_s);
    if (argc < 3)
        return 1;
    const QString archive = QString::fromLocal8Bit(argv[1]);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    writeParameter(Archive(), u"dataPath"_s, ValueType::Text, Storage::PerUser, archive);
    FiscalEnvironment environment{Archive(archive)};
    environment.setScreenMetrics(QGuiApplication::primaryScreen()->logicalDotsPerInch(),
                                 QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    environment.setWorkingDate(argc > 3 ? dateFromIso(QString::fromLocal8Bit(argv[3]))
                                        : QDate::currentDate());
    environment.refresh();
    MainWindow window(environment);
    window.resize(1280, 760);
    window.show();
    QTest::qWait(200);
    auto save = [&](const QString &name) {
        QTest::qWait(100);
        window.grab().save(out.filePath(name + u".png"_s));
    };
    save(u"start"_s);
    for (int v = 0; v < MainViewCount; ++v) {
        window.showView(MainView(v));
        save(u"view%1"_s.arg(v));
    }
    window.showView(MainView::Schede);
    window.findChild<QAction *>(u"expandall"_s)->trigger();
    save(u"expanded0"_s);
    window.findChild<QLineEdit *>(u"txtFind"_s)->setText(u"cassa"_s);
    save(u"search0"_s);
    return 0;
}
