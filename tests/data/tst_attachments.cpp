#include "data/Attachments.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestAttachments : public QObject {
    Q_OBJECT

private slots:
    void acceptsTheNamesTheEditorGives_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("pdf") << u"2024030112000045.pdf"_s;
        QTest::newRow("no extension") << u"2024030112000045"_s;
        QTest::newRow("spaces and accents") << u"ricevuta affitto è.pdf"_s;
        QTest::newRow("one dot between words") << u"a.b.pdf"_s;
    }
    void acceptsTheNamesTheEditorGives()
    {
        QFETCH(QString, name);
        QVERIFY(isBareAttachmentName(name));
        QCOMPARE(attachmentFile(u"/archivio/allegati"_s, name),
                 QDir(u"/archivio/allegati"_s).filePath(name));
    }

    void refusesHostileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString();
        QTest::newRow("blank") << u"   "_s;
        QTest::newRow("parent") << u".."_s;
        QTest::newRow("climbing out") << u"../../x/secret.txt"_s;
        QTest::newRow("climbing out, backslashes") << u"..\\..\\x\\secret.txt"_s;
        QTest::newRow("dots inside") << u"a..pdf"_s;
        QTest::newRow("sub-folder") << u"sub/file.pdf"_s;
        QTest::newRow("absolute") << u"/etc/passwd"_s;
        QTest::newRow("drive") << u"C:\\Windows\\win.ini"_s;
        QTest::newRow("drive relative") << u"C:file.pdf"_s;
        QTest::newRow("stream") << u"file.pdf:nascosto"_s;
        QTest::newRow("unc") << u"\\\\server\\share\\f.pdf"_s;
        QTest::newRow("control character") << u"file\n.pdf"_s;
        QTest::newRow("nul") << QString(u"file"_s + QChar(0) + u".pdf"_s);
    }
    void refusesHostileNames()
    {
        QFETCH(QString, name);
        QVERIFY(!isBareAttachmentName(name));
        QCOMPARE(attachmentFile(u"/archivio/allegati"_s, name), std::nullopt);
    }

    void needsAFolder() { QCOMPARE(attachmentFile(QString(), u"a.pdf"_s), std::nullopt); }
};

QTEST_GUILESS_MAIN(TestAttachments)
#include "tst_attachments.moc"
