#include "data/ItalianLanguage.h"

#include <QCoreApplication>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {

// The texts Qt's Italian translations lack: the file dialog's "Tipo" column names file types
// under a context Qt 6 renamed.
class MissingQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const QHash<QByteArray, QString> texts{
            {"Folder", u"Cartella"_s},    {"File Folder", u"Cartella"_s},
            {"Drive", u"Unità"_s},        {"File", u"File"_s},
            {"%1 File", u"File %1"_s},    {"Shortcut", u"Collegamento"_s},
            {"Alias", u"Collegamento"_s},
        };
        return texts.value(QByteArray(sourceText));
    }

    bool isEmpty() const override { return false; }
};

} // namespace

void useItalian(QCoreApplication &application)
{
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    // Without the translations installed Qt falls back to its English texts.
    auto *translator = new QTranslator(&application);
    if (translator->load(u"qtbase_it"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
    QCoreApplication::installTranslator(new MissingQtTexts(&application));
}
