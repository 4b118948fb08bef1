#include "data/FiscalEnvironment.h"
#include "data/Parameters.h"
#include "main/MainWindow.h"
#include "settings/Preferences.h"
#include "settings/PreferencesWindow.h"
#include "settings/WorkingDateWindow.h"
#include "support/ScriptedMessages.h"
#include "support/TestArchive.h"
#include "ui/Help.h"
#include "ui/HelpWindow.h"

#include <QDateEdit>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

void writeText(const Archive &archive, const QString &key, const QString &value)
{
    QVERIFY(writeParameter(archive, key, ValueType::Text, Storage::InArchive, value));
}

QString readText(const Archive &archive, const QString &key)
{
    return readParameter(archive, key, ValueType::Text, Storage::InArchive, u"<manca>"_s)
        .toString();
}

} // namespace

// The working-date and preferences windows, and the help every window opens.
class TestEnvironmentWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy)); }

    void lastDayOfPreviousYearMovesTheMainWindowToThatYear()
    {
        TestArchive archive;
        archive.addEntry(QDate(2023, 6, 1), {});
        FiscalEnvironment environment(archive);
        environment.setWorkingDate(QDate(2024, 3, 10));
        QVERIFY(environment.refresh());
        MainWindow main(environment);

        WorkingDateWindow window(environment, &main, QDate(2024, 3, 10));
        connect(&window, &WorkingDateWindow::workingDateChanged, &main,
                &MainWindow::refreshStatusBar);
        window.findChild<QRadioButton *>(u"optData1"_s)->click();
        window.findChild<QPushButton *>(u"cmdOK"_s)->click();

        QCOMPARE(environment.workingDate(), QDate(2023, 12, 31));
        QCOMPARE(environment.yearStart(), QDate(2023, 1, 1));
        QCOMPARE(environment.yearLabel(), u"2023"_s);
        QCOMPARE(main.statusPanelText(3), u"Data di Lavoro: 31/12/23 - Esercizio: 2023 "_s);
        QCOMPARE(window.result(), int(QDialog::Accepted));
    }

    void pickerFollowsTheManualOptionAndCancelChangesNothing()
    {
        TestArchive archive;
        FiscalEnvironment environment(archive);
        environment.setWorkingDate(QDate(2024, 3, 10));
        QVERIFY(environment.refresh());
        WorkingDateWindow window(environment, nullptr, QDate(2024, 3, 10));
        auto *picker = window.findChild<QDateEdit *>(u"dtp"_s);
        QVERIFY(window.findChild<QRadioButton *>(u"optData0"_s)->isChecked());
        QVERIFY(!picker->isEnabled());
        window.findChild<QRadioButton *>(u"optData2"_s)->click();
        QVERIFY(picker->isEnabled());
        picker->setDate(QDate(2022, 8, 1));
        window.findChild<QRadioButton *>(u"optData0"_s)->click();
        QVERIFY(!picker->isEnabled());

        window.findChild<QPushButton *>(u"cmdCancel"_s)->click();
        QCOMPARE(environment.workingDate(), QDate(2024, 3, 10));

        WorkingDateWindow manual(environment, nullptr, QDate(2024, 3, 10));
        manual.findChild<QRadioButton *>(u"optData2"_s)->click();
        manual.findChild<QDateEdit *>(u"dtp"_s)->setDate(QDate(2022, 8, 1));
        manual.findChild<QPushButton *>(u"cmdOK"_s)->click();
        QCOMPARE(environment.workingDate(), QDate(2022, 8, 1));
        QCOMPARE(environment.yearLabel(), u"2022"_s);
    }

    void preferencesLoadWithDefaultsAndIgnoreDataWithoutAName()
    {
        TestArchive archive;
        writeText(archive, u"ana01"_s, QString());
        writeText(archive, u"ana02"_s, u"Via Roma 1"_s);
        writeText(archive, u"ceDescrizione"_s, u"Rendiconto gestionale"_s);
        PreferencesWindow window(archive);
        QVERIFY(window.load());
        const Preferences shown = window.values();
        QCOMPARE(shown.captions.at(0), u"Stato patrimoniale"_s);
        QCOMPARE(shown.captions.at(1), u"Rendiconto gestionale"_s);
        QCOMPARE(shown.organisation, QStringList(7));
        // Every caption field carries the key it is saved under.
        for (const CaptionField &caption : captionFields()) {
            auto *field = window.findChild<QLineEdit *>(u"txt_"_s + caption.key);
            QVERIFY(field);
            QCOMPARE(field->property("chiave").toString(), caption.key);
        }
    }

    void preferencesValidateThenSaveAndReachTheEnvironment()
    {
        TestArchive archive;
        ScriptedMessages messages;
        PreferencesWindow window(archive);
        QVERIFY(window.load());
        auto *close = window.findChild<QPushButton *>(u"cmdChiudi"_s);
        close->click();
        QCOMPARE(messages.shown.last(), u"Inserire almeno la denominazione"_s);

        window.findChild<QLineEdit *>(u"txt_ana01"_s)->setText(u"Circolo Aurora"_s);
        window.findChild<QLineEdit *>(u"txt_ana07"_s)->setText(u"01234567890"_s);
        window.findChild<QLineEdit *>(u"txt_utileDescrizione"_s)->clear();
        close->click();
        QCOMPARE(messages.shown.last(), u"Compilare tutte le descrizioni"_s);
        QCOMPARE(readText(archive, u"ana01"_s), u"<manca>"_s);

        // Only empty captions are refused.
        window.findChild<QLineEdit *>(u"txt_utileDescrizione"_s)->setText(u" "_s);
        window.findChild<QLineEdit *>(u"txt_attDescrizione"_s)->setText(u"Attività"_s);
        close->click();
        QCOMPARE(messages.shown.size(), 2);
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(archive.scalar(u"SELECT valore FROM parametri WHERE chiave = 'ana03'"_s),
                 QVariant(QString()));

        FiscalEnvironment environment(archive);
        QVERIFY(environment.refresh());
        QCOMPARE(environment.anas01, u"Circolo Aurora"_s);
        QCOMPARE(environment.anas07, u"01234567890"_s);
        QCOMPARE(environment.attDescrizione, u"Attività"_s);

        PreferencesWindow again(archive);
        QVERIFY(again.load());
        QCOMPARE(again.values().captions.at(7), u" "_s);
        QCOMPARE(again.values().organisation.at(0), u"Circolo Aurora"_s);
    }

    // Esc with typed organisation data asks; Annulla keeps the window, No leaves without saving,
    // Sì saves.
    void escInPreferencesAsksBeforeDroppingWhatWasTyped()
    {
        TestArchive archive;
        ScriptedMessages messages;
        PreferencesWindow window(archive);
        QVERIFY(window.load());
        window.show();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QVERIFY(messages.shown.isEmpty());

        const auto typeName = [&](const QString &name) {
            window.show();
            QLineEdit *field = window.findChild<QLineEdit *>(u"txt_ana01"_s);
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, name);
            QTest::keyClick(field, Qt::Key_Escape);
        };
        messages.choices = {MessageService::Answer::Cancel};
        typeName(u"Circolo Aurora"_s);
        QVERIFY(window.isVisible());
        messages.choices = {MessageService::Answer::No};
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        QCOMPARE(readText(archive, u"ana01"_s), u"<manca>"_s);

        messages.choices = {MessageService::Answer::Yes};
        typeName(u"Circolo Borea"_s);
        QVERIFY(!window.isVisible());
        QCOMPARE(readText(archive, u"ana01"_s), u"Circolo Borea"_s);
        QCOMPARE(messages.shown.count(u"Salvare le modifiche alle preferenze?"_s), 3);
    }

    void everyHelpContextHasItsTopicAndEveryLinkLeadsToAPage()
    {
        const int contexts[] = {7,  11, 14, 16, 17, 18, 22, 23, 24, 25, 26, 30, 31, 33,
                                36, 45, 46, 47, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59};
        for (int context : contexts)
            QCOMPARE(helpTopicUrl(context), QUrl(u"qrc:/help/%1.html"_s.arg(context)));
        QCOMPARE(helpTopicUrl(999), helpContentsUrl());

        const QRegularExpression link(u"href=\"([^\"#:]+)"_s);
        for (const QString &page : QDir(u":/help"_s).entryList({u"*.html"_s})) {
            QFile file(u":/help/"_s + page);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString html = QString::fromUtf8(file.readAll());
            QVERIFY2(html.contains(u"<title>"_s), qPrintable(page));
            for (const auto &match : link.globalMatch(html))
                QVERIFY2(QFile::exists(u":/help/"_s + match.captured(1)),
                         qPrintable(page + u" -> "_s + match.captured(1)));
        }
    }

    void f1AndTheHelpButtonOpenTheWindowsTopic()
    {
        TestArchive archive;
        FiscalEnvironment environment(archive);
        QVERIFY(environment.refresh());
        WorkingDateWindow window(environment);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(&window, Qt::Key_F1);
        auto *help = window.findChild<HelpWindow *>();
        QVERIFY(help);
        QCOMPARE(help->currentPage(), helpTopicUrl(HelpContext::DataLavoro));

        PreferencesWindow preferences(archive);
        preferences.findChild<QPushButton *>(u"cmdHelp"_s)->click();
        QCOMPARE(preferences.findChild<HelpWindow *>()->currentPage(),
                 helpTopicUrl(HelpContext::Preferenze));
    }
};

QTEST_MAIN(TestEnvironmentWindows)
#include "tst_environmentwindows.moc"
