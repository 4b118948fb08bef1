#include "support/GoldenText.h"

#include <QFile>
#include <QStringList>

using namespace Qt::StringLiterals;

bool matchesGolden(const QString &name, const QString &text, QString *difference)
{
    QFile file(QStringLiteral(TOVRIN_TEST_GOLDEN_DIR) + u'/' + name);
    if (qEnvironmentVariableIsSet("TOVRIN_UPDATE_GOLDEN") && file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
        file.close();
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *difference = u"golden file missing: "_s + file.fileName();
        return false;
    }
    const QStringList expected = QString::fromUtf8(file.readAll()).split(u'\n');
    const QStringList actual = text.split(u'\n');
    for (qsizetype i = 0; i < std::max(expected.size(), actual.size()); ++i)
        if (expected.value(i) != actual.value(i)) {
            *difference = u"%1 line %2:\nexpected: %3\nactual:   %4"_s.arg(
                name, QString::number(i + 1), expected.value(i), actual.value(i));
            return false;
        }
    return true;
}
