#include "data/ItalianLanguage.h"
#include "data/PatternFormatter.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

QStringList textsOf(const QWidget &widget)
{
    QStringList texts;
    for (const QLabel *label : widget.findChildren<QLabel *>())
        texts.append(label->text());
    for (const QAbstractButton *button : widget.findChildren<QAbstractButton *>())
        texts.append(button->text());
    return texts;
}

} // namespace

// Runs with the system locale "C" (see CMakeLists): what the user reads is Italian all the same.
class TestItalian : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QLocale::system().language(), QLocale::C);
        useItalian(*qApp);
    }

    void theLocaleIsItalianWhereTheSystemGivesNone()
    {
        QCOMPARE(QLocale().language(), QLocale::Italian);
        QCOMPARE(appLocale().language(), QLocale::Italian);
        QCOMPARE(QLocale().toString(1234.5, 'f', 2), u"1.234,50"_s);
    }

    void messageBoxesSaySiAndNo()
    {
        QMessageBox box(QMessageBox::Question, u"Prova"_s, u"Procedere?"_s,
                        QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(u'&'), u"Sì"_s);
        QCOMPARE(box.button(QMessageBox::No)->text().remove(u'&'), u"No"_s);
        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove(u'&'), u"Annulla"_s);
    }

    void theFileDialogIsItalian()
    {
        QFileDialog dialog(nullptr, u"Carica Allegato"_s);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        const QStringList texts = textsOf(dialog);
        for (const QString &english :
             {u"Look in:"_s, u"File name:"_s, u"&Open"_s, u"Cancel"_s, u"Files of type:"_s})
            QVERIFY2(!texts.contains(english), qPrintable(english));
        QVERIFY2(texts.contains(u"Annulla"_s), qPrintable(texts.join(u" | "_s)));
        // The "Tipo" column names a folder in Italian.
        QTemporaryDir folder;
        QVERIFY(QDir(folder.path()).mkdir(u"documenti"_s));
        QFileSystemModel model;
        const QModelIndex documents = model.index(folder.filePath(u"documenti"_s), 2);
        QCOMPARE(model.data(documents).toString(), u"Cartella"_s);
    }

    void theCalendarIsItalian()
    {
        QCalendarWidget calendar;
        calendar.setSelectedDate(QDate(2024, 12, 2));
        calendar.show();
        const QStringList texts = textsOf(calendar);
        QVERIFY2(texts.contains(u"dicembre"_s), qPrintable(texts.join(u" | "_s)));
        QVERIFY(!texts.contains(u"December"_s));
        QCOMPARE(QLocale().dayName(1, QLocale::ShortFormat), u"lun"_s);
    }
};

QTEST_MAIN(TestItalian)
#include "tst_italian.moc"
