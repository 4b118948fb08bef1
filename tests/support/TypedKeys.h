#pragma once

// Keys typed into whichever widget has the focus, as a user types them.

#include <QApplication>
#include <QTest>

inline void hit(Qt::Key key)
{
    QVERIFY(QApplication::focusWidget());
    QTest::keyClick(QApplication::focusWidget(), key);
    QCoreApplication::processEvents();
}

inline void typeText(const QString &text)
{
    for (const QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    QCoreApplication::processEvents();
}
