#include "data/Attachments.h"

#include <QDir>

#include <algorithm>

using namespace Qt::StringLiterals;

bool isBareAttachmentName(const QString &name)
{
    if (name.trimmed().isEmpty() || name.contains(u".."_s) || QDir::isAbsolutePath(name))
        return false;
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) {
        return c == u'/' || c == u'\\' || c == u':' || c.category() == QChar::Other_Control;
    });
}

std::optional<QString> attachmentFile(const QString &attachmentsFolder, const QString &storedName)
{
    if (attachmentsFolder.isEmpty() || !isBareAttachmentName(storedName))
        return std::nullopt;
    return QDir(attachmentsFolder).filePath(storedName);
}

QString refusedAttachmentMessage(const QString &storedName)
{
    return u"Il nome dell'allegato registrato non è valido: \"%1\".\n"
           u"L'allegato deve essere un file della cartella \"allegati\" della contabilità: "
           u"il file non viene aperto né eliminato."_s.arg(storedName);
}
